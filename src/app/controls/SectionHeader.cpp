#include "SectionHeader.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>

#include "app/controls/SymbolButton.h"

namespace varnholt {

namespace {
QString chevronFor(bool expanded) {
    return expanded ? QStringLiteral("chevron.down") : QStringLiteral("chevron.right");
}

QString spokenName(bool expanded, const QString& title) {
    return (expanded ? QStringLiteral("Collapse section ") : QStringLiteral("Expand section ")) +
           title;
}
}  // namespace

QColor SectionHeader::green() {
    static const QColor color = QColor::fromRgbF(0.3f, 0.95f, 0.45f, 1.0f);
    return color;
}

SectionHeader::SectionHeader(const QString& text, bool expanded, QObject* parent)
    : QObject(parent), m_baseText(text), m_expanded(expanded) {
    m_toggleBtn = new SymbolButton(chevronFor(expanded), green());
    m_toggleBtn->setFixedSize(18, 18);
    m_toggleBtn->setAccessibleName(spokenName(expanded, text));

    m_label = new QLabel;
    m_label->setTextFormat(Qt::PlainText);
    QFont font = QApplication::font();
    font.setPixelSize(10);
    font.setWeight(QFont::DemiBold);
    m_label->setFont(font);
    QPalette palette = m_label->palette();
    palette.setColor(QPalette::WindowText, green());
    m_label->setPalette(palette);

    m_row = new QWidget;
    auto* layout = new QHBoxLayout(m_row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(m_toggleBtn, 0, Qt::AlignVCenter);
    layout->addWidget(m_label, 0, Qt::AlignVCenter);
    m_row->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    QObject::connect(m_toggleBtn, &QAbstractButton::clicked, this, &SectionHeader::fire);
    setSuffix(QString());
}

SectionHeader::~SectionHeader() {
    // Once placed, the panel's view tree owns the row.
    if (m_row && !m_row->parent()) {
        delete m_row;
    }
}

void SectionHeader::setSuffix(const QString& suffix) {
    m_label->setText(suffix.isEmpty() ? m_baseText : m_baseText + QLatin1Char(' ') + suffix);
}

QString SectionHeader::text() const {
    return m_label->text();
}

void SectionHeader::fire() {
    m_expanded = !m_expanded;
    m_toggleBtn->setSymbol(chevronFor(m_expanded));
    m_toggleBtn->setAccessibleName(spokenName(m_expanded, m_baseText));
    if (onToggle) {
        const auto callback = onToggle;
        callback(m_expanded);
    }
}

}  // namespace varnholt
