#pragma once

#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QWidget>

class QPainter;

namespace varnholt {

// The floating panel window: frameless, translucent, above other windows, off
// the taskbar. It paints the dark rounded body with a soft shadow around it;
// the shadow lives in a transparent margin, so the window is a little larger
// than the panel itself. Everything else speaks in panel geometry.
// The margin doubles as the resize grip; the background drags the panel.
// Without a compositor there is no margin: the window is the body, its
// corners cut by a mask. Without a tray it is an ordinary window instead of
// a tool window, so the taskbar can bring it back.
class ActivatingPanel : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QRect panelGeometry READ panelGeometry WRITE setPanelGeometry)
public:
    static constexpr int kShadowMargin = 12;
    static constexpr int kCornerRadius = 14;
    static constexpr int kWidth = 360;
    static constexpr int kHeight = 560;

    // The panel's frame on a screen's available area: its top-right corner
    // 24 px left of and 24 px below the area's top-right corner.
    static QRect frameFor(const QRect& available);

    explicit ActivatingPanel(QWidget* parent = nullptr);

    // The shadow margin on each side: kShadowMargin while composited, else 0.
    int shadowMargin() const { return m_margin; }
    bool isComposited() const { return m_margin > 0; }
    // Keeps the panel's own frame; only the window around it changes.
    void setComposited(bool composited);

    bool isToolWindow() const;
    // A tool window floats above others and stays off the taskbar; otherwise
    // the panel is an ordinary window. A shown panel stays shown.
    void setToolWindow(bool tool);

    // The smallest panel (without the margin) the user may resize to.
    void setPanelMinimumSize(const QSize& size);
    QSize panelMinimumSize() const { return m_panelMinimum; }

    // The view that fills the panel body; the panel takes ownership.
    void setContentView(QWidget* view);
    QWidget* contentView() const { return m_contentView; }

    QRect panelGeometry() const;
    void setPanelGeometry(const QRect& frame);
    QSize panelSize() const { return panelGeometry().size(); }

    // Which edges a press at pos (window coordinates) would resize.
    Qt::Edges edgesAt(const QPoint& pos) const;

signals:
    void panelResized(const QSize& size);
    // Sent before every show, while the window is not mapped yet: the last
    // moment to choose its shape and place.
    void aboutToShow();
    void escapePressed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void updateShape();
    void updateEdgeCursor(const QPoint& pos);
    void paintBackground(QPainter& painter) const;

    // The shadow and body at the current size; drawn again only when the
    // size or the device scale changes, so a repaint of a few rows is a blit.
    QPixmap m_background;
    QSize m_backgroundSize;

    QWidget* m_contentView = nullptr;
    int m_margin = kShadowMargin;
    QSize m_panelMinimum;
    // Fallback when the platform cannot move or resize the window itself.
    bool m_manualDrag = false;
    Qt::Edges m_manualEdges;
    QPoint m_pressGlobal;
    QRect m_pressGeometry;
};

}  // namespace varnholt
