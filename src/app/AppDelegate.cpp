#include "AppDelegate.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QEasingCurve>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMultiHash>
#include <QPropertyAnimation>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVBoxLayout>

#include "ActivatingPanel.h"
#include "AppIcon.h"
#include "ClosureButton.h"
#include "ElidedLabel.h"
#include "FlippedStackView.h"
#include "Indented.h"
#include "ItemChooser.h"
#include "PlatformMenu.h"
#include "RowBuilders.h"
#include "SectionHeader.h"
#include "SharePopup.h"
#include "SingleInstance.h"
#include "Style.h"
#include "SymbolButton.h"
#include "exec/NodeResolver.h"
#include "quickhost/HostPicking.h"
#include "quickhost/QuickHostRegistry.h"
#include "scan/HostScanner.h"
#include "store/Store.h"

namespace varnholt {

namespace {

constexpr int kCollapseAnimationMs = 180;
const char kRowKey[] = "rowKey";

QColor subtitleColor() {
    return QColor::fromRgbF(0.4f, 0.7f, 1.0f, 1.0f);
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

QString abbreviatedHome(const QString& path) {
    const QString home = QDir::homePath();
    if (path == home) {
        return QStringLiteral("~");
    }
    if (home != QLatin1String("/") && path.startsWith(home + QLatin1Char('/'))) {
        return QLatin1Char('~') + path.mid(home.size());
    }
    return path;
}

struct RowPlan {
    QString key;
    std::function<QWidget*()> build;
};

// Puts the rows for plans into the stack in order, keeping every existing row
// whose data is unchanged. Rows that go are hidden and deleted later: one of
// them may hold the button whose handler is running right now. True when the
// stack changed; its layout is then left for layOutOnce().
bool syncRows(FlippedStackView* stack, const QList<RowPlan>& plans, Qt::Alignment alignment) {
    const QList<QWidget*> current = stack->arrangedSubviews();
    bool unchanged = current.size() == plans.size();
    for (qsizetype i = 0; unchanged && i < plans.size(); ++i) {
        unchanged = current[i]->property(kRowKey).toString() == plans[i].key;
    }
    if (unchanged) {
        return false;
    }
    QMultiHash<QString, QWidget*> spare;
    for (QWidget* row : current) {
        spare.insert(row->property(kRowKey).toString(), row);
    }
    QList<QWidget*> next;
    QList<QWidget*> built;
    next.reserve(plans.size());
    for (const RowPlan& plan : plans) {
        const auto found = spare.find(plan.key);
        if (found != spare.end()) {
            next.append(found.value());
            spare.erase(found);
        } else {
            QWidget* row = plan.build();
            row->setProperty(kRowKey, plan.key);
            next.append(row);
            built.append(row);
        }
    }
    // A row shown into a laid-out view lays out that view and every view
    // around it once more, so rows shown one by one cost a pass each over the
    // whole panel. With the stack's layout off, all new rows show first and
    // layOutOnce() lays the panel out after every stack is done.
    QVBoxLayout* layout = stack->stackLayout();
    layout->setEnabled(false);
    while (QLayoutItem* item = layout->takeAt(0)) {
        delete item;
    }
    for (QWidget* row : next) {
        layout->addWidget(row, 0, alignment);
    }
    for (QWidget* row : std::as_const(built)) {
        // Only rows in a shown stack are still hidden here; the others show
        // with their stack.
        if (row->isHidden()) {
            row->show();
        }
    }
    for (QWidget* row : std::as_const(spare)) {
        row->hide();
        row->deleteLater();
    }
    layout->setEnabled(true);
    return true;
}

// What showing each new row would have done, once for all of them: lays out
// the changed stacks, then the views that hold them, level by level, so the
// shared document view is laid out a single time.
void layOutOnce(QList<QWidget*> level) {
    while (!level.isEmpty()) {
        QList<QWidget*> parents;
        for (QWidget* view : std::as_const(level)) {
            if (!view->isVisible() || !view->layout()) {
                continue;
            }
            view->layout()->activate();
            QWidget* parent = view->isWindow() ? nullptr : view->parentWidget();
            if (parent && !parents.contains(parent)) {
                parents.append(parent);
            }
        }
        level = parents;
    }
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

AppDelegate::AppDelegate(QuickHostRegistry& registry, QObject* parent)
    : QObject(parent), m_registry(registry), m_hostMjsPath(varnholt::hostMjsPath()) {
    m_alert = [this](const QString& message, const QString& informative) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Varnholt Control"), message,
                        QMessageBox::Ok, m_window);
        box.setInformativeText(informative);
        box.exec();
    };
}

AppDelegate::~AppDelegate() {
    if (m_refreshDeferred) {
        qApp->removeEventFilter(this);
    }
    delete m_window;
}

bool AppDelegate::launch() {
    m_instance = new SingleInstance(SingleInstance::defaultSocketPath(), this);
    if (!m_instance->claim()) {
        return false;
    }
    connect(m_instance, &SingleInstance::showRequested, this, &AppDelegate::showPanel);

    QApplication::setQuitOnLastWindowClosed(false);
    QGuiApplication::setWindowIcon(makeAppIcon());
    buildStatusItem();
    buildWindow();
    buildMainMenu();
    if (m_window) {
        refresh();
    }
    m_timer = new QTimer(this);
    m_timer->setInterval(kRefreshIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &AppDelegate::timerFired);
    m_timer->start();
    if (m_window) {
        m_window->show();
        m_window->raise();
    }
    return true;
}

void AppDelegate::buildMainMenu() {
    installPlatformMenu(m_window, [self = QPointer<AppDelegate>(this)] {
        if (self) {
            self->quit();
        }
    });
}

void AppDelegate::buildStatusItem() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        return;  // the panel alone still works
    }
    m_statusItem = new QSystemTrayIcon(makeAppIcon(), this);
    m_statusItem->setToolTip(QStringLiteral("Varnholt"));
    m_statusMenu = std::make_unique<QMenu>();
    m_statusMenu->addAction(QStringLiteral("Show/Hide Panel"), this, &AppDelegate::toggleWindow);
    m_statusMenu->addSeparator();
    QAction* quitAction =
        m_statusMenu->addAction(QStringLiteral("Quit Varnholt"), this, &AppDelegate::quit);
    quitAction->setShortcut(QKeySequence::Quit);
    m_statusItem->setContextMenu(m_statusMenu.get());
    connect(m_statusItem, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger) {
                    toggleWindow();
                }
            });
    m_statusItem->show();
}

void AppDelegate::toggleWindow() {
    if (!m_window) {
        return;
    }
    if (m_window->isVisible()) {
        m_window->hide();
        return;
    }
    showPanel();
}

void AppDelegate::showPanel() {
    if (!m_window) {
        return;
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void AppDelegate::quit() {
    QCoreApplication::quit();
}

// ---------------------------------------------------------------------------
// Building the panel

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

    m_closeButton = new ClosureButton(QStringLiteral("\u2715"), true, std::nullopt,
                                      [self = QPointer<AppDelegate>(this)] {
                                          if (self && self->m_window) {
                                              self->m_window->hide();
                                          }
                                      });
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
    layoutContent();
    if (collapsed) {
        applyCollapseState(false);
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

bool AppDelegate::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_contentView &&
        (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest ||
         event->type() == QEvent::Show)) {
        layoutContent();
    }
    if (m_refreshDeferred && event->type() == QEvent::MouseButtonRelease) {
        // Let the release reach its button first, then catch up.
        QTimer::singleShot(0, this, [this] {
            if (m_refreshDeferred && QGuiApplication::mouseButtons() == Qt::NoButton) {
                m_refreshDeferred = false;
                qApp->removeEventFilter(this);
                refresh();
            }
        });
    }
    return QObject::eventFilter(watched, event);
}

void AppDelegate::sharePressed() {
    if (!m_shareButton) {
        return;
    }
    if (m_sharePopup) {
        m_sharePopup->close();
    }
    m_sharePopup = new SharePopup(HostScanner::wifiIP(), m_shareButton);
    m_sharePopup->showUnder(m_shareButton);
}

// ---------------------------------------------------------------------------
// Refresh

void AppDelegate::timerFired() {
    if (QGuiApplication::mouseButtons() != Qt::NoButton) {
        if (!m_refreshDeferred) {
            m_refreshDeferred = true;
            qApp->installEventFilter(this);
        }
        return;
    }
    refresh();
}

void AppDelegate::refresh() {
    if (!m_window) {
        return;
    }
    apply(m_dataSource ? m_dataSource() : gather());
}

PanelData AppDelegate::gather() {
    PanelData data;
    m_registry.pruneDead();
    data.address = HostScanner::wifiIP();
    data.ssid = HostScanner::ssid();
    data.servers = HostScanner::scan();
    data.hostedCollapsed = Store::collapsed(QStringLiteral("hosted"));
    data.quickCollapsed = Store::collapsed(QStringLiteral("quick"));
    data.quick = HostScanner::quickHostPackages();
    data.recentCollapsed = Store::collapsed(QStringLiteral("recent"));
    data.recent = Store::recent();
    data.pausedCollapsed = Store::collapsed(QStringLiteral("paused"));
    data.paused = HostScanner::pausedPackages();
    return data;
}

void AppDelegate::apply(const PanelData& data) {
    if (!m_window) {
        return;
    }
    m_headerSubtitle->setText(networkLine(data.address, data.ssid));
    const qsizetype serverCount = data.servers.size();
    if (auto* layout = m_headerCompactView->layout()) {
        for (int i = 0; i < layout->count(); ++i) {
            if (auto* label = qobject_cast<ElidedLabel*>(layout->itemAt(i)->widget())) {
                label->setText(compactSummary(data.address, serverCount));
                break;
            }
        }
    }

    // Hosted servers.
    m_hostedListRow->setHidden(data.hostedCollapsed);
    m_hostedEmptyRow->setHidden(data.hostedCollapsed || serverCount > 0);
    m_hostedHeader->setSuffix(countSuffix(serverCount));
    QList<RowPlan> plans;
    for (const HostedPort& server : data.servers) {
        plans.append({hostedRowKey(server, data.address),
                      [server, address = data.address] { return makeHostedRow(server, address); }});
    }
    QList<QWidget*> changed;
    if (syncRows(m_hostedStack, plans, {})) {
        changed.append(m_hostedStack);
    }

    // Quick-host packages.
    m_quickListRow->setHidden(data.quickCollapsed);
    plans.clear();
    for (const QuickHostPackage& package : data.quick) {
        plans.append({quickHostRowKey(package, m_registry.info(package.path), m_hostMjsPath),
                      [this, package] { return makeQuickHostRow(package, m_hostMjsPath, this); }});
    }
    if (syncRows(m_quickStack, plans, {})) {
        changed.append(m_quickStack);
    }

    // Recent events keep their natural width.
    m_recentListRow->setHidden(data.recentCollapsed);
    m_recentEmptyRow->setHidden(data.recentCollapsed || !data.recent.isEmpty());
    plans.clear();
    for (const Store::RecentEvent& event : data.recent) {
        plans.append({recentRowKey(event, m_hostMjsPath),
                      [this, event] { return makeRecentRow(event, m_hostMjsPath, this); }});
    }
    if (syncRows(m_recentStack, plans, Qt::AlignLeft)) {
        changed.append(m_recentStack);
    }
    for (QWidget* row : m_recentStack->arrangedSubviews()) {
        updateRecentRowTime(row);
    }

    // Paused packages.
    m_pausedListRow->setHidden(data.pausedCollapsed);
    m_pausedHeader->setSuffix(countSuffix(data.paused.size()));
    plans.clear();
    for (const QuickHostPackage& package : data.paused) {
        plans.append({pausedRowKey(package, m_hostMjsPath),
                      [this, package] { return makePausedRow(package, m_hostMjsPath, this); }});
    }
    if (syncRows(m_pausedStack, plans, {})) {
        changed.append(m_pausedStack);
    }
    layOutOnce(changed);
}

// ---------------------------------------------------------------------------
// Collapse and resize

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
    layoutContent();

    const int target = collapsed ? collapsedHeight() : m_expandedHeight;
    const QRect frame = m_window->panelGeometry();
    const QRect goal(frame.x(), frame.y(), frame.width(), target);  // the top edge stays
    if (m_collapseAnimation) {
        m_collapseAnimation->stop();
        delete m_collapseAnimation;
    }
    if (animate) {
        m_collapseAnimation = new QPropertyAnimation(m_window, "panelGeometry", this);
        m_collapseAnimation->setDuration(kCollapseAnimationMs);
        m_collapseAnimation->setEasingCurve(QEasingCurve::OutCubic);
        m_collapseAnimation->setStartValue(frame);
        m_collapseAnimation->setEndValue(goal);
        m_collapseAnimation->start(QAbstractAnimation::DeleteWhenStopped);
    } else {
        m_window->setPanelGeometry(goal);
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

// ---------------------------------------------------------------------------
// Host picking

void AppDelegate::openPressed() {
    auto* chooser = new ItemChooser(true, QStringLiteral("Host"), m_window);
    chooser->setAttribute(Qt::WA_DeleteOnClose);
    chooser->setWindowTitle(QStringLiteral("Host a File or Folder"));
    if (const auto folder = Store::defaultOpenFolder()) {
        chooser->setDirectory(*folder);
    }
    connect(chooser, &ItemChooser::itemChosen, this, &AppDelegate::hostPicked,
            Qt::QueuedConnection);
    m_chooser = chooser;
    chooser->open();
}

void AppDelegate::hostPicked(const QString& path) {
    bool hosted = false;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const auto restoreCursor = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
        const std::optional<QString> packageDir =
            HostPicking::packagePick(resolveNode(), m_hostMjsPath, path);
        if (packageDir) {
            hosted = true;
            Store::removePausedPath(*packageDir);
            m_registry.start(*packageDir, m_hostMjsPath);
            refresh();
        }
    }
    if (!hosted) {
        showAlert(
            QStringLiteral("Couldn't host that"),
            QStringLiteral("host.mjs didn't return a package. Check that Node is installed."));
    }
}

void AppDelegate::changeDefaultFolderPressed() {
    auto* chooser = new ItemChooser(false, QStringLiteral("Set Default"), m_window);
    chooser->setAttribute(Qt::WA_DeleteOnClose);
    chooser->setWindowTitle(
        QStringLiteral("Choose the folder \u201COpen\u2026\u201D should start from"));
    if (const auto folder = Store::defaultOpenFolder()) {
        chooser->setDirectory(*folder);
    }
    connect(chooser, &ItemChooser::itemChosen, this, [this](const QString& folder) {
        Store::setDefaultOpenFolder(folder);
        updateDefaultFolderLabel();
    });
    m_chooser = chooser;
    chooser->open();
}

void AppDelegate::updateDefaultFolderLabel() {
    if (!m_defaultFolderLabel) {
        return;
    }
    const std::optional<QString> folder = Store::defaultOpenFolder();
    m_defaultFolderLabel->setText(folder ? QStringLiteral("Default: ") + abbreviatedHome(*folder)
                                         : QStringLiteral("Default: not set"));
}

void AppDelegate::showAlert(const QString& message, const QString& informative) {
    if (m_alert) {
        m_alert(message, informative);
    }
}

}  // namespace varnholt
