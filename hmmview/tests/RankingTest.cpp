#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "hmmview/MatchResults.h"

namespace talvor::hmmview {
namespace {

TEST(RankByScore, RanksOverATableOfScores)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        const char* what;
        std::vector<float> scores;
        std::vector<int> orders;
        std::vector<float> positions;  // column 2 from row 1 on, the end mark included
    } cases[] = {
        {"ties share a rank and keep pane order", {-5, -3, -3, -7}, {2, 1, 1, 3}, {1, 2, 0, 3, -1}},
        {"all different: nobody lost to the end mark", {-1, -2, -3}, {1, 2, 3}, {0, 1, 2, -1}},
        {"a first score of exactly 0 gets rank 1", {0, -1, 0}, {1, 2, 1}, {0, 2, 1, -1}},
        {"all at the floor stay unranked", {-1e30f, -1e30f}, {-1, -1}, {-1}},
        {"floor and NaN unranked among ranked", {-1e30f, -4, nan, -2}, {-1, 2, -1, 1}, {3, 1, -1}},
        {"below the floor is unranked", {-2e30f, 5}, {-1, 1}, {1, -1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MatchResults table;
        for (int r = 0; r < MatchResults::kRows; ++r)
            table.at(r, MatchResults::kOrder) = 42.0f;
        for (std::size_t j = 0; j < c.scores.size(); ++j)
            table.at(static_cast<int>(j), MatchResults::kScore) = c.scores[j];
        std::vector<std::int32_t> order(c.scores.size(), 99);
        const int ranked = RankByScore(table, order, kScoreFloor);
        EXPECT_EQ(std::vector<int>(order.begin(), order.end()), c.orders);
        EXPECT_EQ(ranked, static_cast<int>(c.positions.size()) - 1);
        EXPECT_EQ(table.at(0, MatchResults::kOrder), 42.0f);  // row 0 is not written
        for (std::size_t p = 0; p < c.positions.size(); ++p)
            EXPECT_EQ(table.at(static_cast<int>(p) + 1, MatchResults::kOrder), c.positions[p]) << "position " << p + 1;
        EXPECT_EQ(table.at(static_cast<int>(c.positions.size()) + 1, MatchResults::kOrder), 42.0f);
    }
}

TEST(RankByScore, TwoHundredPanesKeepTheirEndMark)
{
    MatchResults table;
    std::vector<std::int32_t> order(kMaxPanes);
    for (int j = 0; j < kMaxPanes; ++j)
        table.at(j, MatchResults::kScore) = -static_cast<float>(j);
    EXPECT_EQ(RankByScore(table, order, kScoreFloor), kMaxPanes);
    EXPECT_EQ(order[0], 1);
    EXPECT_EQ(order[199], 200);
    EXPECT_EQ(table.GetResultByOrder(1), 0);
    EXPECT_EQ(table.GetResultByOrder(200), 199);
    EXPECT_EQ(table.at(201, MatchResults::kOrder), -1.0f);
}

TEST(MatchResults, GetResultByOrderReadsPositionsZeroToTwoHundred)
{
    MatchResults table;
    EXPECT_EQ(table.GetResultByOrder(0), 0);  // zero-filled when created
    table.at(3, MatchResults::kOrder) = 2.5f;
    table.at(4, MatchResults::kOrder) = 3.5f;
    table.at(5, MatchResults::kOrder) = -1.0f;
    EXPECT_EQ(table.GetResultByOrder(3), 2);  // halves to the even neighbour
    EXPECT_EQ(table.GetResultByOrder(4), 4);
    EXPECT_EQ(table.GetResultByOrder(5), -1);
    EXPECT_EQ(table.GetResultByOrder(200), 0);
    EXPECT_EQ(table.GetResultByOrder(201), std::nullopt);
    EXPECT_EQ(table.GetResultByOrder(-1), std::nullopt);
}

TEST(ShowOrderScore, LabelTextsByMode)
{
    struct Case {
        float score;
        const char* orderText;
        int mode;
        bool change;
        const char* order;
        const char* scoreText;
    } cases[] = {
        {-2.5f, "1", 0, true, "1.", "-2.5"},
        {-2.5f, "SCORE:", 0, true, "SCORE:", "-2.5"},
        {-1e30f, "-1", 0, true, "-1", "-1E+30"},
        {0.0f, "0", 0, true, "0", "0"},
        {-1e30f, "-1", 1, true, "pruned", "-1E+30"},
        {-1e30f, "pruned", 1, true, "pruned", "-1E+30"},
        {-7.125f, "2", 1, true, "2.", "-7.125"},
        {-7.125f, "-2", 1, true, "-2", "-7.125"},
        {-7.125f, "12", 1, true, "12.", "-7.125"},
        {-7.125f, "3", 2, true, "", ""},
        {-7.125f, "3", 5, false, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.orderText) + " mode " + std::to_string(c.mode));
        const OrderScoreLabels labels = ShowOrderScore(c.score, c.orderText, c.mode);
        EXPECT_EQ(labels.change, c.change);
        EXPECT_EQ(labels.order, c.order);
        EXPECT_EQ(labels.score, c.scoreText);
    }
}

}  // namespace
}  // namespace talvor::hmmview
