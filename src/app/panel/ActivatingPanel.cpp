#include "ActivatingPanel.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QWindow>

#include <algorithm>
#include <cmath>

#include "app/controls/FocusOrder.h"
#include "app/controls/Style.h"
#include "app/desktop/PanelPlatform.h"
#include "app/panel/PanelPlacement.h"

namespace varnholt {

namespace {
// Presses this close to the body's edge, inside it, still resize.
constexpr int kInnerGrip = 3;
// With no margin around the body, the whole grip lies inside it.
constexpr int kBareGrip = 6;

Qt::WindowFlags flagsFor(bool tool) {
    return tool ? Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
                : Qt::Window | Qt::FramelessWindowHint;
}

}  // namespace

QRect ActivatingPanel::frameFor(const QRect& available) {
    return PanelPlacement::topRightOf(available, QSize(kWidth, kHeight));
}

ActivatingPanel::ActivatingPanel(QWidget* parent) : QWidget(parent, flagsFor(true)) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setWindowTitle(QStringLiteral("Varnholt Control"));
    setPanelMinimumSize(QSize(220, 40));
}

void ActivatingPanel::setContentView(QWidget* view) {
    m_contentView = view;
    view->setParent(this);
    updateShape();
}

QRect ActivatingPanel::panelGeometry() const {
    return geometry().adjusted(m_margin, m_margin, -m_margin, -m_margin);
}

void ActivatingPanel::setPanelGeometry(const QRect& frame) {
    setGeometry(frame.adjusted(-m_margin, -m_margin, m_margin, m_margin));
}

void ActivatingPanel::setComposited(bool composited) {
    const int margin = composited ? kShadowMargin : 0;
    if (margin == m_margin) {
        return;
    }
    const QRect frame = panelGeometry();
    m_margin = margin;
    m_background = QPixmap();
    setPanelMinimumSize(m_panelMinimum);
    setPanelGeometry(frame);
    updateShape();
    update();
}

bool ActivatingPanel::isToolWindow() const {
    return (windowFlags() & Qt::WindowType_Mask) == Qt::Tool;
}

void ActivatingPanel::setToolWindow(bool tool) {
    if (tool == isToolWindow()) {
        return;
    }
    const bool shown = isVisible() && !isMinimized();
    const QRect frame = panelGeometry();
    setWindowFlags(flagsFor(tool));  // hides the window
    // Start from a new native window: Qt would otherwise swap it only while
    // mapping, after the show event, and the requests made there (every
    // workspace) would go to the old one.
    destroy(true, false);  // its own window only, not a chooser or popup it owns
    setPanelGeometry(frame);
    if (shown) {
        show();
    }
}

void ActivatingPanel::setPanelMinimumSize(const QSize& size) {
    m_panelMinimum = size;
    setMinimumSize(size + QSize(2 * m_margin, 2 * m_margin));
}

// The body fills the window inside the margin; without a margin nothing may
// show outside the rounded corners, since there is no compositor to blend
// them away.
void ActivatingPanel::updateShape() {
    const QRect body = rect().adjusted(m_margin, m_margin, -m_margin, -m_margin);
    if (m_contentView) {
        m_contentView->setGeometry(body);
    }
    if (m_margin > 0) {
        clearMask();
    } else {
        setMask(roundedRegion(rect(), kCornerRadius));
    }
}

Qt::Edges ActivatingPanel::edgesAt(const QPoint& pos) const {
    const int grip = m_margin > 0 ? m_margin + kInnerGrip : kBareGrip;
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

    const QRectF body = QRectF(rect()).adjusted(m_margin, m_margin, -m_margin, -m_margin);
    // A soft shadow: rings that fade outwards, a little heavier below.
    painter.setPen(Qt::NoPen);
    for (int i = m_margin; i >= 1; --i) {
        const qreal t = 1.0 - static_cast<qreal>(i) / (m_margin + 1);
        painter.setBrush(QColor::fromRgbF(0, 0, 0, static_cast<float>(0.045 * t * t)));
        const QRectF ring = body.adjusted(-i, -i * 0.6, i, i * 1.0).translated(0, 1.5);
        painter.drawRoundedRect(ring, kCornerRadius + i, kCornerRadius + i);
    }
    painter.setBrush(QColor::fromRgbF(0.16f, 0.16f, 0.16f, 1.0f));
    if (m_margin > 0) {
        painter.drawRoundedRect(body, kCornerRadius, kCornerRadius);
    } else {
        // The mask rounds the corners; a full body leaves no half-covered
        // pixels there to show black.
        painter.drawRect(body);
    }
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
    updateShape();
    emit panelResized(panelSize());
}

void ActivatingPanel::showEvent(QShowEvent* event) {
    // Qt sends this before it maps the window, so what is set here holds from
    // the first frame the window manager sees.
    if (!event->spontaneous()) {
        emit aboutToShow();
        PanelPlatform::prepareWindow(this, isToolWindow());
        // The panel keeps the focus itself until Tab moves it: activation
        // would otherwise put it, ring and all, on the first button.
        if (!focusWidget()) {
            setFocus(Qt::OtherFocusReason);
        }
    }
    QWidget::showEvent(event);
}

void ActivatingPanel::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        emit escapePressed();
        return;
    }
    QWidget::keyPressEvent(event);
}

// Rows come and go with every refresh, so Qt's creation-order focus chain
// would wander; Tab follows what the panel shows, top to bottom, left to
// right, wrapping at both ends.
bool ActivatingPanel::focusNextPrevChild(bool next) {
    const QList<QWidget*> order = focusOrder(this);
    if (order.isEmpty()) {
        return QWidget::focusNextPrevChild(next);
    }
    const qsizetype count = order.size();
    const qsizetype current = order.indexOf(focusWidget());
    const qsizetype target =
        current < 0 ? (next ? 0 : count - 1) : (current + (next ? 1 : count - 1)) % count;
    QWidget* widget = order[target];
    widget->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    for (QWidget* up = widget->parentWidget(); up && up != this; up = up->parentWidget()) {
        if (auto* area = qobject_cast<QScrollArea*>(up)) {
            area->ensureWidgetVisible(widget, 0, 8);
            break;
        }
    }
    return true;
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
