#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEnterEvent>
#include <QImage>

#include "app/controls/ClosureButton.h"
#include "app/panel/ActivatingPanel.h"

namespace varnholt {
namespace {

const QColor kBody(41, 41, 41);  // the panel's body grey
constexpr int kMargin = ActivatingPanel::kShadowMargin;

// The panel keeps its drawn background between paints; after a resize the
// corners must follow the new size, never show the old picture.
TEST(PaintCacheTest, PanelRepaintsItsBodyAtTheNewSizeAfterAResize) {
    struct Case {
        QSize from;
        QSize to;
    };
    for (const Case& c : {Case{{360, 560}, {300, 400}}, Case{{300, 400}, {360, 560}}}) {
        SCOPED_TRACE(QStringLiteral("%1x%2 to %3x%4")
                         .arg(c.from.width())
                         .arg(c.from.height())
                         .arg(c.to.width())
                         .arg(c.to.height())
                         .toStdString());
        ActivatingPanel panel;
        panel.setPanelGeometry(QRect(QPoint(100, 100), c.from));
        panel.grab();  // fills the cache at the first size
        panel.setPanelGeometry(QRect(QPoint(100, 100), c.to));
        const QImage image = panel.grab().toImage();
        ASSERT_EQ(image.size(), c.to + QSize(2 * kMargin, 2 * kMargin));

        const int right = kMargin + c.to.width() - 1;
        const int bottom = kMargin + c.to.height() - 1;
        // Inside the body next to each edge: body grey.
        EXPECT_EQ(image.pixelColor(kMargin + c.to.width() / 2, bottom - 2), kBody);
        EXPECT_EQ(image.pixelColor(right - 2, kMargin + c.to.height() / 2), kBody);
        // The new bottom-right corner is rounded off, and nothing of the body
        // lies outside it.
        EXPECT_NE(image.pixelColor(right - 1, bottom - 1), kBody);
        EXPECT_LT(image.pixelColor(right + 4, kMargin + c.to.height() / 2).alpha(), 128);
    }
}

QImage grabOnBody(QWidget& parent) {
    return parent.grab().toImage();
}

// Buttons share their drawn frames; hovering one must light that one only,
// and leaving must put it back.
TEST(PaintCacheTest, HoverHighlightShowsOnlyOnTheHoveredButtonAndGoesOnLeave) {
    QWidget parent;
    parent.resize(160, 40);
    parent.setAutoFillBackground(true);
    QPalette palette = parent.palette();
    palette.setColor(QPalette::Window, kBody);
    parent.setPalette(palette);
    auto* hovered = new ClosureButton(QStringLiteral("Stop"), true, 50, {}, &parent);
    auto* other = new ClosureButton(QStringLiteral("Stop"), true, 50, {}, &parent);
    hovered->setGeometry(10, 10, 50, 20);
    other->setGeometry(80, 10, 50, 20);
    // Inside the border, left of the title.
    const QPoint inHovered(10 + 4, 10 + 10);
    const QPoint inOther(80 + 4, 10 + 10);

    const QImage before = grabOnBody(parent);
    EXPECT_EQ(before.pixelColor(inHovered), kBody);

    QEnterEvent enter(QPointF(5, 5), QPointF(15, 15), QPointF(15, 15));
    QCoreApplication::sendEvent(hovered, &enter);
    ASSERT_TRUE(hovered->isHovered());
    const QImage lit = grabOnBody(parent);
    // White at 20 % over the body grey.
    EXPECT_NEAR(lit.pixelColor(inHovered).red(), 41 + 0.2 * (255 - 41), 2);
    EXPECT_EQ(lit.pixelColor(inOther), kBody);

    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(hovered, &leave);
    EXPECT_EQ(grabOnBody(parent).pixelColor(inHovered), kBody);
}

}  // namespace
}  // namespace varnholt
