#include "PanelHeader.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>

#include "app/controls/ClosureButton.h"
#include "app/controls/ElidedLabel.h"
#include "app/controls/Style.h"
#include "app/controls/SymbolButton.h"
#include "scan/HostScanner.h"

namespace varnholt {

namespace {

QColor subtitleColor() {
    return QColor::fromRgbF(0.4f, 0.7f, 1.0f, 1.0f);
}

QString collapseButtonName(bool collapsed) {
    return collapsed ? QStringLiteral("Expand panel") : QStringLiteral("Collapse panel");
}

QString chevron(bool collapsed) {
    return collapsed ? QStringLiteral("chevron.down") : QStringLiteral("chevron.up");
}

}  // namespace

PanelHeader::PanelHeader(QWidget* contentView, bool collapsed) : QObject(contentView) {
    buildTitleRow();
    buildCompactView();
    buildExpandedView();
    for (QWidget* part :
         {static_cast<QWidget*>(m_titleLabel), m_compactView, m_expandedView,
          static_cast<QWidget*>(m_collapseButton), static_cast<QWidget*>(m_closeButton)}) {
        part->setParent(contentView);
    }
    setCollapsed(collapsed);
}

void PanelHeader::buildTitleRow() {
    m_titleLabel = makeLabel(QStringLiteral("\U0001F310  Varnholt Control"),
                             systemFont(14, QFont::Bold), Qt::white);
    m_collapseButton = new SymbolButton(chevron(false), Qt::white);
    m_collapseButton->setFixedSize(20, 20);
    connect(m_collapseButton, &QAbstractButton::clicked, this, &PanelHeader::collapseClicked);

    m_closeButton = new ClosureButton(QStringLiteral("\u2715"), true, std::nullopt, {});
    m_closeButton->setHandler([this] { emit closeClicked(); });
    m_closeButton->setAccessibleName(QStringLiteral("Close panel"));
    m_closeButton->setBorderWidth(0);
    m_closeButton->setTitleStyle(grey(1.0, 0.6), systemFont(13));
    m_closeButton->setGlyph(QStringLiteral("xmark"));
}

// The one-line summary shown while collapsed.
void PanelHeader::buildCompactView() {
    m_compactView = new QWidget;
    auto* layout = new QHBoxLayout(m_compactView);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    m_summary = new ElidedLabel(QString(), Qt::ElideRight);
    m_summary->setObjectName(QStringLiteral("compactSummary"));
    m_summary->setFont(systemFont(13, QFont::DemiBold));
    m_summary->setColor(subtitleColor());
    layout->addWidget(m_summary, 0, Qt::AlignVCenter);
    layout->addStretch(1);
}

// The network line with Copy and Share under it.
void PanelHeader::buildExpandedView() {
    m_expandedView = new QWidget;
    auto* layout = new QVBoxLayout(m_expandedView);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    m_subtitle = makeLabel(QString(), systemFont(13, QFont::DemiBold), subtitleColor());
    layout->addWidget(m_subtitle, 0, Qt::AlignLeft);
    auto* actionRow = new QWidget;
    auto* actionLayout = new QHBoxLayout(actionRow);
    actionLayout->setContentsMargins(0, 0, 0, 0);
    actionLayout->setSpacing(8);
    actionLayout->addStretch(1);
    m_copyButton = new ClosureButton(QStringLiteral("Copy"), true, 55, [] {
        QGuiApplication::clipboard()->setText(HostScanner::wifiIP());
    });
    m_shareButton = new ClosureButton(QStringLiteral("Share"), true, 55, {});
    m_shareButton->setHandler([this] { emit shareClicked(); });
    actionLayout->addWidget(m_copyButton, 0, Qt::AlignVCenter);
    actionLayout->addWidget(m_shareButton, 0, Qt::AlignVCenter);
    actionLayout->addSpacing(6);
    layout->addWidget(actionRow);
}

void PanelHeader::setCollapsed(bool collapsed) {
    m_compactView->setVisible(collapsed);
    m_expandedView->setVisible(!collapsed);
    m_collapseButton->setSymbol(chevron(collapsed));
    m_collapseButton->setAccessibleName(collapseButtonName(collapsed));
}

void PanelHeader::setNetwork(const QString& line, const QString& summary) {
    m_subtitle->setText(line);
    m_summary->setText(summary);
}

// The title sits 14 from the top, the buttons are centred on it, and
// whichever variant shows starts 10 under it.
int PanelHeader::layout(int width) {
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

    const int top = 14 + titleSize.height() + 10;
    const int headerWidth = std::max(0, width - 32);
    m_compactView->setGeometry(16, top, headerWidth, m_compactView->sizeHint().height());
    const int expandedHeight = m_expandedView->sizeHint().height();
    m_expandedView->setGeometry(16, top, headerWidth, expandedHeight);
    return top + expandedHeight + 8;
}

int PanelHeader::collapsedHeight() const {
    return m_titleLabel->height() + 14 + 10 + m_compactView->height() + 14;
}

int PanelHeader::minimumWidth() const {
    const int title =
        16 + m_titleLabel->sizeHint().width() + 8 + 20 + 8 + m_closeButton->sizeHint().width() + 14;
    const int actions = 16 + m_copyButton->width() + 8 + m_shareButton->width() + 6 + 16;
    return std::max(title, actions);
}

}  // namespace varnholt
