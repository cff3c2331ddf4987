#include "hmmview/RecogLog.h"

#include <algorithm>
#include <numeric>

#include "common/NumberText.h"

namespace talvor::hmmview {

std::vector<int> recogLogOrder(const std::vector<float>& scores)
{
    std::vector<int> order(scores.size());
    std::iota(order.begin(), order.end(), 0);
    // Exchanging neighbours only when the later score is strictly higher, pass
    // after pass, is a stable sort by descending score.
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return scores[static_cast<std::size_t>(a)] > scores[static_cast<std::size_t>(b)];
    });
    return order;
}

std::string recogLogText(const std::vector<RecogLogBlock>& blocks)
{
    std::string out = "nazdar:\r\n";
    for (const RecogLogBlock& b : blocks) {
        const std::vector<int> order = recogLogOrder(b.scores);
        std::string names, scores;
        for (int k : order) {
            if (static_cast<std::size_t>(k) < b.models.size())
                names += b.models[static_cast<std::size_t>(k)];
            scores += printNumber(b.scores[static_cast<std::size_t>(k)]);
        }
        out += b.text + ":\r\n" + names + "\r\n" + scores + "\r\n\r\n\r\n";
    }
    return out;
}

}  // namespace talvor::hmmview
