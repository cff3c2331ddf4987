#pragma once
// The match results table, the ranking of models by score, and the texts of a
// pane's order and score labels.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace talvor::hmmview {

// The most model panes a match takes.
constexpr int kMaxPanes = 200;
// Minus infinity of every HMM score.
constexpr float kScoreFloor = -1e30f;

// Three columns of 32-bit floats, zero when created and never cleared between
// matches:
//   column 0, row = pane: the pane's score in the last match (-1e30 when the
//             model was pruned, not scored, or after a string match);
//   column 1, string matches only: the pane of each word, last word first;
//   column 2, row = position: the pane ranked at that position (from 1, by
//             the isolated-word methods) or the pane of each word in spoken
//             order (from 0, by the string method); -1 ends the list.
// Positions 0..200 can be read; one row more holds the end mark after 200
// ranked panes.
class MatchResults {
public:
    static constexpr int kRows = kMaxPanes + 2;
    static constexpr int kColumns = 3;
    static constexpr int kScore = 0;
    static constexpr int kWordPane = 1;
    static constexpr int kOrder = 2;

    float at(int row, int column) const { return m_cells[index(row, column)]; }
    float& at(int row, int column) { return m_cells[index(row, column)]; }

    // Column 2 at `order`, rounded to the nearest integer; nothing for an order
    // outside 0..200.
    std::optional<std::int32_t> GetResultByOrder(std::int32_t order) const;

private:
    static std::size_t index(int row, int column);
    std::array<float, static_cast<std::size_t>(kRows) * kColumns> m_cells{};
};

// Ranks panes 0..n-1 (n = order.size(), at most kMaxPanes) by their score in
// column 0, best first.  Scores at or below `floor` (and NaN) stay unranked
// with order -1.  The first ranked pane gets rank 1; equal scores share a rank
// (dense ranking: 1, 2, 3 ...).  Column 2 then lists the ranked panes from
// position 1 on, best first and equal scores in pane order, with -1 in the
// position after the last; row 0 is not written.  Returns the number ranked.
int RankByScore(MatchResults& table, std::span<std::int32_t> order, float floor);

// The texts that a pane's order and score labels get.  Mode 0: the order text
// as it is when its numeric value is 0 or less, else followed by "."; the
// score as text.  Mode 1: as mode 0, but an order text of value -1 reads
// "pruned".  Mode 2: both empty.  Any other mode leaves the labels alone.
struct OrderScoreLabels {
    bool change = false;
    std::string order;
    std::string score;
};
OrderScoreLabels ShowOrderScore(float score, std::string_view orderText, std::int32_t mode);

}  // namespace talvor::hmmview
