#include "PanelWindow.h"

#include <QEasingCurve>
#include <QGuiApplication>
#include <QMenu>
#include <QPropertyAnimation>
#include <QScreen>
#include <QTimer>

#include "ActivatingPanel.h"
#include "PanelPlacement.h"
#include "app/controls/AppIcon.h"
#include "app/desktop/Log.h"
#include "app/desktop/PanelPlatform.h"
#include "store/Store.h"

namespace varnholt {

PanelWindow* PanelWindow::create(PanelActions* actions, PanelView::RunningLookup running,
                                 PanelView::Probe compositor, QObject* parent) {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        return nullptr;
    }
    auto* window = new ActivatingPanel;
    window->setWindowIcon(makeAppIcon());
    window->setPanelGeometry(ActivatingPanel::frameFor(screen->availableGeometry()));
    auto* view = new PanelView(actions, std::move(running), compositor, Store::panelCollapsed());
    window->setContentView(view);
    return new PanelWindow(window, view, std::move(compositor), parent);
}

PanelWindow::PanelWindow(ActivatingPanel* window, PanelView* view, PanelView::Probe compositor,
                         QObject* parent)
    : QObject(parent), m_window(window), m_view(view), m_compositor(std::move(compositor)) {
    connect(m_view, &PanelView::collapseClicked, this, &PanelWindow::togglePanelCollapse);
    connect(m_view, &PanelView::closeClicked, this, &PanelWindow::close);
    connect(m_view, &PanelView::refreshRequested, this, &PanelWindow::refreshRequested);
    m_view->setTitleMenuHandler([this](const QPoint& at) { return showTitleMenu(at); });
    m_expandedHeight = ActivatingPanel::kHeight;
    connect(m_window, &ActivatingPanel::panelResized, this, &PanelWindow::windowDidResize);
    connect(m_window, &ActivatingPanel::aboutToShow, this, &PanelWindow::prepareShow);
    connect(m_window, &ActivatingPanel::escapePressed, this, &PanelWindow::escapePressed);
    watchScreens();
}

void PanelWindow::applyStoredForm() {
    m_view->layoutContent();
    if (Store::panelCollapsed()) {
        applyCollapseState(false);
    } else {
        updateMinimumSize();
    }
}

PanelWindow::~PanelWindow() {
    delete m_window;
}

void PanelWindow::apply(const PanelData& data) {
    m_view->apply(data);
    // The network line's height can change with its text.
    updateMinimumSize();
}

void PanelWindow::toggle() {
    if (m_window->isVisible() && !m_window->isMinimized()) {
        m_window->hide();
        return;
    }
    show();
}

void PanelWindow::show() {
    m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void PanelWindow::close() {
    if (m_hasTray) {
        m_window->hide();
    } else {
        m_window->showMinimized();
    }
}

void PanelWindow::escapePressed() {
    if (!m_view->closeSharePopup()) {
        close();
    }
}

void PanelWindow::setHasTray(bool hasTray) {
    const bool trayGone = m_hasTray && !hasTray;
    m_hasTray = hasTray;
    // Where the compositor places windows, the panel is an ordinary window
    // either way.
    m_window->setToolWindow(hasTray && PanelPlatform::placesWindows());
    // A hidden panel with no tray icon to bring it back would leave the app
    // with nothing on screen at all.
    if (trayGone && m_shownBefore && m_window->isHidden()) {
        qCInfo(lcDesktop) << "The tray is gone while the panel was hidden: showing the panel";
        show();
    }
    if (hasTray && m_titleMenu) {
        m_titleMenu->close();
    }
}

bool PanelWindow::showTitleMenu(const QPoint& globalPos) {
    if (m_hasTray || !m_fillTitleMenu) {
        return false;  // beside a tray its menu serves
    }
    if (m_titleMenu) {
        m_titleMenu->close();
    }
    m_titleMenu = new QMenu(m_window);
    m_titleMenu->setAttribute(Qt::WA_DeleteOnClose);
    m_fillTitleMenu(m_titleMenu);
    m_titleMenu->popup(globalPos);
    return true;
}

void PanelWindow::togglePanelCollapse() {
    Store::setPanelCollapsed(!Store::panelCollapsed());
    applyCollapseState(true);
}

void PanelWindow::applyCollapseState(bool animate) {
    const bool collapsed = Store::panelCollapsed();
    m_view->setCollapsed(collapsed);

    const int target = collapsed ? collapsedHeight() : m_expandedHeight;
    const QRect frame = m_window->panelGeometry();
    const QRect goal(frame.x(), frame.y(), frame.width(), target);  // the top edge stays
    if (m_collapseAnimation) {
        m_collapseAnimation->stop();
        delete m_collapseAnimation;
    }
    // The smaller of the two forms' minimums while the size moves between
    // them, so the minimum never pushes the window; the form's own after.
    const QSize minimum = minimumPanelSize();
    m_window->setPanelMinimumSize({minimum.width(), std::min(minimum.height(), collapsedHeight())});
    if (animate) {
        m_collapseAnimation = new QPropertyAnimation(m_window, "panelGeometry", this);
        m_collapseAnimation->setDuration(kCollapseAnimationMs);
        m_collapseAnimation->setEasingCurve(QEasingCurve::OutCubic);
        m_collapseAnimation->setStartValue(frame);
        m_collapseAnimation->setEndValue(goal);
        connect(m_collapseAnimation, &QAbstractAnimation::finished, this, [this] {
            m_collapseAnimation = nullptr;  // it deletes itself next
            updateMinimumSize();
        });
        m_collapseAnimation->start(QAbstractAnimation::DeleteWhenStopped);
    } else {
        m_window->setPanelGeometry(goal);
        updateMinimumSize();
    }
    emit refreshRequested();
}

int PanelWindow::collapsedHeight() {
    return m_view->collapsedHeight();
}

QSize PanelWindow::minimumPanelSize() {
    return m_view->minimumPanelSize(Store::panelCollapsed());
}

void PanelWindow::windowDidResize() {
    if (Store::panelCollapsed()) {
        return;
    }
    m_expandedHeight = m_window->panelGeometry().height();
}

void PanelWindow::updateMinimumSize() {
    // A running collapse or expand sets the minimum when it ends.
    if (!m_collapseAnimation) {
        m_window->setPanelMinimumSize(minimumPanelSize());
    }
}

// Runs before every show, while the window is unmapped: a compositor may have
// started or stopped since the last one, and the screens may have changed.
void PanelWindow::prepareShow() {
    m_shownBefore = true;
    followCompositor();
    keepPanelOnScreen();
}

void PanelWindow::followCompositor() {
    m_window->setComposited(!m_compositor || m_compositor());
}

void PanelWindow::keepPanelOnScreen() {
    QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary) {
        return;
    }
    QList<QRect> screens;
    for (QScreen* screen : QGuiApplication::screens()) {
        screens.append(screen->geometry());
    }
    const QRect frame = m_window->panelGeometry();
    QRect kept = PanelPlacement::keptOnScreen(frame, screens, primary->availableGeometry());
    const QScreen* home = QGuiApplication::screenAt(kept.center());
    kept = PanelPlacement::fittedInto(kept, (home ? home : primary)->availableGeometry());
    if (kept != frame) {
        m_window->setPanelGeometry(kept);
    }
}

void PanelWindow::watchScreens() {
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

}  // namespace varnholt
