#include "hmmview/MatchResults.h"

#include <cassert>
#include <cmath>

#include "common/NumberText.h"

namespace talvor::hmmview {

std::size_t MatchResults::index(int row, int column)
{
    assert(row >= 0 && row < kRows && column >= 0 && column < kColumns);
    return static_cast<std::size_t>(row) * kColumns + static_cast<std::size_t>(column);
}

std::optional<std::int32_t> MatchResults::GetResultByOrder(std::int32_t order) const
{
    if (order < 0 || order > kMaxPanes)
        return std::nullopt;
    return roundHalfEven(at(order, kOrder));
}

int RankByScore(MatchResults& table, std::span<std::int32_t> order, float floor)
{
    const int n = static_cast<int>(std::min<std::size_t>(order.size(), kMaxPanes));
    for (int j = 0; j < n; ++j)
        order[static_cast<std::size_t>(j)] = -1;

    int rank = 0;
    int ranked = 0;
    float previous = 0.0f;
    for (int round = 0; round < n; ++round) {
        float best = floor;
        int pick = -1;
        for (int j = 0; j < n; ++j) {
            const float s = table.at(j, MatchResults::kScore);
            if (order[static_cast<std::size_t>(j)] < 0 && s > best) {
                best = s;
                pick = j;
            }
        }
        if (pick < 0)
            break;  // nothing above the floor is left
        if (ranked == 0 || best != previous)
            ++rank;
        order[static_cast<std::size_t>(pick)] = rank;
        previous = best;
        ++ranked;
        table.at(ranked, MatchResults::kOrder) = static_cast<float>(pick);
    }
    table.at(ranked + 1, MatchResults::kOrder) = -1.0f;
    return ranked;
}

OrderScoreLabels ShowOrderScore(float score, std::string_view orderText, std::int32_t mode)
{
    OrderScoreLabels labels;
    if (mode == 2) {
        labels.change = true;
        return labels;
    }
    if (mode != 0 && mode != 1)
        return labels;
    labels.change = true;
    const double value = leadingNumber(orderText);
    labels.order = std::string(orderText);
    if (value > 0.0)
        labels.order += ".";
    if (mode == 1 && value == -1.0)
        labels.order = "pruned";
    labels.score = numberText(score);
    return labels;
}

}  // namespace talvor::hmmview
