#include "analyser/WordDisplays.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <set>

#include "DisplayFixtures.h"
#include "engine/AnalysisExports.h"
#include "platform/Dialogs.h"

namespace talvor::analyser {
namespace {

using testing::storedWord;
using testing::TestWord;

// Pixel sizes of the window's layout.
TEST(WordDisplaysLayout, PaneSizesComeFromTheTwipLayout)
{
    const DisplayPaneSizes s;
    EXPECT_EQ(s.wave.width, 667);
    EXPECT_EQ(s.wave.height, 105);
    EXPECT_EQ(s.frame.width, 281);
    EXPECT_EQ(s.spectrum.width, 277);
    EXPECT_EQ(s.spectrum.height, 103);
    EXPECT_EQ(s.param[0].width, 186);
    EXPECT_EQ(s.param[5].width, 187);
    EXPECT_EQ(s.param[0].height, 91);
}

void expectRunsShareBoundaries(const PaneScene& wave, int firstPoint, int lastPoint, int count)
{
    ASSERT_GE(wave.polylines.size(), 3u);
    const auto& lead = wave.polylines[0].points;
    const auto& word = wave.polylines[1].points;
    const auto& tail = wave.polylines[2].points;
    EXPECT_EQ(int(lead.size()), firstPoint + 1);
    EXPECT_EQ(int(word.size()), lastPoint - firstPoint + 1);
    EXPECT_EQ(int(tail.size()), count - lastPoint);
    EXPECT_EQ(lead.back().x, word.front().x);
    EXPECT_EQ(lead.back().y, word.front().y);
    EXPECT_EQ(word.back().x, tail.front().x);
    EXPECT_EQ(word.back().y, tail.front().y);
    EXPECT_EQ(wave.polylines[0].colour, kDefaultOutOfSpeech);
    EXPECT_EQ(wave.polylines[1].colour, kDefaultSpeech);
    EXPECT_EQ(wave.polylines[2].colour, kDefaultOutOfSpeech);
}

TEST(WordDisplaysWave, StoredWordOf61FramesInColumnMode)
{
    WordDisplays d;
    const TestWord w = storedWord(61);
    ASSERT_TRUE(d.showWord(w.source()));
    EXPECT_EQ(d.shownSamples(), 4080);
    EXPECT_EQ(d.pointCount(), 1335);
    EXPECT_EQ(d.wordFirstPoint(), 130);
    EXPECT_EQ(d.wordLastPoint(), 1204);
    expectRunsShareBoundaries(d.waveScene(), 130, 1204, 1335);
    // The last run reaches the last point (x = the pane's width).
    EXPECT_EQ(d.waveScene().polylines[2].points.back().x, 667);
}

TEST(WordDisplaysWave, ShortWordInPointMode)
{
    WordDisplays d;
    const TestWord w = storedWord(21);  // 880 samples shown, fewer than 2 x 667
    ASSERT_TRUE(d.showWord(w.source()));
    EXPECT_EQ(d.pointCount(), 880);
    EXPECT_EQ(d.wordFirstPoint(), 400);
    EXPECT_EQ(d.wordLastPoint(), 479);
    expectRunsShareBoundaries(d.waveScene(), 400, 479, 880);
    // The marker covers the frame's 160 samples, one point each.
    EXPECT_EQ(d.markPointCount(), 160);
    const auto& marker = d.waveScene().polylines.back();
    EXPECT_EQ(marker.colour, kDefaultFrame);
    EXPECT_EQ(marker.points.size(), 160u);
    EXPECT_EQ(marker.points.front().x, d.wavePoints()[std::size_t(d.markFirstPoint())].x);
}

TEST(WordDisplaysWave, StartWithinTheFirst400SamplesShowsFromSampleZero)
{
    TestWord w = storedWord(61);
    // A token whose word starts at sample 300.
    w.startSample = 300;
    w.endSample = 2300;
    w.wStart = 4;
    w.wStop = 29;
    w.samples.resize(3100);
    WordDisplays d;
    ASSERT_TRUE(d.showWord(w.source()));
    EXPECT_EQ(d.shownSamples(), 2700);
    EXPECT_EQ(d.wordFirstPoint(), int(std::floor(double(1335.0f / 2700.0f) * 300)));
    // The frame under the pointer is read from the shown stretch's first sample: the
    // signal curve of frame 0 equals that of samples 0..159.
    d.displayFrame(1);
    ASSERT_EQ(d.frameScene().polylines.size(), 1u);
    std::vector<PolyPoint> expected(2 * 281 + 1);
    std::int32_t count = std::int32_t(std::lround(d.signalSpan() * 1.1));
    Konvert(281, -105, w.samples.data(), 160, expected.data(), &count);
    ASSERT_EQ(d.frameScene().polylines[0].points.size(), std::size_t(count));
    for (int i = 0; i < count; ++i)
        EXPECT_EQ(d.frameScene().polylines[0].points[std::size_t(i)].y, expected[std::size_t(i)].y) << i;
}

struct FrameRow {
    const char* what;
    int nGraf;
    const char* caption;  // "": no frame there, no caption
    bool curve;
};

TEST(WordDisplaysFrame, SelectionUnderThePointer)
{
    const FrameRow rows[] = {
        {"middle", 334, "FRAME #21 (FROM 41)", true},
        {"k = 5", 66, "FRAME #01 (FROM 41)", true},
        {"k = 4", 65, "OUT OF SPEECH", true},
        {"left edge", 0, "OUT OF SPEECH", true},
        {"right edge of speech", 650, "OUT OF SPEECH", true},
        {"last 80 samples", 660, "", false},
        {"past the pane", 700, "", false},
        {"negative", -5, "", false},
    };
    const TestWord w = storedWord(61);
    for (const FrameRow& row : rows) {
        SCOPED_TRACE(row.what);
        WordDisplays d;
        ASSERT_TRUE(d.showWord(w.source()));
        ASSERT_EQ(d.frameCaption(), "FRAME #21 (FROM 41)");  // Display shows the middle of the pane
        const int markerBefore = d.markFirstPoint();
        d.displayFrame(row.nGraf);
        EXPECT_EQ(d.frameCaption(), row.caption);
        EXPECT_EQ(!d.frameScene().polylines.empty(), row.curve);
        if (!row.curve) {
            EXPECT_EQ(d.markFirstPoint(), markerBefore);  // the marker stays
        }
        // One marker, inside the points, always the last polyline.
        const auto& wave = d.waveScene().polylines;
        ASSERT_EQ(wave.size(), 4u);
        EXPECT_EQ(wave.back().colour, kDefaultFrame);
        EXPECT_LE(d.markFirstPoint() + int(wave.back().points.size()), d.pointCount());
    }
}

TEST(WordDisplaysFrame, MarkerAtTheRightMostPositionStaysInsideThePoints)
{
    // 4000 samples on 500 pixels: 8 samples a pixel, so the pointer at 490
    // selects the last whole frame (samples 3920..4079) and the marker of
    // 40 points from point 980 would run past the 1001 points.
    DisplayPaneSizes sizes;
    sizes.wave.width = 500;
    WordDisplays d(sizes);
    const TestWord w = storedWord(60);
    ASSERT_TRUE(d.showWord(w.source()));
    ASSERT_EQ(d.pointCount(), 1001);
    d.displayFrame(490);
    ASSERT_FALSE(d.frameScene().polylines.empty());
    EXPECT_EQ(d.markFirstPoint(), 980);
    EXPECT_EQ(d.markPointCount(), 40);
    const auto& marker = d.waveScene().polylines.back();
    EXPECT_EQ(marker.colour, kDefaultFrame);
    EXPECT_EQ(marker.points.size(), 21u);
    EXPECT_EQ(marker.points.back().x, 500);
}

TEST(WordDisplaysFrame, MarkerMovesLeaveTheWaveRunsAsAFreshDrawing)
{
    const TestWord w = storedWord(61);
    WordDisplays fresh;
    ASSERT_TRUE(fresh.showWord(w.source()));
    WordDisplays moved;
    ASSERT_TRUE(moved.showWord(w.source()));
    // Drag across the word start and end, back over old places, and out of the pane.
    for (int x : {10, 60, 70, 130, 600, 620, 640, 700, 66, 334})
        moved.displayFrame(x);
    fresh.displayFrame(334);
    ASSERT_EQ(moved.waveScene().polylines.size(), fresh.waveScene().polylines.size());
    for (std::size_t i = 0; i < fresh.waveScene().polylines.size(); ++i) {
        const auto& a = moved.waveScene().polylines[i];
        const auto& b = fresh.waveScene().polylines[i];
        EXPECT_EQ(a.colour, b.colour);
        ASSERT_EQ(a.points.size(), b.points.size());
        EXPECT_EQ(0, std::memcmp(a.points.data(), b.points.data(), a.points.size() * sizeof(PolyPoint)));
    }
}

TEST(WordDisplaysFrame, ThreeViewsAndTheirTitles)
{
    const TestWord w = storedWord(61);
    const char* titles[] = {"Signal", "Windowed signal", "DFT Power"};
    const std::size_t points[] = {160, 160, 128};
    for (int type = 1; type <= 3; ++type) {
        SCOPED_TRACE(type);
        WordDisplays d;
        d.frameChooser().setSelected(type);
        ASSERT_TRUE(d.showWord(w.source()));
        EXPECT_EQ(d.frameTitle(), titles[type - 1]);
        ASSERT_EQ(d.frameScene().polylines.size(), 1u);
        EXPECT_EQ(d.frameScene().polylines[0].points.size(), points[type - 1]);
        if (type == 3)
            continue;  // levels below -6.5 dB lie under the pane
        for (const auto& p : d.frameScene().polylines[0].points) {
            EXPECT_GE(p.y, 0);
            EXPECT_LT(p.y, 105);
        }
    }
}

TEST(WordDisplaysFrame, DigitalSilenceDrawsClampedCurves)
{
    TestWord w = storedWord(61);
    std::fill(w.samples.begin(), w.samples.end(), std::int16_t(0));
    for (int type = 1; type <= 3; ++type) {
        SCOPED_TRACE(type);
        WordDisplays d;
        d.frameChooser().setSelected(type);
        ASSERT_TRUE(d.showWord(w.source()));
        EXPECT_EQ(d.signalSpan(), 0);
        ASSERT_EQ(d.frameScene().polylines.size(), 1u);
        if (type == 3) {
            ASSERT_TRUE(std::isinf(d.spectrum()[256 * 5 + 50]));
            // -inf dB is drawn at the 16-bit floor, far below the pane but finite.
            for (const auto& p : d.frameScene().polylines[0].points)
                EXPECT_GT(p.y, 105);
        }
    }
}

// The spectrum of Display against the engine's export, frame for frame.
TEST(WordDisplaysSpectrum, EqualsTheEngineExportWithTheLowBinsAveraged)
{
    const TestWord w = storedWord(61, 700.0);
    WordDisplays d;
    ASSERT_TRUE(d.showWord(w.source()));
    const int frames = (w.endSample - w.startSample + 800) / 80;
    ASSERT_EQ(d.spectrumCount(), frames * 256);
    std::vector<float> expected(std::size_t(frames + 1) * 256);
    std::int32_t count = w.endSample - w.startSample + 800, capacity = std::int32_t(expected.size());
    ASSERT_EQ(Compute_Spectrum_FFT(w.samples.data() + (w.startSample - 480), &count, expected.data(), &capacity), 0);
    const auto got = d.spectrum();
    for (int j = 0; j < frames; ++j) {
        float* b = expected.data() + std::size_t(j) * 256;
        b[0] = b[3] / 3.0f + b[2] / 3.0f + b[4] / 3.0f;
        b[1] = b[3] / 3.0f + b[0] / 3.0f + b[2] / 3.0f;
    }
    ASSERT_EQ(0, std::memcmp(got.data(), expected.data(), got.size() * sizeof(float)));
}

TEST(WordDisplaysSpectrum, ShowsTheDbOrMagnitudePicture)
{
    const TestWord w = storedWord(61);
    for (int type = 1; type <= 2; ++type) {
        WordDisplays d;
        d.spectrumChooser().setSelected(type);
        ASSERT_TRUE(d.showWord(w.source()));
        EXPECT_EQ(d.spectrumTitle(), type == 1 ? "Power spectrum in dB" : "Amplitude spectrum");
        EXPECT_EQ(d.spectrumScene().picture.width(), 277);
        EXPECT_EQ(d.spectrumScene().picture.height(), 103);
        EXPECT_FALSE(d.picHelpVisible());
    }
}

// Long words: the largest word the buffers admit, and one beyond it.
TEST(WordDisplaysSpectrum, LongWordsStayInsideTheBuffers)
{
    for (int F : {300, 310, 750}) {
        SCOPED_TRACE(F);
        const TestWord w = storedWord(F);
        WordDisplays d;
        ASSERT_TRUE(d.showWord(w.source()));
        EXPECT_EQ(d.spectrumCount(), (F - 10) * 256);
        EXPECT_EQ(d.spectrumScene().picture.width(), 277);
        EXPECT_EQ(d.frameCaption(), "FRAME #" + std::to_string((F - 10) / 2 - 4) + " (FROM " + std::to_string(F - 20) + ")");
    }
    const TestWord tooLong = storedWord(760);
    WordDisplays d;
    EXPECT_FALSE(d.showWord(tooLong.source()));
    EXPECT_TRUE(d.waveScene().empty());
}

TEST(WordDisplaysParam, EnergyRampRunsAndColours)
{
    const TestWord w = storedWord(61);
    WordDisplays d;
    ASSERT_TRUE(d.showWord(w.source()));
    const PaneScene& pane = d.paramScene(0);  // ENE
    ASSERT_EQ(pane.texts.size(), 1u);
    EXPECT_EQ(pane.texts[0].text, "ENE ");
    EXPECT_EQ(pane.texts[0].colour, rgbOf(255, 0, 0));
    ASSERT_EQ(pane.dots.size(), 1u);
    EXPECT_EQ(pane.dots[0].colour, kParamDotColour);
    ASSERT_EQ(pane.polylines.size(), 3u);
    // Lead-in frames 5..10, the word 10..50, lead-out 50..55.
    EXPECT_EQ(pane.polylines[0].points.size(), 6u);
    EXPECT_EQ(pane.polylines[1].points.size(), 41u);
    EXPECT_EQ(pane.polylines[2].points.size(), 6u);
    EXPECT_EQ(pane.polylines[0].colour, kDefaultParamOut);
    EXPECT_EQ(pane.polylines[1].colour, rgbOf(255, 0, 0));
    EXPECT_EQ(pane.polylines[2].colour, kDefaultParamOut);
    EXPECT_EQ(pane.polylines[0].points.back().x, pane.polylines[1].points.front().x);
    EXPECT_EQ(pane.polylines[1].points.back().x, pane.polylines[2].points.front().x);
    EXPECT_EQ(pane.polylines[0].points.front().x, 0);
    EXPECT_EQ(pane.polylines[2].points.back().x, 186);
    // The energy rises: y falls frame by frame, and stays inside the band 17 .. H - 5.
    const auto& word = pane.polylines[1].points;
    for (std::size_t i = 1; i < word.size(); ++i)
        EXPECT_LE(word[i].y, word[i - 1].y);
    EXPECT_LT(word.back().y, word.front().y);
    for (const auto& run : pane.polylines)
        for (const auto& p : run.points) {
            EXPECT_GE(p.y, 16);
            EXPECT_LE(p.y, 91 - 5);
        }
    // The other panes: CEP1, DEN, CEP2, DDEN, CEP3.
    const char* heads[] = {"ENE ", "CEP1 ", "DEN ", "CEP2 ", "DDEN ", "CEP3 "};
    for (int i = 0; i < kParamPanes; ++i)
        EXPECT_EQ(d.paramScene(i).texts.at(0).text, heads[i]);
}

TEST(WordDisplaysParam, ValuesOutsideTheScaleStayInThePane)
{
    struct Row {
        const char* what;
        float value;
        int y;
    };
    const Row rows[] = {
        {"NaN", std::numeric_limits<float>::quiet_NaN(), 90},
        {"1e38", 1e38f, 0},
        {"-1e38", -1e38f, 90},
        {"+inf", std::numeric_limits<float>::infinity(), 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TestWord w = storedWord(61);
        w.features[30 * 20 + 19] = row.value;
        WordDisplays d;
        ASSERT_TRUE(d.showWord(w.source()));
        const auto& word = d.paramScene(0).polylines.at(1).points;
        EXPECT_EQ(word.at(20).y, row.y);  // frame 30
        for (const auto& run : d.paramScene(0).polylines)
            for (const auto& p : run.points) {
                EXPECT_GE(p.y, 0);
                EXPECT_LT(p.y, 91);
            }
    }
}

TEST(WordDisplaysParam, ZeroRangeFlatAndLowPaneNothing)
{
    const TestWord w = storedWord(61);
    WordDisplays d;
    d.paramChoosers().setRange(19, 5.0f, 5.0f);
    ASSERT_TRUE(d.showWord(w.source()));
    for (const auto& run : d.paramScene(0).polylines)
        for (const auto& p : run.points)
            EXPECT_EQ(p.y, 45);

    DisplayPaneSizes low;
    low.param[0].height = 22;
    WordDisplays lowPane(low);
    ASSERT_TRUE(lowPane.showWord(w.source()));
    EXPECT_TRUE(lowPane.paramScene(0).polylines.empty());
    EXPECT_FALSE(lowPane.paramScene(1).polylines.empty());
}

// Without a word shown every pane is only cleared, whatever calls it.
TEST(WordDisplaysNoWord, InvalidWordsClearAndLaterCallsDrawNothing)
{
    const TestWord good = storedWord(61);
    struct Row {
        const char* what;
        void (*spoil)(WordSource&);
    };
    const Row rows[] = {
        {"status 10", [](WordSource& s) { s.status = 10; }},
        {"status -2", [](WordSource& s) { s.status = -2; }},
        {"no samples", [](WordSource& s) { s.sampleCount = 0; }},
        {"start before the buffer", [](WordSource& s) { s.startSample = -480; }},
        {"end past the samples", [](WordSource& s) { s.endSample = s.sampleCount + 100; }},
        {"end before start", [](WordSource& s) { s.endSample = s.startSample; }},
        {"no features", [](WordSource& s) { s.features = {}; }},
        {"frames reversed", [](WordSource& s) { s.wStop = s.wStart; }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        WordDisplays d;
        ASSERT_TRUE(d.showWord(good.source()));
        WordSource bad = good.source();
        row.spoil(bad);
        EXPECT_FALSE(d.showWord(bad));
        EXPECT_FALSE(d.wordShown());
        d.redraw();
        d.displayFrame(334);
        d.displayFrame(-1);
        d.displaySpectrum();
        d.selected(0);
        d.pointerPress();
        d.pointerMove(true, 300);
        d.pointerRelease(1, 300);
        EXPECT_TRUE(d.waveScene().empty());
        EXPECT_TRUE(d.frameScene().empty());
        EXPECT_TRUE(d.spectrumScene().empty());
        for (int i = 0; i < kParamPanes; ++i)
            EXPECT_TRUE(d.paramScene(i).polylines.empty());
        EXPECT_EQ(d.spectrumCount(), 0);
    }
}

TEST(WordDisplaysPointer, DragMovesTheFrameAndOnlyALeftReleaseEndsIt)
{
    const TestWord w = storedWord(61);
    WordDisplays d;
    ASSERT_TRUE(d.showWord(w.source()));
    d.pointerMove(true, 66);  // no press yet: nothing
    EXPECT_EQ(d.frameCaption(), "FRAME #21 (FROM 41)");
    d.pointerPress();
    d.pointerMove(true, 66.4);
    EXPECT_EQ(d.frameCaption(), "FRAME #01 (FROM 41)");
    d.pointerMove(false, 334);  // no button held
    EXPECT_EQ(d.frameCaption(), "FRAME #01 (FROM 41)");
    d.pointerRelease(2, 334);  // right button: still dragging
    EXPECT_TRUE(d.dragging());
    d.pointerMove(true, 334);
    EXPECT_EQ(d.frameCaption(), "FRAME #21 (FROM 41)");
    d.pointerMove(true, -20);  // left of the pane: as past its end
    EXPECT_TRUE(d.frameScene().polylines.empty());
    EXPECT_EQ(d.frameCaption(), "");
    d.pointerRelease(1, 66);
    EXPECT_FALSE(d.dragging());
    EXPECT_EQ(d.frameCaption(), "FRAME #01 (FROM 41)");
    // The frame position carries over: -1 reuses it.
    d.frameChooser().setSelected(2);
    d.displayFrame(-1);
    EXPECT_EQ(d.frameCaption(), "FRAME #01 (FROM 41)");
    EXPECT_EQ(d.frameTitle(), "Windowed signal");
}

TEST(WordDisplaysColours, DialogSeededWithTheCurrentColourAndCancelKeepsIt)
{
    const TestWord w = storedWord(61);
    WordDisplays d;
    ASSERT_TRUE(d.showWord(w.source()));
    platform::ScopedScriptedDialogs dialogs;
    dialogs.colors = {std::nullopt, rgbOf(1, 2, 3)};
    EXPECT_FALSE(d.chooseColour(ColourItem::Signal));
    EXPECT_EQ(d.colour(ColourItem::Signal), kDefaultSpeech);
    EXPECT_TRUE(d.chooseColour(ColourItem::Signal));
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[0].kind, "color");
    EXPECT_EQ(dialogs.shown[0].detail, "0012203A");  // RGB(58, 32, 18)
    EXPECT_EQ(dialogs.shown[1].detail, "0012203A");
    EXPECT_EQ(d.colour(ColourItem::Signal), rgbOf(1, 2, 3));
    EXPECT_EQ(d.waveScene().polylines.at(1).colour, rgbOf(1, 2, 3));
    // Without a word the colour is kept, nothing is drawn.
    d.clearAll();
    dialogs.colors = {rgbOf(9, 9, 9)};
    EXPECT_TRUE(d.chooseColour(ColourItem::Frame));
    EXPECT_EQ(d.colour(ColourItem::Frame), rgbOf(9, 9, 9));
    EXPECT_TRUE(d.waveScene().empty());
}

}  // namespace
}  // namespace talvor::analyser

namespace talvor::analyser {
namespace {

TEST(WordDisplays3D, TypeThreeDrawsThePicHelpViewOnly)
{
    const TestWord w = testing::storedWord(61);
    WordDisplays d;
    d.spectrumChooser().setSelected(3);
    ASSERT_TRUE(d.showWord(w.source()));
    EXPECT_TRUE(d.picHelpVisible());
    EXPECT_EQ(d.spectrumTitle(), "3D power spectrum");
    EXPECT_TRUE(d.spectrumScene().empty());
    ASSERT_EQ(d.picHelpScene().picture.width(), 281);
    ASSERT_EQ(d.picHelpScene().picture.height(), 109);
    // Back to type 1: the spectrogram again, the 3-D view hidden.
    d.spectrumChooser().setSelected(1);
    d.displaySpectrum();
    EXPECT_FALSE(d.picHelpVisible());
    EXPECT_EQ(d.spectrumScene().picture.width(), 277);
}

TEST(WordDisplays3D, FiltrSmoothsFromTheUnsmoothedValuesEachTime)
{
    const TestWord w = testing::storedWord(61, 1000.0);
    WordDisplays d;
    ASSERT_TRUE(d.showWord(w.source()));
    std::vector<float> expected(d.spectrum().begin(), d.spectrum().end());
    for (int round = 0; round < 2; ++round) {
        for (std::size_t j = 0; j < expected.size() / 256; ++j) {
            float* b = expected.data() + j * 256;
            const std::vector<float> before(b, b + 128);
            for (int k = 0; k < 128; ++k)
                b[k] = before[std::size_t(k)] / 3.0f + (k >= 1 ? before[std::size_t(k - 1)] : 0.0f) / 3.0f
                       + (k >= 2 ? before[std::size_t(k - 2)] : 0.0f) / 3.0f;
        }
        d.filtr();
        ASSERT_EQ(0, std::memcmp(d.spectrum().data(), expected.data(), expected.size() * sizeof(float)));
    }
    // Both views redrawn: the spectrogram keeps its 277 x 103 pane, and its low
    // rows (bins 0..25) still hold spectrum colours, not the background.
    const auto& picture = d.spectrumScene().picture;
    ASSERT_EQ(picture.width(), 277);
    ASSERT_EQ(picture.height(), 103);
    std::vector<float> levels;
    for (float v = -10.0f; v <= 110.0f; v += 0.01f)
        levels.push_back(v);
    std::vector<std::uint32_t> colours(levels.size());
    Value_To_Color(levels.data(), std::int32_t(levels.size()), colours.data(), 0);
    const std::set<std::uint32_t> scale(colours.begin(), colours.end());
    for (int y = 103 - 20; y < 103; ++y)
        for (int x = 0; x < 276; x += 25)
            EXPECT_TRUE(scale.count(picture.pixel(x, y))) << x << "," << y;
    EXPECT_EQ(d.picHelpScene().picture.width(), 281);

    // Without a word, filtr does nothing.
    WordDisplays none;
    none.filtr();
    EXPECT_TRUE(none.picHelpScene().empty());
}

}  // namespace
}  // namespace talvor::analyser
