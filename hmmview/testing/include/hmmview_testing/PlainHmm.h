#pragma once
// Plain decoders written step by step from the recurrences, through the model
// object's accessors and nothing else: no shared tables, no layout tricks.
// The tests and the benchmarks check the core's decoders against them.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "hmmview/HmmModel.h"

namespace talvor::hmmview::plain {

// b(j, t): ln(1e-30 + sum of weight * density), mixtures in order.
inline float observation(const HmmModel& model, std::int32_t j, std::span<const float> vector, std::int32_t t)
{
    float acc = model.mySMALLFLOAT();
    for (std::int32_t m = 0; m < model.nMixtures(); ++m) {
        std::int32_t mm = m, jj = j;
        acc = model.GetModelWeight(mm, jj) * model.density_function(j, m, vector, t) + acc;
    }
    return static_cast<float>(std::log(static_cast<double>(acc)));
}

inline float trans(const HmmModel& model, std::int32_t to, std::int32_t from)
{
    return model.GetModelTrans(to, from);
}

// The sequential score of one model, every state of every frame.
inline float sequentialScore(const HmmModel& model, std::span<const float> vector, std::int32_t T)
{
    const std::int32_t S = model.nStates();
    const float minusBig = -model.myBIGFLOAT();
    std::vector<float> delta(static_cast<std::size_t>(S), minusBig), previous;
    delta[0] = observation(model, 0, vector, 0);
    for (std::int32_t t = 1; t < T; ++t) {
        previous = delta;
        for (std::int32_t j = 0; j < S; ++j) {
            delta[static_cast<std::size_t>(j)] = minusBig;
            for (std::int32_t i = std::max(j - 1, 0); i <= j; ++i) {
                const float candidate = trans(model, j, i) + previous[static_cast<std::size_t>(i)];
                if (candidate > delta[static_cast<std::size_t>(j)])
                    delta[static_cast<std::size_t>(j)] = candidate;
            }
            delta[static_cast<std::size_t>(j)] = delta[static_cast<std::size_t>(j)] + observation(model, j, vector, t);
        }
    }
    return delta[static_cast<std::size_t>(S - 1)];
}

// Connected-word decoding over all models (all decodable), as text and count.
struct StringResult {
    std::string text;
    std::int32_t count = 0;
    std::vector<std::int32_t> panes;  // spoken order
    // Every frame at which a word ended best: frame, pane, the word's entry frame.
    std::vector<std::array<std::int32_t, 3>> wordEnds;
};

inline StringResult stringDecode(const std::vector<const HmmModel*>& models, std::span<const float> vector,
                                 std::int32_t T, std::int32_t maxWords)
{
    const std::size_t n = models.size();
    const float minusBig = -1e30f;
    std::vector<std::int32_t> offset(n + 1, 1);
    for (std::size_t k = 0; k < n; ++k)
        offset[k + 1] = offset[k] + models[k]->nStates() + 1;
    const std::size_t total = static_cast<std::size_t>(offset[n]);
    std::vector<float> delta(total, minusBig);
    std::vector<std::int32_t> wordEntry(total, 0);
    std::vector<std::int32_t> wordEndPane(static_cast<std::size_t>(T), -1), wordEndEntry(static_cast<std::size_t>(T), 0);
    for (std::size_t k = 0; k < n; ++k)
        delta[static_cast<std::size_t>(offset[k])] = observation(*models[k], 0, vector, 0);
    for (std::int32_t t = 1; t < T; ++t) {
        const std::vector<float> oldDelta = delta;
        const std::vector<std::int32_t> oldEntry = wordEntry;
        for (std::size_t k = 0; k < n; ++k) {
            const HmmModel& m = *models[k];
            const std::int32_t jMax = std::min(t, m.nStates() - 1);
            for (std::int32_t j = 0; j <= jMax; ++j) {
                const std::size_t s = static_cast<std::size_t>(offset[k] + j);
                const float fromBelow = trans(m, j, j - 1) + oldDelta[s - 1];
                const float stay = trans(m, j, j) + oldDelta[s];
                float candidate = stay;
                if (fromBelow > stay) {
                    candidate = fromBelow;
                    wordEntry[s] = oldEntry[s - 1];
                }
                delta[s] = candidate + observation(m, j, vector, t);
            }
        }
        float bestEnd = minusBig;
        int bestPane = -1;
        for (std::size_t k = 0; k < n; ++k) {
            const float end = delta[static_cast<std::size_t>(offset[k] + models[k]->nStates() - 1)];
            if (end > bestEnd) {
                bestEnd = end;
                bestPane = static_cast<int>(k);
            }
        }
        if (bestPane >= 0) {
            for (std::size_t k = 0; k < n; ++k) {
                delta[static_cast<std::size_t>(offset[k] - 1)] = bestEnd;
                wordEntry[static_cast<std::size_t>(offset[k] - 1)] = t;
            }
            wordEndPane[static_cast<std::size_t>(t)] = bestPane;
            wordEndEntry[static_cast<std::size_t>(t)] = wordEntry[static_cast<std::size_t>(
                offset[static_cast<std::size_t>(bestPane)] + models[static_cast<std::size_t>(bestPane)]->nStates() - 1)];
        }
    }
    StringResult r;
    for (std::int32_t f = 1; f < T; ++f)
        if (wordEndPane[static_cast<std::size_t>(f)] >= 0)
            r.wordEnds.push_back({f, wordEndPane[static_cast<std::size_t>(f)], wordEndEntry[static_cast<std::size_t>(f)]});
    std::int32_t t = T - 1;
    while (r.count < maxWords && t >= 1 && wordEndPane[static_cast<std::size_t>(t)] >= 0) {
        r.panes.insert(r.panes.begin(), wordEndPane[static_cast<std::size_t>(t)]);
        t = wordEndEntry[static_cast<std::size_t>(t)];
        ++r.count;
    }
    for (std::size_t i = 0; i < r.panes.size(); ++i)
        r.text += (i ? "_" : "") + models[static_cast<std::size_t>(r.panes[i])]->word();
    return r;
}

}  // namespace talvor::hmmview::plain
