#include "ActivatingPanel.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWindow>

#include <algorithm>
#include <cmath>

#include "Style.h"

namespace varnholt {

namespace {
// Presses this close to the body's edge, inside it, still resize.
constexpr int kInnerGrip = 3;
}  // namespace

QRect ActivatingPanel::frameFor(const QRect& available) {
    return {available.x() + available.width() - kWidth - kScreenInset, available.y() + kScreenInset,
            kWidth, kHeight};
}

ActivatingPanel::ActivatingPanel(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setWindowTitle(QStringLiteral("Varnholt Control"));
    setMinimumSize(220 + 2 * kShadowMargin, 40 + 2 * kShadowMargin);
}

void ActivatingPanel::setContentView(QWidget* view) {
    m_contentView = view;
    view->setParent(this);
    view->setGeometry(
        rect().adjusted(kShadowMargin, kShadowMargin, -kShadowMargin, -kShadowMargin));
}

QRect ActivatingPanel::panelGeometry() const {
    return geometry().adjusted(kShadowMargin, kShadowMargin, -kShadowMargin, -kShadowMargin);
}

void ActivatingPanel::setPanelGeometry(const QRect& frame) {
    setGeometry(frame.adjusted(-kShadowMargin, -kShadowMargin, kShadowMargin, kShadowMargin));
}

Qt::Edges ActivatingPanel::edgesAt(const QPoint& pos) const {
    const int grip = kShadowMargin + kInnerGrip;
    Qt::Edges edges;
    if (pos.x() < grip) {
        edges |= Qt::LeftEdge;
    } else if (pos.x() >= width() - grip) {
        edges |= Qt::RightEdge;
    }
    if (pos.y() < grip) {
        edges |= Qt::TopEdge;
    } else if (pos.y() >= height() - grip) {
        edges |= Qt::BottomEdge;
    }
    return edges;
}

void ActivatingPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // The scale the painter really draws at: the screen's, or a render()
    // target's own.
    const qreal dpr = pixelExactScale(painter, size());
    if (dpr == 0) {
        paintBackground(painter);
        return;
    }
    if (m_background.isNull() || m_backgroundSize != size() ||
        !qFuzzyCompare(m_background.devicePixelRatio(), dpr)) {
        QPixmap background(
            QSize(int(std::lround(width() * dpr)), int(std::lround(height() * dpr))));
        background.setDevicePixelRatio(dpr);
        background.fill(Qt::transparent);
        QPainter cache(&background);
        paintBackground(cache);
        cache.end();
        m_background = background;
        m_backgroundSize = size();
    }
    // The paint event's clip holds only the exposed region, so only that is
    // copied; Source replaces whatever the backing store held there.
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawPixmap(QPointF(0, 0), m_background);
}

void ActivatingPanel::paintBackground(QPainter& painter) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);

    const QRectF body =
        QRectF(rect()).adjusted(kShadowMargin, kShadowMargin, -kShadowMargin, -kShadowMargin);
    // A soft shadow: rings that fade outwards, a little heavier below.
    painter.setPen(Qt::NoPen);
    for (int i = kShadowMargin; i >= 1; --i) {
        const qreal t = 1.0 - static_cast<qreal>(i) / (kShadowMargin + 1);
        painter.setBrush(QColor::fromRgbF(0, 0, 0, static_cast<float>(0.045 * t * t)));
        const QRectF ring = body.adjusted(-i, -i * 0.6, i, i * 1.0).translated(0, 1.5);
        painter.drawRoundedRect(ring, kCornerRadius + i, kCornerRadius + i);
    }
    painter.setBrush(QColor::fromRgbF(0.16f, 0.16f, 0.16f, 1.0f));
    painter.drawRoundedRect(body, kCornerRadius, kCornerRadius);
    // A hairline keeps the dark body apart from dark windows behind it.
    QPen edge(QColor::fromRgbF(1, 1, 1, 0.10f));
    edge.setWidthF(1.0);
    painter.setPen(edge);
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(body.adjusted(0.5, 0.5, -0.5, -0.5), kCornerRadius - 0.5,
                            kCornerRadius - 0.5);
    painter.restore();
}

void ActivatingPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_background = QPixmap();
    if (m_contentView) {
        m_contentView->setGeometry(
            rect().adjusted(kShadowMargin, kShadowMargin, -kShadowMargin, -kShadowMargin));
    }
    emit panelResized(panelSize());
}

void ActivatingPanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    // Presses that children did not take arrive here in this window's
    // coordinates, mapped through the children.
    const QPoint pos = mapFromGlobal(event->globalPosition().toPoint());
    const Qt::Edges edges = edgesAt(pos);
    QWindow* window = windowHandle();
    const bool handled =
        window && (edges ? window->startSystemResize(edges) : window->startSystemMove());
    if (!handled) {
        m_manualDrag = true;
        m_manualEdges = edges;
        m_pressGlobal = event->globalPosition().toPoint();
        m_pressGeometry = geometry();
    }
    event->accept();
}

void ActivatingPanel::mouseMoveEvent(QMouseEvent* event) {
    if (!m_manualDrag) {
        if (event->buttons() == Qt::NoButton) {
            updateEdgeCursor(mapFromGlobal(event->globalPosition().toPoint()));
        }
        QWidget::mouseMoveEvent(event);
        return;
    }
    const QPoint delta = event->globalPosition().toPoint() - m_pressGlobal;
    if (!m_manualEdges) {
        move(m_pressGeometry.topLeft() + delta);
        return;
    }
    QRect g = m_pressGeometry;
    const QSize min = minimumSize();
    if (m_manualEdges & Qt::LeftEdge) {
        g.setLeft(std::min(g.left() + delta.x(), g.right() - min.width() + 1));
    }
    if (m_manualEdges & Qt::RightEdge) {
        g.setRight(std::max(g.right() + delta.x(), g.left() + min.width() - 1));
    }
    if (m_manualEdges & Qt::TopEdge) {
        g.setTop(std::min(g.top() + delta.y(), g.bottom() - min.height() + 1));
    }
    if (m_manualEdges & Qt::BottomEdge) {
        g.setBottom(std::max(g.bottom() + delta.y(), g.top() + min.height() - 1));
    }
    setGeometry(g);
}

void ActivatingPanel::mouseReleaseEvent(QMouseEvent* event) {
    m_manualDrag = false;
    QWidget::mouseReleaseEvent(event);
}

void ActivatingPanel::leaveEvent(QEvent* event) {
    unsetCursor();
    QWidget::leaveEvent(event);
}

void ActivatingPanel::updateEdgeCursor(const QPoint& pos) {
    const Qt::Edges edges = edgesAt(pos);
    const bool horizontal = edges & (Qt::LeftEdge | Qt::RightEdge);
    const bool vertical = edges & (Qt::TopEdge | Qt::BottomEdge);
    if (horizontal && vertical) {
        const bool topLeftOrBottomRight = ((edges & Qt::LeftEdge) && (edges & Qt::TopEdge)) ||
                                          ((edges & Qt::RightEdge) && (edges & Qt::BottomEdge));
        setCursor(topLeftOrBottomRight ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor);
    } else if (horizontal) {
        setCursor(Qt::SizeHorCursor);
    } else if (vertical) {
        setCursor(Qt::SizeVerCursor);
    } else {
        unsetCursor();
    }
}

}  // namespace varnholt
