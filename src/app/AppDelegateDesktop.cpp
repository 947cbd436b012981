#include "AppDelegate.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

#include "AppMenu.h"
#include "ClosureButton.h"
#include "FlippedStackView.h"
#include "PanelPlacement.h"
#include "PanelPlatform.h"
#include "RowBuilders.h"
#include "SectionHeader.h"
#include "store/Store.h"

// How the panel fits the desktop it runs on: with or without a tray, with or
// without a compositor, its smallest size, and staying on a screen.

namespace varnholt {

namespace {
constexpr int kIndent = 22;  // the inset of section content
}  // namespace

void AppDelegate::checkTray() {
    const bool tray = m_trayProbe && m_trayProbe();
    if (tray && !m_statusItem) {
        buildStatusItem();
    } else if (tray && !m_hasTray && m_statusItem) {
        // A tray that came back after going away: dock the icon in it again.
        m_statusItem->hide();
        m_statusItem->show();
    }
    m_hasTray = tray && m_statusItem;
    if (!m_window) {
        return;
    }
    // Beside a tray the panel floats as a tool window; without one it needs
    // a taskbar entry to come back. Where the compositor places windows, it
    // is an ordinary window either way.
    m_window->setToolWindow(m_hasTray && PanelPlatform::placesWindows());
    if (m_hasTray && m_titleMenu) {
        m_titleMenu->close();
    }
}

void AppDelegate::closePanel() {
    if (!m_window) {
        return;
    }
    if (m_hasTray) {
        m_window->hide();
    } else {
        m_window->showMinimized();
    }
}

void AppDelegate::escapePressed() {
    if (m_sharePopup && m_sharePopup->isVisible()) {
        m_sharePopup->close();
        return;
    }
    closePanel();
}

bool AppDelegate::showTitleMenu(const QPoint& pos, const QPoint& globalPos) {
    if (m_hasTray || !m_headerExpandedView || pos.y() >= m_headerExpandedView->y()) {
        return false;  // beside a tray its menu serves; below the title are rows
    }
    if (m_titleMenu) {
        m_titleMenu->close();
    }
    m_titleMenu = new QMenu(m_window);
    m_titleMenu->setAttribute(Qt::WA_DeleteOnClose);
    fillAppMenu(m_titleMenu, this, false);
    m_titleMenu->popup(globalPos);
    return true;
}

// Runs before every show, while the window is unmapped: a compositor may have
// started or stopped since the last one, and the screens may have changed.
void AppDelegate::prepareShow() {
    if (!m_window) {
        return;
    }
    m_window->setComposited(!m_compositorProbe || m_compositorProbe());
    keepPanelOnScreen();
}

void AppDelegate::keepPanelOnScreen() {
    QScreen* primary = QGuiApplication::primaryScreen();
    if (!m_window || !primary) {
        return;
    }
    QList<QRect> screens;
    for (QScreen* screen : QGuiApplication::screens()) {
        screens.append(screen->geometry());
    }
    const QRect frame = m_window->panelGeometry();
    const QRect kept = PanelPlacement::keptOnScreen(frame, screens, primary->availableGeometry());
    if (kept != frame) {
        m_window->setPanelGeometry(kept);
    }
}

void AppDelegate::watchScreens() {
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, [this](QScreen* gone) {
        if (!m_window) {
            return;
        }
        // Decided now, while the panel still names the screen it was on; Qt
        // moves it to another screen right after.
        const bool wasOnIt = m_window->screen() == gone;
        QTimer::singleShot(0, this, [this, wasOnIt] {
            QScreen* primary = QGuiApplication::primaryScreen();
            if (!m_window || !primary) {
                return;
            }
            if (wasOnIt) {
                m_window->setPanelGeometry(PanelPlacement::topRightOf(
                    primary->availableGeometry(), m_window->panelGeometry().size()));
            } else {
                keepPanelOnScreen();
            }
        });
    });
}

QSize AppDelegate::minimumPanelSize() {
    layoutContent();
    // The title row: title, chevron and ✕ side by side with their gaps.
    const int header =
        16 + m_titleLabel->sizeHint().width() + 8 + 20 + 8 + m_closeButton->sizeHint().width() + 14;
    // The widest kind of row, a server on a five-digit port, with its name
    // cut down to "…": its buttons must never be cut.
    if (!m_rowMinimum.isValid()) {
        QWidget* sample = makeHostedRow(
            {1, QStringLiteral("python3"), 65535, QStringLiteral("NET"), QStringLiteral("x")},
            QStringLiteral("255.255.255.255"));
        m_rowMinimum = sample->minimumSizeHint();
        delete sample;
    }
    const QSize row = m_rowMinimum;
    const QMargins inset = m_documentView->stackLayout()->contentsMargins();
    const int body = inset.left() + kIndent + row.width() + inset.right() +
                     m_scrollView->verticalScrollBar()->sizeHint().width();
    const int actions = 16 + m_copyButton->width() + 8 + m_shareButton->width() + 6 + 16;
    const int width = std::max({header, body, actions});

    if (Store::panelCollapsed()) {
        return {width, collapsedHeight()};
    }
    // The header, then one section header and one row under it.
    const int scrollTop = m_headerExpandedView->y() + m_headerExpandedView->sizeHint().height() + 8;
    const int sectionRow = std::max(m_hostedHeader->row()->sizeHint().height(), row.height());
    const int spacing = m_documentView->stackLayout()->spacing();
    return {width, scrollTop + inset.top() + sectionRow + spacing + row.height() + inset.bottom()};
}

void AppDelegate::updateMinimumSize() {
    // A running collapse or expand sets the minimum when it ends.
    if (m_window && !m_collapseAnimation) {
        m_window->setPanelMinimumSize(minimumPanelSize());
    }
}

}  // namespace varnholt
