// The panes painted offscreen, and a token of the real word detector shown.
#include "analyser/WordDisplayPanes.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <map>

#include "DisplayFixtures.h"
#include "TokenFixture.h"
#include "engine/AnalysisExports.h"
#include "platform/Colors.h"

namespace talvor::analyser {
namespace {

using testing::storedWord;

QImage render(ScenePane* pane)
{
    QImage image(pane->size(), QImage::Format_RGB32);
    pane->render(&image);
    return image;
}

// The dB level of each spectrogram colour: the colour scale run backwards.
std::map<Rgb, float> levelOfColour()
{
    std::vector<float> values;
    for (float v = 0.0f; v <= 101.0f; v += 0.01f)
        values.push_back(v);
    std::vector<std::uint32_t> colours(values.size());
    Value_To_Color(values.data(), std::int32_t(values.size()), colours.data(), 0);
    std::map<Rgb, float> level;
    for (std::size_t i = 0; i < values.size(); ++i)
        level.emplace(colours[i], values[i]);
    return level;
}

TEST(WordDisplayPanes, ToneSpectrogramPeaksAtItsRow)
{
    QWidget client;
    WordDisplays d;
    WordDisplayPanes panes(&client, d);
    ASSERT_TRUE(d.showWord(storedWord(61, 1000.0).source()));
    panes.refresh();
    const QImage image = render(panes.spectrum());
    ASSERT_EQ(image.width(), 277);
    ASSERT_EQ(image.height(), 103);
    const auto level = levelOfColour();
    for (int x = 120; x <= 160; x += 10) {
        int best = -1;
        float bestLevel = -1.0f;
        for (int y = 0; y < image.height(); ++y) {
            const auto it = level.find(platform::fromQColor(image.pixelColor(x, y)));
            if (it == level.end())
                continue;  // the scratch surface's top row
            if (it->second > bestLevel) {
                bestLevel = it->second;
                best = y;
            }
        }
        EXPECT_NEAR(best, 78, 1) << "column " << x;
    }
}

TEST(WordDisplayPanes, SpeechPixelsHaveTheSpeechColour)
{
    QWidget client;
    WordDisplays d;
    WordDisplayPanes panes(&client, d);
    ASSERT_TRUE(d.showWord(storedWord(61).source()));
    panes.refresh();
    const QImage image = render(panes.wave());
    // In the middle of the word, away from the marker, the curve is drawn in colSpeech.
    int speech = 0, outside = 0;
    for (int y = 0; y < image.height(); ++y) {
        speech += image.pixelColor(200, y) == QColor(58, 32, 18);
        outside += image.pixelColor(20, y) == QColor(249, 239, 234);
    }
    EXPECT_GT(speech, 50);  // the tone fills the pane from top to bottom
    EXPECT_GT(outside, 0);
}

TEST(WordDisplayPanes, MarkerMovesLeaveEveryOtherColumnAsAFreshDrawing)
{
    const auto word = storedWord(61);
    QWidget freshClient, movedClient;
    WordDisplays fresh, moved;
    WordDisplayPanes freshPanes(&freshClient, fresh), movedPanes(&movedClient, moved);
    ASSERT_TRUE(fresh.showWord(word.source()));
    ASSERT_TRUE(moved.showWord(word.source()));
    for (int x : {60, 66, 130, 600, 640, 700, 334, 100})
        moved.displayFrame(x);
    freshPanes.refresh();
    movedPanes.refresh();
    const QImage a = render(freshPanes.wave()), b = render(movedPanes.wave());
    // Columns under neither marker (the fresh one at 334, the moved one at 100) are equal.
    auto markerColumns = [](const WordDisplays& d) {
        const auto& marker = d.waveScene().polylines.back().points;
        return std::pair{marker.front().x, marker.back().x};
    };
    const auto [fa, fb] = markerColumns(fresh);
    const auto [ma, mb] = markerColumns(moved);
    int compared = 0;
    for (int x = 0; x < a.width(); ++x) {
        if ((x >= fa - 1 && x <= fb + 1) || (x >= ma - 1 && x <= mb + 1))
            continue;
        for (int y = 0; y < a.height(); ++y)
            ASSERT_EQ(a.pixel(x, y), b.pixel(x, y)) << x << "," << y;
        ++compared;
    }
    EXPECT_GT(compared, 600);
    // Back at the fresh drawing's place, the whole picture is the fresh one.
    moved.displayFrame(334);
    movedPanes.refresh();
    EXPECT_EQ(render(movedPanes.wave()), a);
}

TEST(WordDisplayPanes, PointerDragOnTheWavePaneMovesTheFrame)
{
    QWidget client;
    WordDisplays d;
    WordDisplayPanes panes(&client, d);
    ASSERT_TRUE(d.showWord(storedWord(61).source()));
    panes.refresh();
    panes.wave()->onPress(1, 66);
    panes.wave()->onMove(1, 66);
    EXPECT_EQ(panes.frameCaption()->text(), "FRAME #01 (FROM 41)");
    panes.wave()->onRelease(1, 334);
    EXPECT_EQ(panes.frameCaption()->text(), "FRAME #21 (FROM 41)");
    EXPECT_EQ(panes.frameTitle()->text(), "Signal");
    EXPECT_EQ(panes.spectrumTitle()->text(), "Power spectrum in dB");
}

TEST(WordDisplayPanes, LayoutPlacesFromTwips)
{
    QWidget client;
    WordDisplays d;
    WordDisplayPanes panes(&client, d);
    EXPECT_EQ(panes.wave()->geometry(), QRect(8, 40, 667, 105));
    EXPECT_EQ(panes.param(1)->geometry(), QRect(200, 152, 186, 91));
    EXPECT_EQ(panes.param(5)->geometry(), QRect(200, 344, 187, 91));
    EXPECT_EQ(panes.frame()->geometry(), QRect(392, 201, 281, 105));
    EXPECT_EQ(panes.spectrumContainer()->geometry(), QRect(392, 312, 281, 123));
    EXPECT_EQ(panes.spectrum()->geometry(), QRect(0, 16, 277, 103));
}

// A token of the real detector: the speech run covers the detected word, and
// the energy pane rises over it.
TEST(WordDisplayPanes, RecordedTokenOfTheRealDetector)
{
    const char* root = std::getenv("TALVOR_SOURCE_DIR");
    const std::string wav = std::string(root ? root : ".") + "/engine/tests/fixtures/seven_en-us.wav";
    const testing::RecordedToken token = testing::recordToken(wav);
    ASSERT_TRUE(token.error.empty()) << token.error;
    ASSERT_EQ(token.status, 0);
    WordDisplays d;
    ASSERT_TRUE(d.showWord(token.source()));
    // The speech run: the word's samples, from startSample to endSample.
    const auto& run = d.waveScene().polylines.at(1);
    const float spp = float(d.shownSamples()) / 667.0f;
    const int first = token.startSample < 400 ? 0 : token.startSample - 400;
    EXPECT_NEAR(run.points.front().x * spp + first, token.startSample, 2 * spp);
    EXPECT_NEAR(run.points.back().x * spp + first, token.endSample, 2 * spp);
    // Energy (pane 0): the word lies higher (smaller y) than the lead-in before it.
    const PaneScene& ene = d.paramScene(0);
    ASSERT_EQ(ene.polylines.size(), 3u);
    int leadIn = 0;
    for (const auto& p : ene.polylines[0].points)
        leadIn = std::max(leadIn, p.y);
    int peak = 1000;
    for (const auto& p : ene.polylines[1].points)
        peak = std::min(peak, p.y);
    EXPECT_LT(peak + 20, leadIn);
}

}  // namespace
}  // namespace talvor::analyser
