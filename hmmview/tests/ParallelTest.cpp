#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "Fixtures.h"
#include "hmmview/Decoders.h"
#include "hmmview_testing/PlainHmm.h"

namespace talvor::hmmview {
namespace {

using testing::ModelDir;
using testing::ModSpec;
using testing::RecordingObserver;
using testing::logProb;
using testing::packed;
using testing::ramp;
using Link = RecordingObserver::Link;

TEST(MatchParallelHMM, WithoutPruningEqualsSequentialBitForBit)
{
    ModelDir dir;
    std::vector<std::unique_ptr<HmmModel>> models;
    for (unsigned i = 0; i < 5; ++i)
        models.push_back(dir.load(testing::randomModel("m" + std::to_string(i), 3 + static_cast<int>(i), 1 + static_cast<int>(i % 3), 6, 100 + i)));
    // Pane 5 shows the same model as pane 1.
    std::vector<const HmmModel*> panes = {models[0].get(), models[1].get(), models[2].get(),
                                          models[3].get(), models[4].get(), models[1].get()};
    for (int T : {2, 5, 60}) {
        SCOPED_TRACE(T);
        const std::vector<float> frames = testing::randomFrames(T, 6, static_cast<unsigned>(T));
        const PackedWord word{frames, T, 6};
        MatchResults results;
        std::string recognised = "old";
        RecordingObserver parallel;
        EXPECT_EQ(MatchParallelHMM(panes, word, results, 1e9f, recognised, {&parallel}), MatchStatus::Done);
        for (std::size_t k = 0; k < panes.size(); ++k) {
            float score = 0;
            RecordingObserver sequential;
            MatchSequentialHMM(*panes[k], word, score, static_cast<int>(k), true, {&sequential});
            EXPECT_EQ(results.at(static_cast<int>(k), MatchResults::kScore), score) << "pane " << k;
            EXPECT_EQ(score, plain::sequentialScore(*panes[k], frames, T));
            // Where the last state is reached, both trace the same best path
            // (the back pointers of every pane, whatever its place in the network).
            if (T >= panes[k]->nStates()) {
                EXPECT_EQ(parallel.pathOf(static_cast<int>(k)), sequential.pathOf(static_cast<int>(k)))
                    << "pane " << k;
            }
        }
        EXPECT_EQ(results.at(5, MatchResults::kScore), results.at(1, MatchResults::kScore));
    }
}

TEST(MatchParallelHMM, PrunesAFarModelAtTheFirstFrame)
{
    ModelDir dir;
    auto near = dir.load(ramp("near"));
    auto far = dir.load(ramp("far", 100, 101, 102));
    auto close = dir.load(ramp("close", 0.5f, 1.5f, 2.5f));
    std::vector<const HmmModel*> panes = {far.get(), near.get(), close.get()};
    const std::vector<float> frames = {0, 0, 1, 2};
    MatchResults results;
    for (int r = 0; r < MatchResults::kRows; ++r)
        results.at(r, MatchResults::kScore) = 7.0f;
    RecordingObserver seen;
    std::string recognised;
    EXPECT_EQ(MatchParallelHMM(panes, packed(frames), results, 100.0f, recognised, {&seen}), MatchStatus::Done);
    EXPECT_EQ(recognised, "near");
    // The far model was decoded at frame 1 only.
    int farFrames = 0;
    for (const auto& c : seen.localBests)
        farFrames += c.pane == 0;
    EXPECT_EQ(farFrames, 1);
    EXPECT_EQ(results.at(0, MatchResults::kScore), kScoreFloor);
    const float l = logProb(0.5);
    EXPECT_EQ(results.at(1, MatchResults::kScore), l + l + l);
    EXPECT_EQ(results.at(3, MatchResults::kScore), 7.0f);  // rows past the panes untouched
    // Ranks: near 1, close 2, far unranked ("pruned").
    EXPECT_EQ(results.GetResultByOrder(1), 1);
    EXPECT_EQ(results.GetResultByOrder(2), 2);
    EXPECT_EQ(results.GetResultByOrder(3), -1);
    EXPECT_EQ(seen.lastLabels(0)->order, "pruned");
    EXPECT_EQ(seen.lastLabels(0)->score, "-1E+30");
    EXPECT_EQ(seen.lastLabels(1)->order, "1.");
    EXPECT_EQ(seen.lastLabels(2)->order, "2.");
    EXPECT_TRUE(seen.pathOf(0).empty());
    EXPECT_EQ(seen.pathOf(1), (std::vector<RecordingObserver::Cell>{{1, 3, 2}, {1, 2, 1}, {1, 1, 0}, {1, 0, 0}}));
    // Frame t decodes states 0 .. min(t, S-1) only: 2, 3 and 3 links on frames 1, 2, 3.
    EXPECT_EQ(std::count_if(seen.links.begin(), seen.links.end(), [](const Link& k) { return k.pane == 1; }), 8);
    EXPECT_EQ(std::count_if(seen.links.begin(), seen.links.end(), [](const Link& k) { return k.pane == 0; }), 2);
}

TEST(MatchParallelHMM, TheBestModelIsNeverPruned)
{
    ModelDir dir;
    auto a = dir.load(ramp("a"));
    auto b = dir.load(ramp("b", 0.25f, 1.25f, 2.25f));
    auto c = dir.load(ramp("c", -0.5f, 0.5f, 1.5f));
    std::vector<const HmmModel*> panes = {c.get(), b.get(), a.get()};
    const std::vector<float> frames = {0, 0, 1, 2, 2};
    for (float threshold : {0.0f, -5.0f}) {
        SCOPED_TRACE(threshold);
        MatchResults results;
        std::string recognised;
        MatchParallelHMM(panes, packed(frames), results, threshold, recognised);
        if (threshold == 0.0f) {
            // Everything strictly below the best of a frame goes; the best stays.
            EXPECT_EQ(recognised, "a");
            EXPECT_EQ(results.at(0, MatchResults::kScore), kScoreFloor);
            EXPECT_EQ(results.at(1, MatchResults::kScore), kScoreFloor);
            EXPECT_GT(results.at(2, MatchResults::kScore), kScoreFloor);
        } else {
            // A negative threshold counts as unset (1000): nothing is pruned here.
            EXPECT_EQ(recognised, "a");
            for (int k = 0; k < 3; ++k)
                EXPECT_GT(results.at(k, MatchResults::kScore), kScoreFloor);
        }
    }
}

TEST(MatchParallelHMM, UndecodableModelsAreNeverTheWord)
{
    ModelDir dir;
    auto good = dir.load(ramp("good", 5, 6, 7));
    auto wrongFeatures = dir.load(ModSpec::leftRight("two", 3, 1, 2));
    std::string small = dir.write("small.mod", ramp("small"));
    std::vector<const HmmModel*> panes = {wrongFeatures.get(), nullptr, good.get()};
    const std::vector<float> frames = {0, 0, 1, 2};
    MatchResults results;
    RecordingObserver seen;
    std::string recognised = "old";
    MatchParallelHMM(panes, packed(frames), results, 1000.0f, recognised, {&seen});
    EXPECT_EQ(recognised, "good");
    EXPECT_EQ(results.at(0, MatchResults::kScore), kScoreFloor);
    EXPECT_EQ(results.at(1, MatchResults::kScore), kScoreFloor);
    EXPECT_EQ(results.GetResultByOrder(1), 2);
    EXPECT_EQ(results.GetResultByOrder(2), -1);
    EXPECT_EQ(seen.lastLabels(0)->order, "pruned");
}

TEST(MatchParallelHMM, TiesGoToTheStateBelowAndSharedRankOne)
{
    ModelDir dir;
    auto first = dir.load(ramp("first", 0, 0, 0));
    auto second = dir.load(ramp("second", 0, 0, 0));
    std::vector<const HmmModel*> panes = {first.get(), second.get()};
    const std::vector<float> frames = {0, 0, 0, 0};
    MatchResults results;
    RecordingObserver seen;
    std::string recognised;
    MatchParallelHMM(panes, packed(frames), results, 1000.0f, recognised, {&seen});
    const auto it = std::find_if(seen.links.begin(), seen.links.end(),
                                 [](const Link& k) { return k.pane == 0 && k.frame == 2 && k.row == 1; });
    ASSERT_NE(it, seen.links.end());
    EXPECT_EQ(it->fromRow, 0);
    // At frame 1 states 0 and 1 tie: the lower one is the model's best; the two
    // models tie too: the earlier pane holds the frame's best.
    ASSERT_GE(seen.localBests.size(), 2u);
    EXPECT_EQ(seen.localBests[0], (RecordingObserver::Cell{0, 1, 0}));
    EXPECT_EQ(seen.localBests[1], (RecordingObserver::Cell{1, 1, 0}));
    ASSERT_FALSE(seen.frameBests.empty());
    EXPECT_EQ(seen.frameBests[0], (RecordingObserver::Cell{0, 1, 0}));
    // Equal scores share rank 1; the last of them gives the word.
    EXPECT_EQ(seen.lastLabels(0)->order, "1.");
    EXPECT_EQ(seen.lastLabels(1)->order, "1.");
    EXPECT_EQ(recognised, "second");
    EXPECT_EQ(results.GetResultByOrder(1), 0);
    EXPECT_EQ(results.GetResultByOrder(2), 1);
    EXPECT_EQ(results.GetResultByOrder(3), -1);
}

TEST(MatchParallelHMM, StopKeepsWhatTheRunHadNotYetWritten)
{
    ModelDir dir;
    auto a = dir.load(ramp("a"));
    auto b = dir.load(ramp("b", 1, 2, 3));
    std::vector<const HmmModel*> panes = {a.get(), b.get()};
    const std::vector<float> frames = {0, 0, 1, 2};
    // Steps: 2 layouts, then per frame 2 panes + 1 frame best (3 frames = 9),
    // then the best paths, 4 cells per pane.
    struct Case {
        int stopAt;
        bool row0Written, row1Written;
    } cases[] = {{1, false, false}, {7, false, false}, {12, true, false}, {15, true, false}, {16, true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stopAt);
        MatchResults results;
        for (int r = 0; r < 4; ++r) {
            results.at(r, MatchResults::kScore) = 9.0f;
            results.at(r, MatchResults::kOrder) = 9.0f;
        }
        RecordingObserver seen;
        seen.stopAtStep = c.stopAt;
        std::string recognised = "before";
        EXPECT_EQ(MatchParallelHMM(panes, packed(frames), results, 1000.0f, recognised, {&seen, true}),
                  MatchStatus::Stopped);
        EXPECT_EQ(recognised, "before");
        EXPECT_EQ(results.at(0, MatchResults::kScore) != 9.0f, c.row0Written);
        EXPECT_EQ(results.at(1, MatchResults::kScore) != 9.0f, c.row1Written);
        for (int r = 0; r < 4; ++r)
            EXPECT_EQ(results.at(r, MatchResults::kOrder), 9.0f);  // nothing ranked
    }
}

TEST(MatchParallelHMM, RefusesMoreThanTwoHundredPanes)
{
    ModelDir dir;
    auto a = dir.load(ramp("a"));
    std::vector<const HmmModel*> panes(kMaxPanes + 1, a.get());
    const std::vector<float> frames = {0, 0, 1, 2};
    MatchResults results;
    std::string recognised = "x";
    EXPECT_EQ(MatchParallelHMM(panes, packed(frames), results, 1000.0f, recognised), MatchStatus::Refused);
    EXPECT_EQ(results.at(0, MatchResults::kScore), 0.0f);
    panes.pop_back();
    EXPECT_EQ(MatchParallelHMM(panes, packed(frames), results, 1000.0f, recognised), MatchStatus::Done);
    EXPECT_EQ(results.GetResultByOrder(200), 199);
    EXPECT_EQ(recognised, "a");
}

}  // namespace
}  // namespace talvor::hmmview
