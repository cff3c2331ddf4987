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
using testing::packed;
using testing::ramp;
using Cell = RecordingObserver::Cell;
using Link = RecordingObserver::Link;

// Three words far apart: a on 0 1 2, b on 10 11 12, c on 20 21 22.
struct Words : ::testing::Test {
    ModelDir dir;
    std::unique_ptr<HmmModel> a = dir.load(ramp("a", 0, 1, 2));
    std::unique_ptr<HmmModel> b = dir.load(ramp("b", 10, 11, 12));
    std::unique_ptr<HmmModel> c = dir.load(ramp("c", 20, 21, 22));
    std::vector<const HmmModel*> panes = {a.get(), b.get(), c.get()};

    static std::vector<float> say(const std::string& words)
    {
        std::vector<float> frames;
        for (char w : words) {
            const float base = static_cast<float>((w - 'a') * 10);
            for (float s : {0.0f, 1.0f, 2.0f})
                frames.push_back(base + s);
        }
        return frames;
    }
};

TEST_F(Words, ThreeWordsWithTheirColumns)
{
    const std::vector<float> frames = say("aba");
    MatchResults results;
    for (int r = 0; r < 6; ++r)
        results.at(r, MatchResults::kScore) = 3.0f;
    RecordingObserver seen;
    std::string text = "old";
    std::int32_t count = 0;
    EXPECT_EQ(MatchStringHMM(panes, packed(frames), results, text, 10, count, {&seen}), MatchStatus::Done);
    EXPECT_EQ(text, "a_b_a");
    EXPECT_EQ(count, 3);
    // Column 1 last word first, column 2 in spoken order with the end mark.
    EXPECT_EQ(results.at(0, MatchResults::kWordPane), 0.0f);
    EXPECT_EQ(results.at(1, MatchResults::kWordPane), 1.0f);
    EXPECT_EQ(results.at(2, MatchResults::kWordPane), 0.0f);
    EXPECT_EQ(results.GetResultByOrder(0), 0);
    EXPECT_EQ(results.GetResultByOrder(1), 1);
    EXPECT_EQ(results.GetResultByOrder(2), 0);
    EXPECT_EQ(results.GetResultByOrder(3), -1);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(results.at(k, MatchResults::kScore), kScoreFloor);
        ASSERT_NE(seen.lastLabels(k), nullptr);
        EXPECT_EQ(seen.lastLabels(k)->order, "");
        EXPECT_EQ(seen.lastLabels(k)->score, "");
    }
    EXPECT_EQ(results.at(3, MatchResults::kScore), 3.0f);

    // Every pane has the entry row under its model's states.
    EXPECT_EQ(seen.layouts[1], (std::array<int, 4>{1, 9, 4, 1}));
    // Frame t decodes model states 0 .. min(t, S-1): 2 links on frame 1, then 3 on frames 2..8.
    EXPECT_EQ(std::count_if(seen.links.begin(), seen.links.end(), [](const Link& k) { return k.pane == 1; }),
              2 + 7 * 3);
    // The b word: frames 5 back to its entry frame 2, ending in the entry row.
    EXPECT_EQ(seen.pathOf(1), (std::vector<Cell>{{1, 5, 3}, {1, 4, 2}, {1, 3, 1}, {1, 2, 0}}));
    // The last a word, then the first one (drawn on the same pane) down to frame 0.
    EXPECT_EQ(seen.pathOf(0), (std::vector<Cell>{{0, 8, 3}, {0, 7, 2}, {0, 6, 1}, {0, 5, 0},
                                                 {0, 2, 3}, {0, 1, 2}, {0, 0, 1}}));
    // The word ends the trace went through.
    for (const std::array<int, 3> end : {std::array<int, 3>{2, 0, 0}, {5, 1, 2}, {8, 0, 5}})
        EXPECT_NE(std::find(seen.wordEnds.begin(), seen.wordEnds.end(), end), seen.wordEnds.end());
}

TEST_F(Words, OneWordHasNoJoin)
{
    const std::vector<float> frames = say("c");
    MatchResults results;
    std::string text;
    std::int32_t count = 0;
    MatchStringHMM(panes, packed(frames), results, text, 10, count);
    EXPECT_EQ(text, "c");
    EXPECT_EQ(count, 1);
    EXPECT_EQ(results.GetResultByOrder(0), 2);
    EXPECT_EQ(results.GetResultByOrder(1), -1);
}

TEST_F(Words, MoreThanTenWordsKeepTheLastTen)
{
    const std::vector<float> frames = say("abcabcabcabc");
    MatchResults results;
    std::string text;
    std::int32_t count = 0;
    MatchStringHMM(panes, packed(frames), results, text, 10, count);
    EXPECT_EQ(text, "c_a_b_c_a_b_c_a_b_c");
    EXPECT_EQ(count, 10);
    const int spoken[] = {2, 0, 1, 2, 0, 1, 2, 0, 1, 2};
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(results.GetResultByOrder(i), spoken[i]) << i;
    EXPECT_EQ(results.GetResultByOrder(10), -1);
}

TEST_F(Words, AWordLimitBeyondTheTableKeepsWhatFits)
{
    std::string spoken;
    for (int i = 0; i < 70; ++i)
        spoken += "abc";
    const std::vector<float> frames = say(spoken);  // 210 words
    MatchResults results;
    std::string text;
    std::int32_t count = 0;
    MatchStringHMM(panes, packed(frames), results, text, 1000, count);
    EXPECT_EQ(count, MatchResults::kRows - 1);  // positions 0..200, the end mark after them
    EXPECT_EQ(results.GetResultByOrder(0), 0);  // word 10 of 210 is an "a"
    EXPECT_EQ(results.GetResultByOrder(200), 2);
    EXPECT_EQ(results.at(201, MatchResults::kOrder), -1.0f);
    EXPECT_EQ(text.size(), static_cast<std::size_t>(2 * count - 1));
    EXPECT_EQ(text.substr(0, 6), "a_b_c_");
}

TEST_F(Words, NoWordEndGivesNothing)
{
    for (const std::vector<float>& frames : {std::vector<float>{0}, std::vector<float>{0, 1}}) {
        SCOPED_TRACE(frames.size());
        MatchResults results;
        results.at(0, MatchResults::kOrder) = 5.0f;
        std::string text = "old";
        std::int32_t count = 7;
        EXPECT_EQ(MatchStringHMM(panes, packed(frames), results, text, 10, count), MatchStatus::Done);
        EXPECT_EQ(text, "");
        EXPECT_EQ(count, 0);
        EXPECT_EQ(results.GetResultByOrder(0), -1);  // never pane 0's word
    }
}

TEST_F(Words, UndecodableModelsTakeNoPart)
{
    auto wide = dir.load(ModSpec::leftRight("wide", 3, 1, 2));
    std::vector<const HmmModel*> withBad = {wide.get(), a.get(), nullptr, b.get()};
    const std::vector<float> frames = say("ba");
    MatchResults results;
    std::string text;
    std::int32_t count = 0;
    MatchStringHMM(withBad, packed(frames), results, text, 10, count);
    EXPECT_EQ(text, "b_a");
    EXPECT_EQ(results.GetResultByOrder(0), 3);
    EXPECT_EQ(results.GetResultByOrder(1), 1);
    EXPECT_EQ(results.GetResultByOrder(2), -1);
    EXPECT_EQ(results.at(0, MatchResults::kScore), kScoreFloor);
}

TEST_F(Words, TieGoesToTheSelfLoop)
{
    auto flat = dir.load(ramp("flat", 0, 0, 0));
    std::vector<const HmmModel*> one = {flat.get()};
    const std::vector<float> frames = {0, 0, 0, 0};
    MatchResults results;
    RecordingObserver seen;
    std::string text;
    std::int32_t count = 0;
    MatchStringHMM(one, packed(frames), results, text, 10, count, {&seen});
    // Frame 2, model state 1 (row 2): from below l + l, self loop l + l.
    const auto it = std::find_if(seen.links.begin(), seen.links.end(),
                                 [](const Link& k) { return k.frame == 2 && k.row == 2; });
    ASSERT_NE(it, seen.links.end());
    EXPECT_EQ(it->fromRow, 2);
    // At frame 1 model states 0 and 1 tie: the lower one (row 1) is the best.
    ASSERT_FALSE(seen.localBests.empty());
    EXPECT_EQ(seen.localBests[0], (Cell{0, 1, 1}));
}

TEST_F(Words, EqualWordEndsGoToTheEarlierPane)
{
    auto twin = dir.load(ramp("twin", 0, 1, 2));  // the same model as a
    std::vector<const HmmModel*> withTwin = {b.get(), twin.get(), a.get()};
    const std::vector<float> frames = say("ab");
    MatchResults results;
    RecordingObserver seen;
    std::string text;
    std::int32_t count = 0;
    MatchStringHMM(withTwin, packed(frames), results, text, 10, count, {&seen});
    EXPECT_EQ(text, "twin_b");
    EXPECT_EQ(results.GetResultByOrder(0), 1);
    EXPECT_EQ(results.GetResultByOrder(1), 0);
    EXPECT_EQ(results.GetResultByOrder(2), -1);
    // twin and a score alike in every frame: twin, the earlier pane, is the best.
    for (const Cell& c : seen.frameBests)
        EXPECT_NE(c.pane, 2) << "frame " << c.frame;
}

TEST_F(Words, StopEndsTheRunAndKeepsTheTextSoFar)
{
    const std::vector<float> frames = say("ab");
    // 3 layouts, 5 frames x (3 panes + 1), then one step per path cell.
    MatchResults results;
    RecordingObserver seen;
    seen.stopAtStep = 3 + 20 + 1;
    std::string text;
    std::int32_t count = 0;
    EXPECT_EQ(MatchStringHMM(panes, packed(frames), results, text, 10, count, {&seen, true}),
              MatchStatus::Stopped);
    EXPECT_EQ(text, "b");
    EXPECT_EQ(count, 2);
}

TEST(MatchStringHMM, EqualsThePlainDecoder)
{
    ModelDir dir;
    std::vector<std::unique_ptr<HmmModel>> models;
    std::vector<const HmmModel*> panes;
    for (unsigned i = 0; i < 4; ++i) {
        models.push_back(dir.load(testing::randomModel(std::string(1, static_cast<char>('p' + i)), 3 + static_cast<int>(i), 2, 5, 300 + i)));
        panes.push_back(models.back().get());
    }
    for (int T : {3, 30, 200}) {
        SCOPED_TRACE(T);
        const std::vector<float> frames = testing::randomFrames(T, 5, 77u + static_cast<unsigned>(T));
        MatchResults results;
        RecordingObserver seen;
        std::string text;
        std::int32_t count = 0;
        MatchStringHMM(panes, PackedWord{frames, T, 5}, results, text, 10, count, {&seen});
        const plain::StringResult want = plain::stringDecode(panes, frames, T, 10);
        EXPECT_EQ(text, want.text);
        EXPECT_EQ(count, want.count);
        // Every word end with the frame its word was entered at, not only those traced.
        std::vector<std::array<std::int32_t, 3>> ends;
        for (const std::array<int, 3>& e : seen.wordEnds)
            ends.push_back({e[0], e[1], e[2]});
        EXPECT_EQ(ends, want.wordEnds);
        for (int i = 0; i < count; ++i)
            EXPECT_EQ(results.GetResultByOrder(i), want.panes[static_cast<std::size_t>(i)]);
    }
}

}  // namespace
}  // namespace talvor::hmmview
