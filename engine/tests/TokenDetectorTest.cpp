#include "engine/TokenDetector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include <set>
#include <string>
#include <vector>

namespace talvor::engine {
namespace {

struct Segment {
    int frames;
    float dB;  // frame energy in dB, as the endpoint step computes it
};

struct ScriptCase {
    const char* name;
    std::vector<Segment> script;
    int maxWordLength;
    int status;        // the terminal status, or 1 when the script ends first
    int decisionStep;  // 0-based step that returned it (-1: none)
    int startFrame;
    int endFrame;
    std::set<int> states;  // every state the detector passed through
    int discarded = DiscardNone;  // the last candidate given up, as the result tells it
};

// Feeds the scripted energies straight into the frame store, one endpoint
// step per frame, until a terminal status.
TEST(EndpointStep, FollowsTheStateTableOverScriptedEnergies)
{
    const ScriptCase cases[] = {
        {"normal word", {{30, -60}, {40, -30}, {40, -60}}, 200, 0, 97, 10, 51, {0, 1, 2, 3, 4, 6, 7, 9}},
        {"shortest word kept", {{30, -60}, {14, -30}, {40, -60}}, 200, 0, 71, 10, 25, {0, 1, 2, 3, 4, 6, 7, 9}},
        {"too short, then a word",
         {{30, -60}, {13, -30}, {40, -60}, {40, -30}, {40, -60}}, 200, 0, 150, 10, 51,
         {0, 1, 2, 3, 4, 5, 6, 7, 9}, DiscardTooShort},
        {"too short, then quiet", {{30, -60}, {13, -30}, {60, -60}}, 200, 1, -1, 0, 0,
         {0, 1, 2, 3, 4, 5, 6, 7, 9}, DiscardTooShort},
        {"too long", {{30, -60}, {40, -30}, {40, -60}}, 30, 1, -1, 0, 0, {0, 1, 2, 3, 4, 5, 9}, DiscardTooLong},
        {"starts before frame 10", {{5, -60}, {40, -30}, {40, -60}}, 200, -2, 72, 5, 46,
         {0, 1, 2, 3, 4, 6, 7, 9}},
        {"word at frame 3 is taken for the background", {{3, -60}, {40, -30}, {40, -60}}, 200, 1, -1, 0, 0, {0, 1}},
        {"rise never confirmed", {{30, -60}, {20, -54}, {60, -60}}, 200, 1, -1, 0, 0, {0, 1, 2, 5}},
        {"spike falls back", {{30, -60}, {2, -30}, {50, -60}}, 200, 1, -1, 0, 0, {0, 1, 2, 9}},
        {"dip inside the word", {{30, -60}, {20, -30}, {1, -52}, {20, -30}, {40, -60}}, 200, 0, 98, 10, 52,
         {0, 1, 2, 3, 4, 6, 7, 9}},
        // A slow rise that is confirmed 8 frames later: the word starts at the confirmation.
        {"late confirmation moves the start", {{30, -60}, {8, -54}, {40, -30}, {40, -60}}, 200, 0, 105, 18, 59,
         {0, 1, 2, 3, 4, 6, 7, 9}},
        {"early confirmation keeps the start", {{30, -60}, {5, -54}, {40, -30}, {40, -60}}, 200, 0, 102, 10, 56,
         {0, 1, 2, 3, 4, 6, 7, 9}},
        // Quiet for three frames after the first end mark, then loud again: the word goes on.
        {"pause inside the word", {{30, -60}, {20, -30}, {3, -55}, {20, -30}, {40, -60}}, 200, 0, 100, 10, 54,
         {0, 1, 2, 3, 4, 6, 7, 9}},
        // The word grows past the maximum while the detector waits after its end.
        {"too long while waiting for the quiet", {{30, -60}, {30, -30}, {40, -60}}, 35, 1, -1, 0, 0,
         {0, 1, 2, 3, 4, 5, 6, 7, 9}, DiscardTooLong},
    };
    for (const ScriptCase& c : cases) {
        SCOPED_TRACE(c.name);
        TokenDetector d;
        TokenResult result;
        d.LinkTokenResult(&result);
        d.setMaxWordLength(c.maxWordLength);
        std::set<int> states;
        int status = 1;
        int step = 0;
        int decision = -1;
        for (const Segment& s : c.script) {
            for (int i = 0; i < s.frames && status > 0; ++i, ++step) {
                states.insert(d.state());
                d.frames()[d.frameCounter()].v[FeatEnergy] = (s.dB - TokenDetector::kEnergyOffset) / 10.0f;
                status = d.EndpointStep();
                if (status <= 0)
                    decision = step;
            }
        }
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(decision, c.decisionStep);
        EXPECT_EQ(states, c.states);
        EXPECT_EQ(result.discarded, c.discarded);
        if (c.status <= 0) {
            EXPECT_EQ(result.startFrame, c.startFrame);
            EXPECT_EQ(result.endFrame, c.endFrame);
            EXPECT_EQ(result.length, c.endFrame - c.startFrame);
            EXPECT_EQ(d.state(), 8);
            // The deciding step does not advance the frame counter: the word
            // ended 26 frames before it.
            EXPECT_EQ(d.frameCounter(), c.endFrame + 26);
        }
    }
}

TEST(EndpointStep, KeepsOnlyTheLastElevenFramesWhileWaiting)
{
    TokenDetector d;
    for (int t = 0; t < 40; ++t) {
        FeatureFrame& f = d.frames()[d.frameCounter()];
        f.v[FeatEnergy] = (-60.0f - TokenDetector::kEnergyOffset) / 10.0f;
        f.v[0] = static_cast<float>(t);  // marks the frame
        d.EndpointStep();
        ASSERT_LE(d.frameCounter(), 11);
    }
    // The frame computed last sits at position 10, the ten before it below.
    for (int p = 0; p <= 10; ++p)
        EXPECT_EQ(d.frames()[p].v[0], static_cast<float>(29 + p)) << p;
}

TEST(EndpointStep, EnergyFloorAndBackground)
{
    // A silent frame (log energy -30) counts as -90 dB, the floor.
    TokenDetector d;
    d.frames()[0].v[FeatEnergy] = -30.0f;
    d.EndpointStep();
    EXPECT_EQ(d.backgroundLevel(), -90.0f);
}

TEST(EndpointStep, BackgroundFollowsTheQuietRoomWithItsWeights)
{
    // The offset is 10 log10 of the energy scale, as a 32-bit float.
    EXPECT_EQ(TokenDetector::kEnergyOffset, static_cast<float>(10.0 * std::log10(2.313172440052136e-12)));

    // Four frames learn the background (state 0, t = 0..3), then each quiet
    // frame moves it to 0.5 E1 + 0.25 E + 0.25 E2, E1 and E2 being the
    // energies of the two frames before.  Levels below the floor count as -90.
    const float levels[] = {-70.0f, -65.0f, -60.0f, -61.0f, -58.0f, -59.5f, -57.0f, -62.0f,
                            -60.25f, -59.0f, -200.0f, -88.0f, -89.5f, -87.0f, -86.5f};
    TokenDetector d;
    float background = 0.0f, e1 = 0.0f, e2 = 0.0f;
    int t = 0;
    for (const float dB : levels) {
        SCOPED_TRACE(t);
        const float logEnergy = (dB - TokenDetector::kEnergyOffset) / 10.0f;
        d.frames()[d.frameCounter()].v[FeatEnergy] = logEnergy;
        const float e = std::max(10.0f * logEnergy + TokenDetector::kEnergyOffset, -90.0f);
        ASSERT_EQ(d.EndpointStep(), TokenRunning);
        if (t <= 3) {
            background = e1 = e2 = e;
        } else {
            ASSERT_LE(e - background, 4.0f) << "the script must stay quiet";
            background = 0.5f * e1 + 0.25f * e + 0.25f * e2;
            e2 = e1;
            e1 = e;
        }
        EXPECT_EQ(d.state(), t < 3 ? 0 : 1);
        EXPECT_EQ(d.backgroundLevel(), background);
        ++t;
    }
    // The last frame: E = -86.5, E1 = -87, E2 = -89.5.
    EXPECT_EQ(d.backgroundLevel(), -87.5f);
}

TEST(NextFrame, TakesOnlyWholeDeliveredBlocksAndReportsTheFullBuffer)
{
    TokenDetector d;
    EXPECT_EQ(d.NextFrame(), 0);  // starts a new recording
    EXPECT_EQ(d.nextSample(), 1);
    d.setRecorded(80);
    EXPECT_EQ(d.NextFrame(), 0);  // one sample short
    d.setRecorded(81);
    EXPECT_EQ(d.NextFrame(), 1);
    EXPECT_EQ(d.nextSample(), 81);
    // Digital silence is a delivered block like any other.
    d.setRecorded(161);
    EXPECT_EQ(d.NextFrame(), 1);

    // A full buffer: the blocks still pending are taken first.
    d.setRecorded(TokenDetector::kBufferSamples);
    int blocks = 0;
    while (d.NextFrame() == 1 && d.state() != 12) {
        d.ComputeFrameFeatures();
        ++blocks;
    }
    EXPECT_EQ(d.state(), 12);
    EXPECT_EQ(blocks, (TokenDetector::kBufferSamples - 160) / 80 - 1);
    EXPECT_EQ(d.EndpointStep(), TokenBufferUsedUp);
    const auto t = d.frameCounter();
    EXPECT_EQ(d.EndpointStep(), TokenBufferUsedUp);
    EXPECT_EQ(d.frameCounter(), t);
}

}  // namespace
}  // namespace talvor::engine
