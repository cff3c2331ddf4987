// The viewer window offscreen: what the panes paint, the window's state
// during an animated match, the modal show and the close box.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include "ViewerFixture.h"
#include "hmmview/ChainviewWindow.h"
#include "hmmview/GraphPane.h"
#include "hmmview/UscChainview.h"
#include "platform/Colors.h"
#include "platform/Dialogs.h"

namespace talvor::hmmview {
namespace {

using testing::ProgramFolder;
using testing::ViewerTest;

QRgb rgbOf(Colour c) { return platform::toQColor(static_cast<std::uint32_t>(c)).rgb(); }

struct WindowTest : ::testing::Test {
    ProgramFolder folder;
    // Three pixels a twip-step of 15: cells 40 pixels apart, circles of 10.
    UscChainview chainview{TwipScale{3}};

    void SetUp() override
    {
        ViewerTest::writeStandardFolder(folder);
        ASSERT_TRUE(chainview.SetAppPath(folder.dir.path()));
    }
    QImage paneImage(int k)
    {
        ChainviewWindow& w = chainview.window();
        w.show();
        // At this scale the layout needs a window of 5000 twips = 1667 pixels.
        w.resize(2400, 1800);
        w.Form_Resize();
        QApplication::processEvents();
        return w.pane(k)->grab().toImage();
    }
    QPoint centre(int k, int frame, int row)
    {
        GraphPane* p = chainview.window().pane(k);
        const QPointF c = trellisCellCentre(frame, row, p->height(), chainview.model().settings(), TwipScale{3});
        return QPoint(static_cast<int>(c.x()), static_cast<int>(c.y())) + p->pictureRect().topLeft();
    }
};

TEST_F(WindowTest, PanesPaintTheirRecordsInTheRoleColours)
{
    DisplaySettings& s = chainview.model().settings();
    s.clrStateBorder = rgbColour(250, 240, 200);
    s.clrStateBPrath = rgbColour(200, 0, 40);
    s.clrStateV = rgbColour(180, 0, 180);
    ASSERT_TRUE(chainview.LoadMode(4, folder.voc, "", folder.rec, folder.work));
    chainview.model().MATCH(0);
    QImage img = paneImage(0);
    const ChainviewPane& pane = chainview.model().pane(0);
    ASSERT_FALSE(pane.record.bestPath.empty());

    // The background of the trellis picture, above the top row's circles.
    EXPECT_EQ(img.pixel(centre(0, 0, 0).x() + 20, 2), rgbOf(s.clrStateBorder));
    // Every best-path cell has its centre in the best-path colour.
    for (const PaneRecord::Cell& c : pane.record.bestPath) {
        const QPoint p = centre(0, c.frame, c.row);
        if (img.rect().contains(p)) {
            EXPECT_EQ(img.pixel(p), rgbOf(s.clrStateBPrath)) << c.frame << "," << c.row;
        }
    }
    // The description area in the text border colour.
    EXPECT_EQ(img.pixel(1, img.height() - 2), rgbOf(s.clrModelTextBorder));

    // String decoding: row 0 is the entry state, drawn in clrStateV.
    std::filesystem::create_directories(folder.tree().stringsFolder(folder.voc));
    folder.writeWords({"alpha"}, {40}, 1, folder.tree().stringRecordingBase(folder.voc, folder.rec));
    ASSERT_TRUE(chainview.LoadMode(10, folder.voc, "", folder.rec, folder.work));
    chainview.model().MATCH(0);
    img = paneImage(1);
    const ChainviewPane& stringPane = chainview.model().pane(1);
    ASSERT_TRUE(stringPane.record.entryRow);
    const int r2 = static_cast<int>(2 * s.grStpR / 3);
    int checked = 0;
    for (int t = 0; t < stringPane.record.frames; ++t) {
        const QPoint bottom = centre(1, t, 0) + QPoint(0, r2);
        if (!img.rect().contains(bottom))
            continue;
        EXPECT_EQ(img.pixel(bottom), rgbOf(s.clrStateV)) << t;
        ++checked;
    }
    EXPECT_GT(checked, 5);
}

TEST_F(WindowTest, DuringAnAnimatedMatchOnlyStopAndPauseAreUsable)
{
    ASSERT_TRUE(chainview.LoadMode(4, folder.voc, "", folder.rec, folder.work));
    ChainviewWindow& w = chainview.window();
    w.show();
    bool checked = false;
    QTimer::singleShot(0, &w, [&] {
        checked = true;
        for (QAction* menu : w.menuBar()->actions())
            EXPECT_FALSE(menu->isEnabled()) << menu->text().toStdString();
        EXPECT_FALSE(w.matchButton()->isEnabled());
        EXPECT_FALSE(w.nextButton()->isEnabled());
        EXPECT_FALSE(w.returnButton()->isEnabled());
        EXPECT_FALSE(w.wordList()->isEnabled());
        EXPECT_FALSE(w.pane(0)->modName()->isEnabled());
        EXPECT_TRUE(w.pauseButton()->isEnabled());
        EXPECT_TRUE(w.animateButton()->isEnabled());
        EXPECT_EQ(w.animateButton()->text(), "&STOP");
        // A host call meanwhile fails.
        std::int32_t r = 0;
        EXPECT_FALSE(chainview.SetPruneTreshold(5));
        EXPECT_FALSE(chainview.LoadMode(4, folder.voc, "", folder.rec, folder.work));
        EXPECT_TRUE(chainview.GetResultByOrder(1, r));
        w.animateButton()->click();  // STOP
    });
    w.animateButton()->click();
    EXPECT_TRUE(checked);
    EXPECT_EQ(w.animateButton()->text(), "&Animate");
    EXPECT_TRUE(w.matchButton()->isEnabled());
    EXPECT_FALSE(w.pauseButton()->isEnabled());
    EXPECT_TRUE(w.menuBar()->actions()[2]->isEnabled());
}

TEST_F(WindowTest, ModalShowReturnsWhenTheWindowHides)
{
    ASSERT_TRUE(chainview.LoadMode(4, folder.voc, "", folder.rec, folder.work));
    ChainviewWindow& w = chainview.window();
    bool visibleInside = false;
    QTimer::singleShot(20, &w, [&] {
        visibleInside = w.isVisible();
        // A second show while shown returns at once.
        EXPECT_TRUE(chainview.ShowChainview(1));
        w.returnButton()->click();  // mode 4: hides at once
    });
    EXPECT_TRUE(chainview.ShowChainview(1));
    EXPECT_TRUE(visibleInside);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.windowTitle(), "Chainview in mode: HMM Matching");
}

TEST_F(WindowTest, CloseBoxInModeElevenAsksFirst)
{
    platform::ScopedScriptedDialogs dialogs;
    ASSERT_TRUE(chainview.LoadMode(ModeHmmSequentialParallel, folder.voc, "", folder.rec, folder.work));
    ChainviewWindow& w = chainview.window();
    w.show();
    dialogs.answers = {platform::DialogAnswer::No, platform::DialogAnswer::Yes};
    w.close();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "Do you want to exit Chainview ?");
    EXPECT_EQ(dialogs.shown[0].buttons, platform::MessageButtons::YesNo);
    EXPECT_EQ(dialogs.shown[0].icon, platform::MessageIcon::Question);
    EXPECT_TRUE(w.isVisible());
    w.close();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(dialogs.shown.size(), 2u);
}

TEST_F(WindowTest, PickingAModelInAPaneSwapsItWithThePaneThatShowedIt)
{
    ASSERT_TRUE(chainview.LoadMode(4, folder.voc, "", folder.rec, folder.work));
    ChainviewWindow& w = chainview.window();
    w.show();
    QComboBox* combo = w.pane(1)->modName();
    ASSERT_EQ(combo->count(), 3);
    EXPECT_EQ(combo->itemText(0), "one");
    combo->setCurrentIndex(2);
    emit combo->activated(2);
    EXPECT_EQ(chainview.model().pane(1).modelIndex, 2);
    EXPECT_EQ(chainview.model().pane(2).modelIndex, 1);
    EXPECT_EQ(w.pane(2)->modName()->currentIndex(), 1);
}

}  // namespace
}  // namespace talvor::hmmview

namespace talvor::hmmview {
namespace {

TEST(ViewerWindowLayout, DraggingTheReportEdgeResizesItWithinTheWindow)
{
    testing::ProgramFolder folder;
    testing::ViewerTest::writeStandardFolder(folder);
    UscChainview chainview;
    chainview.SetAppPath(folder.dir.path());
    ASSERT_TRUE(chainview.LoadMode(4, folder.voc, "", folder.rec, folder.work));
    ChainviewWindow& w = chainview.window();
    w.show();
    const int top = w.report()->y();
    const int bottom = top + w.report()->height();
    w.ResizeReport(Qt::LeftButton, bottom);
    w.ResizeReport(Qt::LeftButton, bottom + 100);
    EXPECT_EQ(w.report()->height(), bottom + 100 - top);
    w.ResizeReport(Qt::NoButton, bottom + 100);
    EXPECT_EQ(w.reportHeight(), bottom + 100 - top);
    EXPECT_GE(w.paneFrame()->y(), bottom + 100);  // the frame follows
    // Above the top: height 0; below the window: 255 twips above its bottom.
    const int edge = top + w.report()->height();
    w.ResizeReport(Qt::LeftButton, edge);
    w.ResizeReport(Qt::LeftButton, top - 50);
    EXPECT_EQ(w.report()->height(), 0);
    w.ResizeReport(Qt::LeftButton, w.height() + 300);
    EXPECT_EQ(w.report()->height(), w.height() - top - 17);
    w.ResizeReport(Qt::NoButton, 0);
    // Away from the edge nothing happens.
    const int h = w.report()->height();
    w.ResizeReport(Qt::LeftButton, top + h / 2);
    w.ResizeReport(Qt::LeftButton, top + h / 2 + 40);
    EXPECT_EQ(w.report()->height(), h);
    // Hiding the report lets the frame move up.
    w.ResizeReport(Qt::NoButton, 0);
    w.miIsReport_Click();
    EXPECT_FALSE(w.reportAction()->isChecked());
    EXPECT_LT(w.paneFrame()->y(), top + 10);
}

TEST(ViewerWindowLayout, ClipboardImageIsRefusedWhenTooLarge)
{
    testing::ProgramFolder folder;
    testing::ViewerTest::writeStandardFolder(folder);
    platform::ScopedScriptedDialogs dialogs;
    UscChainview chainview{TwipScale{1}};
    chainview.SetAppPath(folder.dir.path());
    ASSERT_TRUE(chainview.LoadMode(4, folder.voc, "", folder.rec, folder.work));
    chainview.model().MATCH(0);
    ChainviewWindow& w = chainview.window();
    chainview.model().settings().grStpX = 100;
    QImage fits = w.windowImage();
    EXPECT_FALSE(fits.isNull());
    int panesHeight = 0;
    for (int k = 0; k < w.paneCount(); ++k)
        panesHeight += w.pane(k)->paneHeight();
    EXPECT_EQ(fits.height(), panesHeight);
    EXPECT_TRUE(dialogs.shown.empty());
    chainview.model().settings().grStpX = 2000;  // 20 frames x 2000 pixels
    EXPECT_TRUE(w.windowImage().isNull());
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_NE(dialogs.shown[0].text.find("too large"), std::string::npos);
}

}  // namespace
}  // namespace talvor::hmmview
