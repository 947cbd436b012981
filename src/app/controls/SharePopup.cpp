#include "SharePopup.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QRegion>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

#include "app/controls/ClosureButton.h"
#include "app/controls/Style.h"

namespace varnholt {

namespace {
constexpr int kQuietModules = 4;
constexpr int kPadding = 16;
constexpr int kCardTarget = 200;
constexpr int kCornerRadius = 12;
}  // namespace

SharePopup::SharePopup(const QString& text, QWidget* parent)
    : QFrame(parent, Qt::Popup | Qt::FramelessWindowHint), m_text(text), m_code(encodeQr(text)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_TranslucentBackground);

    int card = kCardTarget;
    if (m_code) {
        const int span = m_code->size + 2 * kQuietModules;
        card = std::max(1, kCardTarget / span) * span;  // whole pixels per module
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kPadding, kPadding + card + 12, kPadding, kPadding);
    layout->setSpacing(10);
    auto* label =
        makeLabel(text, systemFont(13, QFont::DemiBold), QColor::fromRgbF(0.4f, 0.7f, 1.0f, 1.0f));
    label->setAlignment(Qt::AlignHCenter);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setObjectName(QStringLiteral("shareText"));
    // A private link is longer than the card is wide: shortened in the
    // middle, where the secret is, with the whole of it in the tooltip and
    // behind Copy.
    const QString shown = label->fontMetrics().elidedText(text, Qt::ElideMiddle, card);
    if (shown != text) {
        label->setText(shown);
        label->setToolTip(text);
    }
    layout->addWidget(label);
    m_copyButton = new ClosureButton(QStringLiteral("Copy"), true, 55, [this] {
        QGuiApplication::clipboard()->setText(m_text);
        close();
    });
    layout->addWidget(m_copyButton, 0, Qt::AlignHCenter);
    setFixedWidth(card + 2 * kPadding);
    adjustSize();
}

QRect SharePopup::codeRect() const {
    const int card = width() - 2 * kPadding;
    return {kPadding, kPadding, card, card};
}

void SharePopup::showUnder(QWidget* anchor) {
    const QPoint below = anchor->mapToGlobal(QPoint(anchor->width(), anchor->height() + 6));
    QPoint topLeft(below.x() - width(), below.y());
    if (QScreen* screen = anchor->screen()) {
        const QRect area = screen->availableGeometry();
        topLeft.setX(std::clamp(topLeft.x(), area.left(), area.right() - width() + 1));
        topLeft.setY(std::clamp(topLeft.y(), area.top(), area.bottom() - height() + 1));
    }
    move(topLeft);
    show();
}

void SharePopup::setComposited(bool composited) {
    m_composited = composited;
    if (composited) {
        clearMask();
    } else {
        setMask(roundedRegion(rect(), kCornerRadius));
    }
    update();
}

void SharePopup::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    if (!m_composited) {
        setMask(roundedRegion(rect(), kCornerRadius));
    }
}

void SharePopup::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    if (!m_composited) {
        painter.fillRect(rect(), grey(0.16));  // the mask rounds it
    }
    painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.12f), 1));
    painter.setBrush(grey(0.16));
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), kCornerRadius,
                            kCornerRadius);

    const QRect card = codeRect();
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(card, 6, 6);
    if (!m_code) {
        return;
    }
    // Modules on whole pixels, no smoothing: a crisp code scans best.
    painter.setRenderHint(QPainter::Antialiasing, false);
    const int span = m_code->size + 2 * kQuietModules;
    const int module = card.width() / span;
    const int origin = (card.width() - module * span) / 2 + kQuietModules * module;
    painter.setBrush(Qt::black);
    for (int y = 0; y < m_code->size; ++y) {
        for (int x = 0; x < m_code->size; ++x) {
            if (m_code->dark(x, y)) {
                painter.drawRect(card.x() + origin + x * module, card.y() + origin + y * module,
                                 module, module);
            }
        }
    }
}

}  // namespace varnholt
