// The DTW window and its control offscreen: the plot's pixels after a
// replay, the modal show, Exit and reload, the close box, the path timer and
// Save Picture.
#include <QApplication>
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>

#include "DtwTree.h"
#include "platform/Colors.h"
#include "platform/Dialogs.h"
#include "testing/EventLoop.h"
#include "timewarp/DtwSession.h"
#include "timewarp/FrmDtw.h"
#include "timewarp/UscDtw.h"

using namespace talvor;
using namespace talvor::timewarp;
using talvor::timewarp::test::DtwTree;

namespace {

class Window : public testing::Test {
public:
    void SetUp() override
    {
        ASSERT_TRUE(dtw.SetAppPath(tree.app()).ok);
    }

    void loadMode(int mode, const std::string& source = "test")
    {
        const auto flags = DtwTree::flags();
        ASSERT_TRUE(dtw.LoadMode(mode, "digits", "dtw1", DtwTree::kFeat, flags, {"refa", "refb"}, source).ok);
    }

    // Mode 6 with test word `word` (0-based) matched and the window shown.
    FrmDtw& pickAndShow(int word)
    {
        loadMode(6);
        EXPECT_TRUE(dtw.LoadDTW().ok);
        EXPECT_TRUE(dtw.SetPMword(word).ok);
        EXPECT_TRUE(dtw.ShowDTW(0).ok);
        return *dtw.window();
    }

    void replayToTheEnd(FrmDtw& w)
    {
        w.cmdMatch_Click();
        ASSERT_EQ(dtw.session().animationState(), AnimationState::Animating);
        while (dtw.session().animationState() == AnimationState::Animating)
            w.timerTick();
    }

    static QImage plotImage(FrmDtw& w) { return w.picture("picDtw")->grab().toImage(); }

    static std::uint32_t at(const QImage& image, int x, int y)
    {
        return platform::fromQColor(QColor(image.pixel(x, y)));
    }

    DtwTree tree;
    UscDtw dtw;
    platform::ScopedScriptedDialogs dialogs;
};

TEST_F(Window, FlatGridShowsThePathInThePathColour)
{
    FrmDtw& w = pickAndShow(1);
    dtw.state().plotStyle = kPlotFlat;
    for (char method : {kMethodGeneral, kMethodItakura, kMethodLinear}) {
        SCOPED_TRACE(method);
        dtw.state().store.method = method;
        replayToTheEnd(w);
        const QImage image = plotImage(w);
        const Canvas& c = dtw.session().pictures().dtw;
        const DtwTrace& t = dtw.state().store.trace;
        ASSERT_GT(t.steps, 1);
        for (int k = 1; k <= t.steps; ++k) {
            const int px = c.toPixelX(t.q(k)), py = c.toPixelY(t.p(k));
            ASSERT_EQ(at(image, px, py), kColorLightRed) << "path point " << k;
        }
        // Grid points away from the path keep their yellow.
        const int px = c.toPixelX(t.N), py = c.toPixelY(1);
        EXPECT_EQ(at(image, px, py), kColorYellow);
        EXPECT_EQ(w.label("lblDtwCaption")->text().toStdString(), methodTitle(method));
        EXPECT_EQ(w.label("lblWarpTestFrames")->text().toInt(), t.steps);
    }
}

TEST_F(Window, ColourMapCellsCarryTheirPaletteLevel)
{
    FrmDtw& w = pickAndShow(3);
    dtw.state().plotStyle = kPlotMap;
    dtw.state().store.method = kMethodLinear;  // no band edges over the cells
    replayToTheEnd(w);
    const QImage image = plotImage(w);
    const Canvas& c = dtw.session().pictures().dtw;
    const DtwTrace& t = dtw.state().store.trace;
    const Palette palette = MakePalette(0);
    std::vector<bool> onPath(std::size_t(201 * 201), false);
    for (int k = 1; k <= t.steps; ++k)
        onPath[std::size_t(t.q(k) * 201 + t.p(k))] = true;
    int checked = 0;
    std::array<int, 8> levels{};
    for (int i = 1; i <= t.N; ++i) {
        for (int j = 1; j <= t.M; ++j) {
            // Cells next to the path may carry its pen; the texts lie over a
            // few others.
            if (onPath[std::size_t(i * 201 + j)] || onPath[std::size_t((i - 1) * 201 + j)]
                || onPath[std::size_t(i * 201 + j - 1)] || onPath[std::size_t((i - 1) * 201 + j - 1)])
                continue;
            const int level = paletteLevel(t.d(i, j), t.maximum / 8.0f);
            const int px = c.toPixelX(i), py = c.toPixelY(j);
            ASSERT_EQ(c.pixel(px, py), palette[std::size_t(level)]) << i << "," << j;
            bool underText = false;
            for (const CanvasText& text : c.texts())
                underText |= px >= text.x && px < text.x + 90 && py >= text.y && py < text.y + 20;
            if (!underText) {
                ASSERT_EQ(at(image, px, py), palette[std::size_t(level)]) << i << "," << j;
                ++levels[std::size_t(level)];
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, t.N * t.M / 2);
    EXPECT_GE(std::count_if(levels.begin(), levels.end(), [](int n) { return n > 0; }), 4);
}

TEST_F(Window, ModalLoadReturnsWhenTheWindowHides)
{
    loadMode(2);
    bool hiddenByTimer = false;
    QTimer::singleShot(50, [&] {
        ASSERT_NE(dtw.window(), nullptr);
        EXPECT_TRUE(dtw.window()->isVisible());
        EXPECT_EQ(dtw.window()->windowTitle().toStdString(), "Warpscope in mode: DTW Matching");
        // A second modal show raises the shown window and returns at once.
        EXPECT_TRUE(dtw.ShowDTW(1).ok);
        EXPECT_TRUE(dtw.LoadDTW().ok);
        hiddenByTimer = true;
        dtw.window()->hide();
    });
    EXPECT_TRUE(dtw.LoadDTW().ok);
    EXPECT_TRUE(hiddenByTimer);
    ASSERT_NE(dtw.window(), nullptr);
    EXPECT_FALSE(dtw.window()->isVisible());
}

TEST_F(Window, ExitAsksThenUnloadsAndTheNextShowMakesTheWindowAgain)
{
    FrmDtw& w = pickAndShow(0);
    dtw.state().store.method = kMethodLinear;
    w.cmdMatch_Click();
    dialogs.answers = {platform::DialogAnswer::No, platform::DialogAnswer::Yes};
    w.mniExit_Click();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "Are you sure you want to exit ?");
    EXPECT_EQ(dialogs.shown[0].caption, "Warpscope");
    EXPECT_EQ(dialogs.shown[0].icon, platform::MessageIcon::Question);
    EXPECT_EQ(dialogs.shown[0].buttons, platform::MessageButtons::YesNo);
    EXPECT_EQ(dtw.window(), &w);
    EXPECT_TRUE(w.isVisible());
    // No is the default: Enter (an answer not given) keeps the window.
    dialogs.answers.clear();
    w.mniExit_Click();
    EXPECT_EQ(dtw.window(), &w);
    dialogs.answers = {platform::DialogAnswer::Yes};

    QPointer<FrmDtw> old(&w);
    w.mniExit_Click();
    EXPECT_EQ(dtw.window(), nullptr);
    EXPECT_EQ(dtw.session().animationState(), AnimationState::Idle);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(old.isNull());

    ASSERT_TRUE(dtw.ShowDTW(0).ok);
    ASSERT_NE(dtw.window(), nullptr);
    EXPECT_TRUE(dtw.window()->isVisible());
    EXPECT_EQ(dtw.window()->label("lblDtwCaption")->text().toStdString(), "Linear Time Warping");
    EXPECT_EQ(dtw.window()->button("cmdSpeak")->text().toStdString(), "&Signal");
    EXPECT_EQ(dtw.window()->windowTitle().toStdString(), "Warpscope in mode: Pick & Match (DTW)");
    EXPECT_TRUE(dtw.window()->button("cmdMatch")->isEnabled());
}

TEST_F(Window, CloseBoxActsAsTheSpeakButton)
{
    loadMode(2);
    ASSERT_TRUE(dtw.ShowDTW(0).ok);
    FrmDtw* w = dtw.window();
    dialogs.answers = {platform::DialogAnswer::No, platform::DialogAnswer::Yes};
    w->close();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "Do you want to exit DTW ?");
    EXPECT_TRUE(w->isVisible());
    w->close();
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(dtw.window(), w);  // hidden, not unloaded

    loadMode(8, "");
    ASSERT_TRUE(dtw.ShowDTW(0).ok);
    w->close();
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(dialogs.shown.size(), 2u);  // modes 6 and 8 hide without asking
}

TEST_F(Window, PathTimerRunsTheAnimationAndPauseStopsIt)
{
    FrmDtw& w = pickAndShow(2);
    dtw.state().store.method = kMethodGeneral;
    w.button("cmdMatch")->click();
    EXPECT_TRUE(w.timer().isActive());
    EXPECT_EQ(w.timer().interval(), 20);
    EXPECT_TRUE(w.button("cmdPause")->isEnabled());
    EXPECT_FALSE(w.button("cmdMatch")->isEnabled());
    EXPECT_FALSE(w.menu("mniPlot")->isEnabled());
    EXPECT_FALSE(w.menu("mniSave")->isEnabled());
    ASSERT_TRUE(talvor::test::serveEventsUntil([&] { return dtw.session().replay().next() > 3; }, 10000));
    w.button("cmdPause")->click();
    EXPECT_FALSE(w.timer().isActive());
    EXPECT_TRUE(w.button("cmdContinue")->isEnabled());
    EXPECT_TRUE(w.button("cmdForward")->isEnabled());
    EXPECT_TRUE(w.menu("mniSave")->isEnabled());
    w.button("cmdContinue")->click();
    ASSERT_TRUE(talvor::test::serveEventsUntil(
        [&] { return dtw.session().animationState() == AnimationState::Idle; }, 20000));
    EXPECT_FALSE(w.timer().isActive());
    EXPECT_TRUE(w.button("cmdMatch")->isEnabled());
    EXPECT_FALSE(w.button("cmdPause")->isEnabled());
    EXPECT_TRUE(w.menu("mniMethod")->isEnabled());
    EXPECT_EQ(w.label("lblDistance")->text().toStdString(), distanceText(dtw.session().replay().accumulated()));

    // The host's next pick stops a running animation and its timer.
    w.button("cmdMatch")->click();
    ASSERT_TRUE(w.timer().isActive());
    ASSERT_TRUE(dtw.SetPMword(4).ok);
    EXPECT_FALSE(w.timer().isActive());
    EXPECT_TRUE(w.button("cmdMatch")->isEnabled());
}

TEST_F(Window, SavePictureWritesABitmapOrSaysItCannot)
{
    FrmDtw& w = pickAndShow(0);
    replayToTheEnd(w);
    const std::string file = tree.app() + "/plot.bmp";
    dialogs.texts = {file, std::nullopt};
    w.mniSave_Click();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, "save");
    EXPECT_EQ(dialogs.shown[0].detail, "Bitmaps (*.bmp)|*.bmp");
    QImage saved(QString::fromStdString(file), "BMP");
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.size(), QSize(kPlotSize, kPlotSize));
    const Canvas& c = dtw.session().pictures().dtw;
    const DtwTrace& t = dtw.state().store.trace;
    EXPECT_EQ(at(saved, c.toPixelX(t.q(t.steps)), c.toPixelY(t.p(t.steps))), kColorLightRed);

    w.mniSave_Click();  // cancelled
    ASSERT_EQ(dialogs.shown.size(), 3u);
    EXPECT_EQ(dialogs.shown[2].text, "The file cannot be saved!");
    EXPECT_EQ(dialogs.shown[2].caption, "Warpscope");
    EXPECT_EQ(dialogs.shown[2].icon, platform::MessageIcon::Warning);

    dialogs.texts = {tree.app() + "/no/such/folder/plot.bmp"};
    w.mniSave_Click();
    ASSERT_EQ(dialogs.shown.size(), 5u);
    EXPECT_EQ(dialogs.shown[4].text, "The file cannot be saved!");

    // A name without an extension gets ".bmp"; one with an extension keeps it.
    const struct {
        const char* typed;
        const char* written;
    } names[] = {{"dtwplot", "dtwplot.bmp"}, {"plot2.BMP", "plot2.BMP"}, {"plot.v1", "plot.v1"}};
    for (const auto& n : names) {
        SCOPED_TRACE(n.typed);
        dialogs.texts = {tree.app() + "/" + n.typed};
        w.mniSave_Click();
        EXPECT_FALSE(QImage(QString::fromStdString(tree.app() + "/" + n.written), "BMP").isNull());
        if (std::string(n.typed) != n.written)
            EXPECT_FALSE(std::filesystem::exists(tree.app() + "/" + n.typed));
    }
    EXPECT_EQ(dialogs.shown.size(), 8u);  // no failure message
}

TEST_F(Window, ControlVersionAndRecognitionWithoutAWindow)
{
    EXPECT_EQ(dtw.version(), "1.0.5");
    EXPECT_EQ(dtw.revision(), 5);
    loadMode(8, "");
    ASSERT_TRUE(dtw.LoadDTW().ok);
    EXPECT_EQ(dtw.window(), nullptr);  // modes 6 and 8 do not show it
    tree.writeToken(4, 47);
    std::int32_t word = -5;
    ASSERT_TRUE(dtw.GetRecogWord(word).ok);
    EXPECT_EQ(word, 4);
    ASSERT_TRUE(dtw.ShowDTW(0).ok);
    EXPECT_EQ(dtw.window()->label("lblTestName")->text().toStdString(), "RECORDING");
    EXPECT_EQ(dtw.window()->label("lblRefName")->text().toStdString(), "four");

    // Two controls keep their own state.
    UscDtw other;
    EXPECT_TRUE(other.state().vocabularyName.empty());
    EXPECT_EQ(other.state().store.referenceTotal, 0);
    std::int32_t none = 7;
    EXPECT_FALSE(other.GetRecogWord(none).ok);
    EXPECT_EQ(none, -1);
}

}  // namespace
