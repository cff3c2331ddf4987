#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "Fixtures.h"
#include "hmmview/Decoders.h"
#include "hmmview/ObservationScores.h"
#include "hmmview_testing/PlainHmm.h"

namespace talvor::hmmview {
namespace {

using testing::ModelDir;
using testing::ModSpec;
using testing::RecordingObserver;
using testing::logProb;
using testing::packed;
using testing::ramp;
using Cell = RecordingObserver::Cell;
using Link = RecordingObserver::Link;

TEST(MatchSequentialHMM, HandComputedScoreAndPath)
{
    ModelDir dir;
    auto model = dir.load(ramp());
    const std::vector<float> frames = {0, 0, 1, 2};
    const PackedWord word = packed(frames);
    float score = 5.0f;
    RecordingObserver seen;
    EXPECT_EQ(MatchSequentialHMM(*model, word, score, 3, true, {&seen}), MatchStatus::Done);
    // Each frame sits on its state's mean (ln 1 = 0); the path 0 0 1 2 pays three
    // transitions of 0.5.
    const float l = logProb(0.5);
    EXPECT_EQ(score, l + l + l);
    EXPECT_NEAR(score, 3 * std::log(0.5), 1e-6);

    ASSERT_EQ(seen.layouts.size(), 1u);
    EXPECT_EQ(seen.layouts[0], (std::array<int, 4>{3, 4, 3, 0}));
    EXPECT_EQ(seen.path, (std::vector<Cell>{{3, 3, 2}, {3, 2, 1}, {3, 1, 0}, {3, 0, 0}}));
    // Frame t reports its states 0..min(t, S-1); state 1 at frame 1 comes from below.
    EXPECT_EQ(seen.links.size(), 2u + 3u + 3u);
    EXPECT_EQ(seen.links[1], (Link{3, 1, 1, 0}));
    // The best state of each frame from frame 1 on.
    EXPECT_EQ(seen.frameBests, (std::vector<Cell>{{3, 1, 0}, {3, 2, 1}, {3, 3, 2}}));
    EXPECT_EQ(seen.steps, 0);  // not animated
}

TEST(MatchSequentialHMM, TieGoesToTheStateBelow)
{
    ModelDir dir;
    auto model = dir.load(ramp("flat", 0, 0, 0));
    const std::vector<float> frames = {0, 0, 0, 0};
    float score = 0;
    RecordingObserver seen;
    MatchSequentialHMM(*model, packed(frames), score, 0, true, {&seen});
    // At frame 2, state 1 can come from state 0 (l + l) or stay (l + l): a tie.
    const auto it = std::find_if(seen.links.begin(), seen.links.end(),
                                 [](const Link& k) { return k.frame == 2 && k.row == 1; });
    ASSERT_NE(it, seen.links.end());
    EXPECT_EQ(it->fromRow, 0);
    const float l = logProb(0.5);
    EXPECT_EQ(score, l + l + l);
    // At frame 1 states 0 and 1 both score l: the lower state is the frame's best.
    ASSERT_FALSE(seen.frameBests.empty());
    EXPECT_EQ(seen.frameBests[0], (Cell{0, 1, 0}));
}

TEST(MatchSequentialHMM, DensityFloorOnAFarFrame)
{
    ModelDir dir;
    auto model = dir.load(ramp());
    const std::vector<float> frames = {0, 0, 1, 1e6f};
    float score = 0;
    MatchSequentialHMM(*model, packed(frames), score, 0, false);
    // The last frame is far from every mean: b = ln(1e-30 + 1 * 1e-30).
    const float floorScore = static_cast<float>(std::log(static_cast<double>(1e-30f + 1e-30f)));
    EXPECT_NEAR(floorScore, std::log(2e-30), 1e-5);
    const float l = logProb(0.5);
    EXPECT_EQ(score, (l + l + l) + floorScore);
}

TEST(MatchSequentialHMM, UndecodableModelsScoreTheFloor)
{
    ModelDir dir;
    auto one = dir.load(ramp());
    ModSpec twoFeatures = ModSpec::leftRight("f2", 3, 1, 2);
    auto two = dir.load(twoFeatures);
    std::string small = dir.write("small.mod", ModSpec::leftRight("small", 2, 1, 1));
    HmmModel notLoaded;
    notLoaded.LoadMOD(small);
    const std::vector<float> frames = {0, 0, 1, 2};
    struct Case {
        const char* what;
        const HmmModel* model;
        PackedWord word;
    } cases[] = {
        {"feature count differs", two.get(), packed(frames)},
        {"fewer than 3 states", &notLoaded, packed(frames)},
        {"never loaded", nullptr, packed(frames)},
        {"no frames", one.get(), PackedWord{frames, 0, 1}},
        {"frames missing from the vector", one.get(), PackedWord{frames, 5, 1}},
    };
    HmmModel empty;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        float score = 5.0f;  // an old score must not survive
        RecordingObserver seen;
        EXPECT_EQ(MatchSequentialHMM(c.model ? *c.model : empty, c.word, score, 0, true, {&seen, true}),
                  MatchStatus::NotScored);
        EXPECT_EQ(score, kScoreFloor);
        EXPECT_TRUE(seen.layouts.empty());
        EXPECT_EQ(seen.steps, 0);
    }
}

TEST(MatchSequentialHMM, TooFewFramesForTheLastState)
{
    ModelDir dir;
    auto model = dir.load(ramp());
    const std::vector<float> frames = {0, 0};
    float score = 0;
    EXPECT_EQ(MatchSequentialHMM(*model, packed(frames), score, 0, false), MatchStatus::Done);
    EXPECT_EQ(score, kScoreFloor);
}

TEST(MatchSequentialHMM, LastStateSelfLoopsAddUp)
{
    ModelDir dir;
    ModSpec modSpec = ramp();
    modSpec.trans[2 * 3 + 2] = 0.9f;
    auto model = dir.load(modSpec);
    const std::vector<float> frames = {0, 1, 2, 2, 2};
    float score = 0;
    MatchSequentialHMM(*model, packed(frames), score, 0, false);
    const float l = logProb(0.5), q = logProb(0.9f);
    EXPECT_EQ(score, ((l + l) + q) + q);
}

TEST(MatchSequentialHMM, StopEndsTheDrawingWithTheScoreSet)
{
    ModelDir dir;
    auto model = dir.load(ramp());
    const std::vector<float> frames = {0, 0, 1, 2};
    for (int stopAt : {1, 3, 5}) {
        SCOPED_TRACE(stopAt);
        RecordingObserver seen;
        seen.stopAtStep = stopAt;
        float score = 0;
        EXPECT_EQ(MatchSequentialHMM(*model, packed(frames), score, 0, true, {&seen, true}),
                  MatchStatus::Stopped);
        const float l = logProb(0.5);
        EXPECT_EQ(score, l + l + l);
        EXPECT_EQ(seen.steps, stopAt);
        // Frames 1..3 take a step each, then every best-path cell.
        EXPECT_EQ(seen.path.size(), stopAt <= 3 ? 0u : static_cast<std::size_t>(stopAt - 3));
    }
    RecordingObserver all;
    float score = 0;
    EXPECT_EQ(MatchSequentialHMM(*model, packed(frames), score, 0, true, {&all, true}), MatchStatus::Done);
    EXPECT_EQ(all.steps, 3 + 4);
}

TEST(MatchSequentialHMM, EqualsThePlainDecoderBitForBit)
{
    ModelDir dir;
    const int shapes[][3] = {{3, 1, 1}, {5, 3, 4}, {8, 4, 18}, {4, 2, 7}};
    unsigned seed = 1;
    for (const auto& shape : shapes) {
        auto model = dir.load(testing::randomModel("r", shape[0], shape[1], shape[2], seed++));
        for (int T : {1, 3, 40}) {
            SCOPED_TRACE(std::to_string(shape[0]) + " states, T " + std::to_string(T));
            const std::vector<float> frames = testing::randomFrames(T, shape[2], seed++);
            const PackedWord word{frames, T, shape[2]};
            float score = 0;
            MatchSequentialHMM(*model, word, score, 0, false);
            EXPECT_EQ(score, plain::sequentialScore(*model, frames, T));
            // Scores shared through one table give the same value.
            ObservationScores shared(word);
            float again = 0;
            MatchSequentialHMM(*model, word, again, 0, false, {nullptr, false, &shared});
            MatchSequentialHMM(*model, word, again, 1, false, {nullptr, false, &shared});
            EXPECT_EQ(again, score);
        }
    }
}

TEST(ObservationScores, SharedScoresFollowAModelLoadedAgain)
{
    ModelDir dir;
    auto model = dir.load(ramp("first"));
    const std::vector<float> frames = {0, 0, 1, 2};
    const PackedWord word = packed(frames);
    ObservationScores shared(word);
    float before = 0;
    MatchSequentialHMM(*model, word, before, 0, false, {nullptr, false, &shared});
    std::string other = dir.write("other.mod", ramp("other", 1, 2, 3));
    ASSERT_TRUE(model->LoadMOD(other).loaded);
    float after = 0;
    MatchSequentialHMM(*model, word, after, 0, false, {nullptr, false, &shared});
    EXPECT_NE(after, before);
    EXPECT_EQ(after, plain::sequentialScore(*model, frames, 4));
    // Scores made for another word are not used.
    const std::vector<float> otherFrames = {1, 2, 3, 3};
    float fresh = 0;
    MatchSequentialHMM(*model, packed(otherFrames), fresh, 0, false, {nullptr, false, &shared});
    EXPECT_EQ(fresh, plain::sequentialScore(*model, otherFrames, 4));
}

}  // namespace
}  // namespace talvor::hmmview
