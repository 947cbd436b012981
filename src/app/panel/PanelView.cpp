#include "PanelView.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

#include "PanelHeader.h"
#include "PanelSection.h"
#include "RowSync.h"
#include "app/controls/ClosureButton.h"
#include "app/controls/ElidedLabel.h"
#include "app/controls/FlippedStackView.h"
#include "app/controls/Indented.h"
#include "app/controls/SectionHeader.h"
#include "app/controls/SharePopup.h"
#include "app/controls/Style.h"
#include "app/panel/rows/HostedRow.h"
#include "app/panel/rows/PausedRow.h"
#include "app/panel/rows/PickRow.h"
#include "app/panel/rows/QuickHostRow.h"
#include "app/panel/rows/RecentRow.h"
#include "scan/DisplayText.h"
#include "scan/HostScanner.h"
#include "store/Store.h"

namespace varnholt {

namespace {

constexpr int kIndent = 22;  // the inset of section content

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

}  // namespace

PanelView::PanelView(PanelActions* actions, RunningLookup running, Probe compositor, bool collapsed,
                     QWidget* parent)
    : QWidget(parent),
      m_actions(actions),
      m_running(std::move(running)),
      m_compositor(std::move(compositor)) {
    setObjectName(QStringLiteral("contentView"));
    m_header = new PanelHeader(this, collapsed);
    connect(m_header, &PanelHeader::collapseClicked, this, &PanelView::collapseClicked);
    connect(m_header, &PanelHeader::closeClicked, this, &PanelView::closeClicked);
    connect(m_header, &PanelHeader::shareClicked, this, &PanelView::showSharePopup);
    buildScrollView(collapsed);
    buildSections();
    updateDefaultFolderLabel();
    m_scrollView->setWidget(m_documentView);
    m_documentView->setAutoFillBackground(false);  // setWidget turned it on
}

PanelView::~PanelView() = default;

void PanelView::buildScrollView(bool collapsed) {
    m_scrollView = new QScrollArea(this);
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
}

// Header rows, the folder row and the list rows span the width; the
// empty-state texts, the hint and the separators keep their own.
void PanelView::buildSections() {
    m_hosted = std::make_unique<PanelSection>(
        QStringLiteral("CURRENTLY HOSTED"), QStringLiteral("hosted"), nullptr,
        QStringLiteral("Nothing hosted right now \u2705"), this);
    m_openButton =
        new ClosureButton(QStringLiteral("Open\u2026"), true, 55, [this] { emit openClicked(); });
    m_quick = std::make_unique<PanelSection>(QStringLiteral("QUICK HOST"), QStringLiteral("quick"),
                                             m_openButton, QString(), this);
    m_recent =
        std::make_unique<PanelSection>(QStringLiteral("RECENT"), QStringLiteral("recent"), nullptr,
                                       QStringLiteral("Nothing recently stopped"), this);
    m_paused = std::make_unique<PanelSection>(QStringLiteral("PAUSED"), QStringLiteral("paused"),
                                              nullptr, QString(), this);
    for (PanelSection* section : {m_hosted.get(), m_quick.get(), m_recent.get(), m_paused.get()}) {
        section->header()->onToggle = [this, id = section->id()](bool expanded) {
            Store::setCollapsed(id, !expanded);
            emit refreshRequested();
        };
    }
    QWidget* hint = indented(makeLabel(QStringLiteral("Quickly host anything from your machine"),
                                       systemFont(10), grey(0.68)));

    const Qt::Alignment natural = Qt::AlignLeft;
    FlippedStackView* document = m_documentView;
    document->addArrangedSubview(m_hosted->headerRow());
    document->addArrangedSubview(m_hosted->emptyRow(), natural);
    document->addArrangedSubview(m_hosted->listRow());
    document->addArrangedSubview(makeSeparator());
    document->addArrangedSubview(m_quick->headerRow());
    document->addArrangedSubview(hint, natural);
    document->addArrangedSubview(indented(buildFolderRow()));
    document->addArrangedSubview(m_quick->listRow());
    document->addArrangedSubview(makeSeparator());
    document->addArrangedSubview(m_recent->headerRow());
    document->addArrangedSubview(m_recent->emptyRow(), natural);
    document->addArrangedSubview(m_recent->listRow());
    document->addArrangedSubview(makeSeparator());
    document->addArrangedSubview(m_paused->headerRow());
    document->addArrangedSubview(m_paused->listRow());
}

QWidget* PanelView::buildFolderRow() {
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
                                       [this] { emit changeFolderClicked(); });
    folderLayout->addWidget(m_changeButton, 0, Qt::AlignVCenter);
    folderLayout->addSpacing(6);
    return folderRow;
}

bool PanelView::event(QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::Resize || type == QEvent::LayoutRequest || type == QEvent::Show) {
        layoutContent();
    }
    return QWidget::event(event);
}

void PanelView::contextMenuEvent(QContextMenuEvent* event) {
    // Below the title are rows, which have menus of their own.
    if (m_titleMenu && event->pos().y() < m_header->expandedView()->y() &&
        m_titleMenu(event->globalPos())) {
        event->accept();
        return;
    }
    QWidget::contextMenuEvent(event);
}

void PanelView::setTitleMenuHandler(std::function<bool(const QPoint&)> handler) {
    m_titleMenu = std::move(handler);
}

void PanelView::layoutContent() {
    const int scrollTop = m_header->layout(width());
    m_scrollView->setGeometry(0, scrollTop, width(),
                              m_scrollViewZeroHeight ? 0 : std::max(0, height() - scrollTop));
}

void PanelView::setCollapsed(bool collapsed) {
    m_header->setCollapsed(collapsed);
    m_scrollView->setVisible(!collapsed);
    m_scrollViewZeroHeight = collapsed;
    layoutContent();
}

int PanelView::collapsedHeight() {
    layoutContent();
    return m_header->collapsedHeight();
}

QSize PanelView::minimumPanelSize(bool collapsed) {
    layoutContent();
    // The widest kind of row, a server on a five-digit port, with its name
    // cut down to "…": its buttons must never be cut.
    if (!m_rowMinimum.isValid()) {
        QWidget* sample = makeHostedRow(
            {1, QStringLiteral("python3"), 65535, QStringLiteral("NET"), QStringLiteral("x")},
            QStringLiteral("255.255.255.255"), nullptr);
        m_rowMinimum = sample->minimumSizeHint();
        delete sample;
    }
    const QSize row = m_rowMinimum;
    const QMargins inset = m_documentView->stackLayout()->contentsMargins();
    const int body = inset.left() + kIndent + row.width() + inset.right() +
                     m_scrollView->verticalScrollBar()->sizeHint().width();
    const int width = std::max(m_header->minimumWidth(), body);
    if (collapsed) {
        return {width, collapsedHeight()};
    }
    // The header, then one section header and one row under it.
    const QWidget* expanded = m_header->expandedView();
    const int scrollTop = expanded->y() + expanded->sizeHint().height() + 8;
    const int sectionRow = std::max(m_hosted->header()->row()->sizeHint().height(), row.height());
    const int spacing = m_documentView->stackLayout()->spacing();
    return {width, scrollTop + inset.top() + sectionRow + spacing + row.height() + inset.bottom()};
}

void PanelView::updateDefaultFolderLabel() {
    const std::optional<QString> folder = Store::defaultOpenFolder();
    // Folder names are anyone's bytes: shown display-safe, like row titles.
    m_defaultFolderLabel->setText(folder ? QStringLiteral("Default: ") +
                                               displaySafe(abbreviatedHome(*folder))
                                         : QStringLiteral("Default: not set"));
}

void PanelView::showSharePopup() {
    if (m_sharePopup) {
        m_sharePopup->close();
    }
    ClosureButton* anchor = m_header->shareButton();
    m_sharePopup = new SharePopup(HostScanner::wifiIP(), anchor);
    m_sharePopup->setComposited(!m_compositor || m_compositor());
    m_sharePopup->showUnder(anchor);
}

bool PanelView::closeSharePopup() {
    if (m_sharePopup && m_sharePopup->isVisible()) {
        m_sharePopup->close();
        return true;
    }
    return false;
}

void PanelView::apply(const PanelData& data) {
    m_header->setNetwork(networkLine(data.address, data.ssid),
                         compactSummary(data.address, data.servers.size()));
    QList<QWidget*> changed;
    for (QWidget* stack :
         {applyHosted(data), applyQuick(data), applyRecent(data), applyPaused(data)}) {
        if (stack) {
            changed.append(stack);
        }
    }
    layOutOnce(changed);
}

// Each applyX() brings one section up to date and returns its stack when the
// rows changed, else null.
QWidget* PanelView::applyHosted(const PanelData& data) {
    m_hosted->show(data.hostedCollapsed, data.servers.isEmpty() && data.picks.isEmpty());
    m_hosted->header()->setSuffix(countSuffix(data.servers.size()));
    QList<RowPlan> plans;
    for (const PickProgress& pick : data.picks) {
        plans.append({pickRowKey(pick), [this, pick] { return makePickRow(pick, m_actions); }});
    }
    for (const HostedPort& server : data.servers) {
        plans.append({hostedRowKey(server, data.address), [this, server, address = data.address] {
                          return makeHostedRow(server, address, m_actions);
                      }});
    }
    return m_hosted->sync(plans) ? m_hosted->stack() : nullptr;
}

QWidget* PanelView::applyQuick(const PanelData& data) {
    m_quick->listRow()->setHidden(data.quickCollapsed);
    QList<RowPlan> plans;
    for (const QuickHostPackage& package : data.quick) {
        const std::optional<QuickHostEntry> running =
            m_running ? m_running(package.path) : std::nullopt;
        plans.append({quickHostRowKey(package, running, data.address),
                      [this, package, running, address = data.address] {
                          return makeQuickHostRow(package, running, address, m_actions);
                      }});
    }
    return m_quick->sync(plans) ? m_quick->stack() : nullptr;
}

// Recent events keep their natural width.
QWidget* PanelView::applyRecent(const PanelData& data) {
    m_recent->show(data.recentCollapsed, data.recent.isEmpty());
    QList<RowPlan> plans;
    for (const Store::RecentEvent& event : data.recent) {
        plans.append(
            {recentRowKey(event), [this, event] { return makeRecentRow(event, m_actions); }});
    }
    const bool changed = m_recent->sync(plans, Qt::AlignLeft);
    for (QWidget* row : m_recent->stack()->arrangedSubviews()) {
        updateRecentRowTime(row);
    }
    return changed ? m_recent->stack() : nullptr;
}

QWidget* PanelView::applyPaused(const PanelData& data) {
    m_paused->listRow()->setHidden(data.pausedCollapsed);
    m_paused->header()->setSuffix(countSuffix(data.paused.size()));
    QList<RowPlan> plans;
    for (const QuickHostPackage& package : data.paused) {
        plans.append(
            {pausedRowKey(package), [this, package] { return makePausedRow(package, m_actions); }});
    }
    return m_paused->sync(plans) ? m_paused->stack() : nullptr;
}

}  // namespace varnholt
