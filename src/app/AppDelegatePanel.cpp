#include "AppDelegate.h"

#include <QClipboard>
#include <QEasingCurve>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPropertyAnimation>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include "ActivatingPanel.h"
#include "AppIcon.h"
#include "ClosureButton.h"
#include "ElidedLabel.h"
#include "FlippedStackView.h"
#include "Indented.h"
#include "SectionHeader.h"
#include "Style.h"
#include "SymbolButton.h"
#include "scan/HostScanner.h"
#include "store/Store.h"

// Building the panel's views, placing its header, and collapse and resize.

namespace varnholt {

namespace {

constexpr int kCollapseAnimationMs = 180;

QColor subtitleColor() {
    return QColor::fromRgbF(0.4f, 0.7f, 1.0f, 1.0f);
}

QString collapseButtonName(bool collapsed) {
    return collapsed ? QStringLiteral("Expand panel") : QStringLiteral("Collapse panel");
}

QWidget* makeSeparator() {
    auto* line = new QWidget;
    line->setObjectName(QStringLiteral("separator"));
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, grey(1.0, 0.12));
    line->setPalette(palette);
    return line;
}

}  // namespace

struct AppDelegate::Section {
    SectionHeader* header = nullptr;
    QWidget* headerRow = nullptr;
    FlippedStackView* stack = nullptr;
    QWidget* listRow = nullptr;
    QLabel* emptyLabel = nullptr;
    QWidget* emptyRow = nullptr;
};
AppDelegate::Section AppDelegate::buildSection(const QString& title, const QString& id,
                                               ClosureButton* trailing, const QString& emptyText) {
    Section section;
    section.header = new SectionHeader(title, !Store::collapsed(id), this);
    section.header->onToggle = [id, self = QPointer<AppDelegate>(this)](bool expanded) {
        Store::setCollapsed(id, !expanded);
        if (self) {
            self->refresh();
        }
    };

    section.headerRow = new QWidget;
    auto* headerLayout = new QHBoxLayout(section.headerRow);
    headerLayout->setContentsMargins(0, 0, 0, 0);
    headerLayout->setSpacing(8);
    headerLayout->addWidget(section.header->row(), 0, Qt::AlignVCenter);
    headerLayout->addStretch(1);
    if (trailing) {
        headerLayout->addWidget(trailing, 0, Qt::AlignVCenter);
        headerLayout->addSpacing(6);
    }

    section.stack = new FlippedStackView(6);
    section.listRow = indented(section.stack);
    if (!emptyText.isEmpty()) {
        section.emptyLabel = makeLabel(emptyText, systemFont(12), grey(0.5));
        section.emptyRow = indented(section.emptyLabel);
    }
    return section;
}

void AppDelegate::buildWindow() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        return;
    }
    const bool collapsed = Store::panelCollapsed();

    m_window = new ActivatingPanel;
    m_window->setWindowIcon(makeAppIcon());
    m_window->setPanelGeometry(ActivatingPanel::frameFor(screen->availableGeometry()));

    m_contentView = new QWidget;
    m_contentView->setObjectName(QStringLiteral("contentView"));
    m_window->setContentView(m_contentView);
    m_contentView->installEventFilter(this);

    m_titleLabel = makeLabel(QStringLiteral("\U0001F310  Varnholt Control"),
                             systemFont(14, QFont::Bold), Qt::white);
    m_titleLabel->setParent(m_contentView);

    m_collapseButton = new SymbolButton(
        collapsed ? QStringLiteral("chevron.down") : QStringLiteral("chevron.up"), Qt::white);
    m_collapseButton->setFixedSize(20, 20);
    m_collapseButton->setAccessibleName(collapseButtonName(collapsed));

    m_closeButton = new ClosureButton(QStringLiteral("\u2715"), true, std::nullopt,
                                      [self = QPointer<AppDelegate>(this)] {
                                          if (self) {
                                              self->closePanel();
                                          }
                                      });
    m_closeButton->setAccessibleName(QStringLiteral("Close panel"));
    m_closeButton->setBorderWidth(0);
    m_closeButton->setTitleStyle(grey(1.0, 0.6), systemFont(13));
    m_closeButton->setGlyph(QStringLiteral("xmark"));

    // Compact header: the one-line summary shown while collapsed.
    m_headerCompactView = new QWidget;
    auto* compactLayout = new QHBoxLayout(m_headerCompactView);
    compactLayout->setContentsMargins(0, 0, 0, 0);
    compactLayout->setSpacing(8);
    auto* summary = new ElidedLabel(QString(), Qt::ElideRight);
    summary->setObjectName(QStringLiteral("compactSummary"));
    summary->setFont(systemFont(13, QFont::DemiBold));
    summary->setColor(subtitleColor());
    compactLayout->addWidget(summary, 0, Qt::AlignVCenter);
    compactLayout->addStretch(1);
    m_headerCompactView->setVisible(collapsed);

    // Expanded header: the network line with Copy and Share under it.
    m_headerExpandedView = new QWidget;
    auto* expandedLayout = new QVBoxLayout(m_headerExpandedView);
    expandedLayout->setContentsMargins(0, 0, 0, 0);
    expandedLayout->setSpacing(6);
    m_headerSubtitle = makeLabel(QString(), systemFont(13, QFont::DemiBold), subtitleColor());
    expandedLayout->addWidget(m_headerSubtitle, 0, Qt::AlignLeft);
    auto* actionRow = new QWidget;
    auto* actionLayout = new QHBoxLayout(actionRow);
    actionLayout->setContentsMargins(0, 0, 0, 0);
    actionLayout->setSpacing(8);
    actionLayout->addStretch(1);
    m_copyButton = new ClosureButton(QStringLiteral("Copy"), true, 55, [] {
        QGuiApplication::clipboard()->setText(HostScanner::wifiIP());
    });
    m_shareButton = new ClosureButton(QStringLiteral("Share"), true, 55, {});
    m_shareButton->setHandler([self = QPointer<AppDelegate>(this)] {
        if (self) {
            self->sharePressed();
        }
    });
    actionLayout->addWidget(m_copyButton, 0, Qt::AlignVCenter);
    actionLayout->addWidget(m_shareButton, 0, Qt::AlignVCenter);
    actionLayout->addSpacing(6);
    expandedLayout->addWidget(actionRow);
    m_headerExpandedView->setVisible(!collapsed);

    // The content view's children, in this order: title, compact header,
    // expanded header, collapse button, close button, scroll view.
    m_headerCompactView->setParent(m_contentView);
    m_headerExpandedView->setParent(m_contentView);
    m_collapseButton->setParent(m_contentView);
    connect(m_collapseButton, &QAbstractButton::clicked, this, &AppDelegate::togglePanelCollapse);
    m_closeButton->setParent(m_contentView);

    m_scrollView = new QScrollArea(m_contentView);
    m_scrollView->setFocusPolicy(Qt::NoFocus);  // Tab goes to the rows' buttons
    m_scrollView->setFrameShape(QFrame::NoFrame);
    m_scrollView->setWidgetResizable(true);
    m_scrollView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scrollView->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_scrollView->setAutoFillBackground(false);
    m_scrollView->viewport()->setAutoFillBackground(false);
    m_scrollView->verticalScrollBar()->setStyleSheet(QStringLiteral(
        "QScrollBar:vertical { background: transparent; width: 8px; margin: 2px 2px 14px 0; }"
        "QScrollBar::handle:vertical { background: rgba(255,255,255,70); border-radius: 3px;"
        " min-height: 24px; }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }"));
    m_scrollView->setVisible(!collapsed);
    m_scrollViewZeroHeight = collapsed;

    m_documentView = new FlippedStackView(10, QMargins(16, 8, 16, 16));
    m_documentView->setObjectName(QStringLiteral("documentView"));
    m_documentView->setAutoFillBackground(false);

    const Section hosted =
        buildSection(QStringLiteral("CURRENTLY HOSTED"), QStringLiteral("hosted"), nullptr,
                     QStringLiteral("Nothing hosted right now \u2705"));
    m_hostedHeader = hosted.header;
    m_hostedStack = hosted.stack;
    m_hostedListRow = hosted.listRow;
    m_hostedEmptyLabel = hosted.emptyLabel;
    m_hostedEmptyRow = hosted.emptyRow;

    m_openButton = new ClosureButton(QStringLiteral("Open\u2026"), true, 55,
                                     [self = QPointer<AppDelegate>(this)] {
                                         if (self) {
                                             self->openPressed();
                                         }
                                     });
    const Section quick = buildSection(QStringLiteral("QUICK HOST"), QStringLiteral("quick"),
                                       m_openButton, QString());
    m_quickHeader = quick.header;
    m_quickStack = quick.stack;
    m_quickListRow = quick.listRow;

    const Section recent = buildSection(QStringLiteral("RECENT"), QStringLiteral("recent"), nullptr,
                                        QStringLiteral("Nothing recently stopped"));
    m_recentHeader = recent.header;
    m_recentStack = recent.stack;
    m_recentListRow = recent.listRow;
    m_recentEmptyLabel = recent.emptyLabel;
    m_recentEmptyRow = recent.emptyRow;

    const Section paused =
        buildSection(QStringLiteral("PAUSED"), QStringLiteral("paused"), nullptr, QString());
    m_pausedHeader = paused.header;
    m_pausedStack = paused.stack;
    m_pausedListRow = paused.listRow;

    QWidget* hint = indented(makeLabel(QStringLiteral("Quickly host anything from your machine"),
                                       systemFont(10), grey(0.68)));

    auto* folderRow = new QWidget;
    auto* folderLayout = new QHBoxLayout(folderRow);
    folderLayout->setContentsMargins(0, 0, 0, 0);
    folderLayout->setSpacing(6);
    m_defaultFolderLabel = new ElidedLabel(QStringLiteral("Default: not set"), Qt::ElideMiddle);
    m_defaultFolderLabel->setFont(systemFont(10));
    m_defaultFolderLabel->setColor(grey(0.68));
    folderLayout->addWidget(m_defaultFolderLabel, 0, Qt::AlignVCenter);
    folderLayout->addStretch(1);
    m_changeButton = new ClosureButton(QStringLiteral("Change\u2026"), true, 60,
                                       [self = QPointer<AppDelegate>(this)] {
                                           if (self) {
                                               self->changeDefaultFolderPressed();
                                           }
                                       });
    folderLayout->addWidget(m_changeButton, 0, Qt::AlignVCenter);
    folderLayout->addSpacing(6);

    // Header rows, the folder row and the list rows span the width; the
    // empty-state texts, the hint and the separators keep their own.
    const Qt::Alignment natural = Qt::AlignLeft;
    m_documentView->addArrangedSubview(hosted.headerRow);
    m_documentView->addArrangedSubview(m_hostedEmptyRow, natural);
    m_documentView->addArrangedSubview(m_hostedListRow);
    m_documentView->addArrangedSubview(makeSeparator());
    m_documentView->addArrangedSubview(quick.headerRow);
    m_documentView->addArrangedSubview(hint, natural);
    m_documentView->addArrangedSubview(indented(folderRow));
    m_documentView->addArrangedSubview(m_quickListRow);
    m_documentView->addArrangedSubview(makeSeparator());
    m_documentView->addArrangedSubview(recent.headerRow);
    m_documentView->addArrangedSubview(m_recentEmptyRow, natural);
    m_documentView->addArrangedSubview(m_recentListRow);
    m_documentView->addArrangedSubview(makeSeparator());
    m_documentView->addArrangedSubview(paused.headerRow);
    m_documentView->addArrangedSubview(m_pausedListRow);

    updateDefaultFolderLabel();
    m_scrollView->setWidget(m_documentView);
    m_documentView->setAutoFillBackground(false);  // setWidget turned it on
    m_expandedHeight = ActivatingPanel::kHeight;
    connect(m_window, &ActivatingPanel::panelResized, this, &AppDelegate::windowDidResize);
    connect(m_window, &ActivatingPanel::aboutToShow, this, &AppDelegate::prepareShow);
    connect(m_window, &ActivatingPanel::escapePressed, this, &AppDelegate::escapePressed);
    watchScreens();
    layoutContent();
    if (collapsed) {
        applyCollapseState(false);
    } else {
        updateMinimumSize();
    }
}

// The header is placed by hand: the title sits 14 from the top, the buttons
// are centred on it, and whichever header variant shows starts 10 under it;
// the collapsed height is measured from exactly these positions.
void AppDelegate::layoutContent() {
    if (!m_contentView) {
        return;
    }
    const int width = m_contentView->width();
    const int height = m_contentView->height();
    const QSize titleSize = m_titleLabel->sizeHint();
    const QSize closeSize = m_closeButton->sizeHint();
    const qreal titleCentre = 14 + titleSize.height() / 2.0;

    const int closeX = width - 14 - closeSize.width();
    m_closeButton->setGeometry(closeX, qRound(titleCentre - closeSize.height() / 2.0),
                               closeSize.width(), closeSize.height());
    const int collapseX = closeX - 8 - 20;
    m_collapseButton->setGeometry(collapseX, qRound(titleCentre - 10), 20, 20);
    m_titleLabel->setGeometry(16, 14, std::min(titleSize.width(), std::max(0, collapseX - 8 - 16)),
                              titleSize.height());

    const int headerTop = 14 + titleSize.height() + 10;
    const int headerWidth = std::max(0, width - 32);
    m_headerCompactView->setGeometry(16, headerTop, headerWidth,
                                     m_headerCompactView->sizeHint().height());
    const int expandedHeight = m_headerExpandedView->sizeHint().height();
    m_headerExpandedView->setGeometry(16, headerTop, headerWidth, expandedHeight);

    const int scrollTop = headerTop + expandedHeight + 8;
    m_scrollView->setGeometry(0, scrollTop, width,
                              m_scrollViewZeroHeight ? 0 : std::max(0, height - scrollTop));
}

void AppDelegate::togglePanelCollapse() {
    Store::setPanelCollapsed(!Store::panelCollapsed());
    applyCollapseState(true);
}

void AppDelegate::applyCollapseState(bool animate) {
    if (!m_window) {
        return;
    }
    const bool collapsed = Store::panelCollapsed();
    m_headerCompactView->setVisible(collapsed);
    m_headerExpandedView->setVisible(!collapsed);
    m_scrollView->setVisible(!collapsed);
    m_scrollViewZeroHeight = collapsed;
    m_collapseButton->setSymbol(collapsed ? QStringLiteral("chevron.down")
                                          : QStringLiteral("chevron.up"));
    m_collapseButton->setAccessibleName(collapseButtonName(collapsed));
    layoutContent();

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
    refresh();
}

int AppDelegate::collapsedHeight() {
    layoutContent();
    return m_titleLabel->height() + 14 + 10 + m_headerCompactView->height() + 14;
}

void AppDelegate::windowDidResize() {
    if (!m_window || Store::panelCollapsed()) {
        return;
    }
    m_expandedHeight = m_window->panelGeometry().height();
}

}  // namespace varnholt
