#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QEnterEvent>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>

#include <cmath>

#include "AppTestSupport.h"
#include "TempHome.h"
#include "app/controls/ClosureButton.h"
#include "app/controls/ElidedLabel.h"
#include "app/controls/Indented.h"
#include "app/controls/QrCode.h"
#include "app/controls/SectionHeader.h"
#include "app/controls/SharePopup.h"
#include "app/controls/SymbolButton.h"
#include "app/panel/ItemChooser.h"

namespace varnholt {
namespace {

using namespace std::chrono_literals;

// The given width is the least a button gets; a title the platform's font
// draws wider gets room on both sides instead of touching the border.
TEST(ClosureButtonTest, FixedWidthIsTheLeastAndGrowsToFitItsTitle) {
    ClosureButton stop("Stop", true, 50, {});
    EXPECT_EQ(stop.sizeHint(), QSize(50, 20));
    EXPECT_EQ(stop.width(), 50);
    EXPECT_EQ(ClosureButton("Stop", false, 50, {}).sizeHint(), QSize(50, 26));
    const QString longer = QStringLiteral("A much longer title");
    for (const bool small : {true, false}) {
        ClosureButton button(longer, small, 50, {});
        const int title = static_cast<int>(
            std::ceil(QFontMetricsF(ClosureButton::standardFont(small)).horizontalAdvance(longer)));
        EXPECT_EQ(button.width(), title + (small ? 12 : 16));
        EXPECT_EQ(button.sizeHint().width(), button.width());
    }
}

TEST(ClosureButtonTest, WithoutFixedWidthTheTitleWidthIsRoundedUpPlusPadding) {
    struct Case {
        QString title;
        bool small;
        int padding;
        int height;
    };
    const QList<Case> cases = {{QStringLiteral("Copy URL"), true, 20, 20},
                               {QStringLiteral("\u2715"), true, 20, 20},
                               {QStringLiteral("Restart"), false, 28, 26}};
    for (const Case& c : cases) {
        ClosureButton button(c.title, c.small, std::nullopt, {});
        const qreal measured =
            QFontMetricsF(ClosureButton::standardFont(c.small)).horizontalAdvance(c.title);
        EXPECT_EQ(button.sizeHint(),
                  QSize(static_cast<int>(std::ceil(measured)) + c.padding, c.height))
            << c.title.toStdString();
    }
    EXPECT_EQ(ClosureButton::standardFont(true).pixelSize(), 11);
    EXPECT_EQ(ClosureButton::standardFont(false).pixelSize(), 13);
    EXPECT_EQ(ClosureButton::standardFont(true).weight(), QFont::Medium);
}

TEST(ClosureButtonTest, HoverHighlightsAndShowsThePointingHandUntilTheLeave) {
    ClosureButton button(QStringLiteral("Copy"), true, 55, {});
    EXPECT_EQ(button.backgroundColor().alpha(), 0);

    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&button, &enter);
    EXPECT_TRUE(button.isHovered());
    EXPECT_EQ(button.backgroundColor(), QColor::fromRgbF(1, 1, 1, 0.2f));
    EXPECT_EQ(button.cursor().shape(), Qt::PointingHandCursor);

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
    EXPECT_FALSE(button.isHovered());
    EXPECT_EQ(button.backgroundColor().alpha(), 0);
    EXPECT_EQ(button.cursor().shape(), Qt::ArrowCursor);
}

TEST(ClosureButtonTest, BorderlessButtonsStillHighlight) {
    ClosureButton button(QStringLiteral("\u2715"), true, 18, {});
    button.setBorderWidth(0);
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(&button, &enter);
    EXPECT_TRUE(button.isHovered());
    EXPECT_EQ(button.cursor().shape(), Qt::PointingHandCursor);
}

TEST(ClosureButtonTest, ClickRunsTheHandlerOnceAndNothingWithoutOne) {
    int calls = 0;
    ClosureButton button(QStringLiteral("Go"), true, 50, [&] { ++calls; });
    button.click();
    EXPECT_EQ(calls, 1);
    button.setHandler({});
    button.click();  // must not crash or call anything
    EXPECT_EQ(calls, 1);
    ClosureButton bare(QStringLiteral("Nothing"), true, std::nullopt, {});
    bare.click();
}

TEST(ClosureButtonTest, AHandlerThatDropsItsRowAndItselfStillRunsToTheEnd) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    QPointer<QWidget> rowGuard(row);
    QString seenAfterwards;
    auto* button = new ClosureButton(QStringLiteral("Remove"), true, 60, {});
    const QString captured = QStringLiteral("/packages/Alpha");
    button->setHandler([button, row, captured, &seenAfterwards] {
        button->setHandler({});  // destroys the stored closure while it runs
        row->deleteLater();
        seenAfterwards = captured;  // the captures must still be alive
    });
    layout->addWidget(button);
    button->click();
    EXPECT_EQ(seenAfterwards, captured);
    EXPECT_TRUE(rowGuard);  // deleted later, not during the click
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(rowGuard);
}

TEST(ClosureButtonTest, DisabledButtonsDoNotHighlight) {
    ClosureButton button(QStringLiteral("Stop"), true, 50, {});
    button.setEnabled(false);
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(&button, &enter);
    EXPECT_FALSE(button.isHovered());
}

TEST(SectionHeaderTest, ChevronFollowsTheStateAndEveryToggleIsReported) {
    SectionHeader header(QStringLiteral("PAUSED"), true);
    EXPECT_EQ(header.toggleButton()->property("symbol").toString(), "chevron.down");
    EXPECT_EQ(header.text(), "PAUSED");
    EXPECT_EQ(header.toggleButton()->size(), QSize(18, 18));
    EXPECT_EQ(header.toggleButton()->tint(), SectionHeader::green());

    QList<bool> reported;
    header.onToggle = [&](bool expanded) { reported << expanded; };
    header.toggleButton()->click();
    EXPECT_FALSE(header.expanded());
    EXPECT_EQ(header.toggleButton()->symbol(), "chevron.right");
    header.toggleButton()->click();
    EXPECT_TRUE(header.expanded());
    EXPECT_EQ(header.toggleButton()->symbol(), "chevron.down");
    EXPECT_EQ(reported, (QList<bool>{false, true}));

    SectionHeader collapsed(QStringLiteral("RECENT"), false);
    EXPECT_EQ(collapsed.toggleButton()->symbol(), "chevron.right");
    collapsed.fire();  // no handler set: still flips
    EXPECT_TRUE(collapsed.expanded());
}

TEST(SectionHeaderTest, SuffixIsJoinedWithOneBlankAndAnEmptySuffixLeavesNoBlank) {
    SectionHeader header(QStringLiteral("PAUSED"), true);
    header.setSuffix(QStringLiteral("- 3"));
    EXPECT_EQ(header.text(), "PAUSED - 3");
    header.setSuffix(QString());
    EXPECT_EQ(header.text(), "PAUSED");
    const QLabel* label = header.row()->findChild<QLabel*>();
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->font().pixelSize(), 10);
    EXPECT_EQ(label->palette().color(QPalette::WindowText), SectionHeader::green());
}

TEST(IndentedTest, PutsTheViewBehindATwentyTwoPixelInsetWithoutSpacing) {
    auto* view = new QLabel(QStringLiteral("content"));
    std::unique_ptr<QWidget> wrapper(indented(view));
    auto* layout = qobject_cast<QHBoxLayout*>(wrapper->layout());
    ASSERT_NE(layout, nullptr);
    EXPECT_EQ(layout->spacing(), 0);
    EXPECT_EQ(layout->contentsMargins(), QMargins());
    ASSERT_EQ(layout->count(), 2);
    EXPECT_EQ(layout->itemAt(1)->widget(), view);
    wrapper->resize(300, 40);
    layout->activate();
    EXPECT_EQ(layout->itemAt(0)->widget()->width(), 22);
    EXPECT_EQ(view->x(), 22);
    for (int i = 0; i < layout->count(); ++i) {
        EXPECT_TRUE(layout->itemAt(i)->alignment() & Qt::AlignTop);
        EXPECT_EQ(layout->itemAt(i)->widget()->y(), 0);
    }
}

TEST(ElidedLabelTest, ACutTextShowsInFullAsTooltipAndToScreenReaders) {
    const QString name = QStringLiteral("a-folder-with-a-rather-long-name");
    ElidedLabel label(name, Qt::ElideRight);
    label.resize(label.sizeHint());
    label.show();
    EXPECT_EQ(label.accessibleName(), name);
    EXPECT_EQ(label.toolTip(), QString());
    label.resize(40, label.height());
    EXPECT_NE(label.shownText(), name);
    EXPECT_EQ(label.toolTip(), name);
    label.setText(QStringLiteral("ab"));
    EXPECT_EQ(label.toolTip(), QString());
    EXPECT_EQ(label.accessibleName(), "ab");
}

TEST(QrCodeTest, EncodesAnAddressWithTheThreeFinderPatterns) {
    const auto code = encodeQr(QStringLiteral("192.168.1.20"));
    ASSERT_TRUE(code);
    EXPECT_EQ((code->size - 21) % 4, 0);
    EXPECT_EQ(code->modules.size(), code->size * code->size);
    // Each finder pattern is a dark 7x7 ring around a dark 3x3 centre.
    for (const QPoint& corner :
         {QPoint(0, 0), QPoint(code->size - 7, 0), QPoint(0, code->size - 7)}) {
        for (int i = 0; i < 7; ++i) {
            EXPECT_TRUE(code->dark(corner.x() + i, corner.y()));
            EXPECT_TRUE(code->dark(corner.x(), corner.y() + i));
        }
        EXPECT_FALSE(code->dark(corner.x() + 1, corner.y() + 1));
        EXPECT_TRUE(code->dark(corner.x() + 3, corner.y() + 3));
    }
}

TEST(SharePopupTest, ShowsTheTextAsACrispCodeOnWhiteWithAQuietZone) {
    SharePopup popup(QStringLiteral("192.168.1.20"));
    ASSERT_TRUE(popup.code());
    EXPECT_EQ(popup.findChild<QLabel*>(QStringLiteral("shareText"))->text(), "192.168.1.20");
    // A private link fits the card, shortened in its middle, whole behind Copy.
    const QString link = "http://192.168.1.20:1010/s/XT9SGKvQdOWCmfeS-mKYbg/";
    SharePopup longer(link);
    const QLabel* shown = longer.findChild<QLabel*>(QStringLiteral("shareText"));
    EXPECT_TRUE(shown->text().startsWith("http://") && shown->text().endsWith("bg/"));
    EXPECT_LE(shown->sizeHint().width(), longer.codeRect().width());
    EXPECT_EQ(shown->toolTip(), link);
    QImage image(popup.size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    popup.render(&image);
    const QRect card = popup.codeRect();
    // The quiet zone is white; the first finder module is black.
    EXPECT_EQ(image.pixelColor(card.x() + 3, card.center().y()), QColor(Qt::white));
    const int span = popup.code()->size + 8;
    const int module = card.width() / span;
    ASSERT_GE(module, 4);
    const int origin = (card.width() - module * span) / 2 + 4 * module;
    EXPECT_EQ(image.pixelColor(card.x() + origin + module / 2, card.y() + origin + module / 2),
              QColor(Qt::black));
    EXPECT_NE(test::buttonTitled(&popup, QStringLiteral("Copy")), nullptr);
}

class ItemChooserTest : public ::testing::Test {
protected:
    test::TempHome home;
    QString folder() const { return home.scratch() + "/Sites"; }
    void SetUp() override {
        test::writeFile(folder() + "/notes.txt", "hello");
        QDir().mkpath(folder() + "/photos");
    }
};

TEST_F(ItemChooserTest, OpenChooserReturnsAPickedFileAndAPickedFolder) {
    for (const QString& name : {QStringLiteral("notes.txt"), QStringLiteral("photos")}) {
        ItemChooser chooser(true, QStringLiteral("Host"));
        EXPECT_EQ(chooser.labelText(QFileDialog::Accept), "Host");
        EXPECT_EQ(chooser.labelText(QFileDialog::FileName), "Name:");
        EXPECT_EQ(chooser.findChild<QComboBox*>("fileTypeCombo")->currentText(),
                  "Files and folders");
        chooser.setDirectory(folder());
        QSignalSpy chosen(&chooser, &ItemChooser::itemChosen);
        chooser.open();
        chooser.selectFile(folder() + "/" + name);
        EXPECT_EQ(chooser.currentChoice(), folder() + "/" + name);
        chooser.accept();
        ASSERT_EQ(chosen.count(), 1) << name.toStdString();
        EXPECT_EQ(chosen.first().first().toString(), folder() + "/" + name);
        EXPECT_EQ(chooser.result(), QDialog::Accepted);
    }
}

TEST_F(ItemChooserTest, OpenChooserEnablesItsConfirmButtonForAFile) {
    ItemChooser chooser(true, QStringLiteral("Host"));
    chooser.setDirectory(folder());
    chooser.open();
    chooser.selectFile(folder() + "/notes.txt");
    auto* box = chooser.findChild<QDialogButtonBox*>();
    ASSERT_NE(box, nullptr);
    QPushButton* confirm = box->button(QDialogButtonBox::Open);
    ASSERT_NE(confirm, nullptr);
    EXPECT_TRUE(test::waitUntil([&] { return confirm->isEnabled(); }, 2s));
    chooser.reject();
}

TEST_F(ItemChooserTest, FolderChooserRefusesFilesAndReturnsFolders) {
    ItemChooser chooser(false, QStringLiteral("Set Default"));
    EXPECT_TRUE(chooser.testOption(QFileDialog::ShowDirsOnly));
    EXPECT_EQ(chooser.labelText(QFileDialog::FileName), "Folder:");
    chooser.setDirectory(folder());
    QSignalSpy chosen(&chooser, &ItemChooser::itemChosen);
    chooser.open();
    chooser.selectFile(folder() + "/notes.txt");
    EXPECT_EQ(chooser.currentChoice(), QString());
    chooser.selectFile(folder() + "/photos");
    chooser.accept();
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.first().first().toString(), folder() + "/photos");
}

TEST_F(ItemChooserTest, CancelChoosesNothing) {
    ItemChooser chooser(true, QStringLiteral("Host"));
    QSignalSpy chosen(&chooser, &ItemChooser::itemChosen);
    chooser.open();
    chooser.reject();
    EXPECT_EQ(chosen.count(), 0);
}

}  // namespace
}  // namespace varnholt
