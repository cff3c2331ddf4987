#include <algorithm>
#include <cmath>
#include <vector>

#include "DecoderCommon.h"
#include "common/NumberText.h"
#include "hmmview/Decoders.h"

namespace talvor::hmmview {

MatchStatus MatchParallelHMM(std::span<const HmmModel* const> paneModels, const PackedWord& word,
                             MatchResults& results, float pruneTr, std::string& recognised,
                             const MatchOptions& options)
{
    const int n = static_cast<int>(paneModels.size());
    if (n > kMaxPanes)
        return MatchStatus::Refused;
    if (std::isnan(pruneTr) || pruneTr < 0.0f)
        pruneTr = kDefaultPruneThreshold;
    const float minusBig = kScoreFloor;
    TrellisObserver* observer = options.observer;
    const std::int32_t T = word.complete() ? word.frames : 0;

    // The network: pane k's states are offset[k] .. offset[k] + S(k) - 1.
    // A pane whose model cannot be decoded takes no states and counts as pruned.
    std::vector<std::int32_t> offset(static_cast<std::size_t>(n) + 1, 0);
    std::vector<std::int32_t> states(static_cast<std::size_t>(n), 0);
    std::vector<std::uint8_t> pruned(static_cast<std::size_t>(n), 1);
    std::vector<ObservationScores::ModelScores*> obs(static_cast<std::size_t>(n), nullptr);
    detail::ScoresSource source(word, options.scores);
    for (int k = 0; k < n; ++k) {
        const HmmModel* model = paneModels[static_cast<std::size_t>(k)];
        const bool ok = detail::decodable(model, word);
        states[static_cast<std::size_t>(k)] = ok ? model->nStates() : 0;
        pruned[static_cast<std::size_t>(k)] = ok ? 0 : 1;
        if (ok)
            obs[static_cast<std::size_t>(k)] = &source.forModel(*model);
        offset[static_cast<std::size_t>(k) + 1] = offset[static_cast<std::size_t>(k)] + states[static_cast<std::size_t>(k)];
    }
    const std::size_t total = static_cast<std::size_t>(offset[static_cast<std::size_t>(n)]);
    std::vector<float> delta(total, minusBig);
    std::vector<std::int32_t> backPointer(total * static_cast<std::size_t>(std::max(T, 1)), 0);  // [t * total + s]
    std::vector<float> modelBest(static_cast<std::size_t>(n), minusBig);

    for (int k = 0; k < n; ++k) {
        if (!pruned[static_cast<std::size_t>(k)])
            delta[static_cast<std::size_t>(offset[static_cast<std::size_t>(k)])] =
                obs[static_cast<std::size_t>(k)]->frame(0)[0];
    }
    if (observer) {
        for (int k = 0; k < n; ++k) {
            const HmmModel* model = paneModels[static_cast<std::size_t>(k)];
            observer->layoutPane(k, T, model ? model->nStates() : 0, false);
            if (detail::animationStep(options))
                return MatchStatus::Stopped;
        }
    }

    for (std::int32_t t = 1; t < T; ++t) {
        float globalBest = minusBig;
        int globalPane = -1;
        std::int32_t globalState = 0;
        std::int32_t* bpFrame = backPointer.data() + static_cast<std::size_t>(t) * total;
        for (int k = 0; k < n; ++k) {
            if (pruned[static_cast<std::size_t>(k)])
                continue;
            const HmmModel& model = *paneModels[static_cast<std::size_t>(k)];
            const std::int32_t S = states[static_cast<std::size_t>(k)];
            const std::vector<float>& logTrans = model.modelLogTrans();
            const float* b = obs[static_cast<std::size_t>(k)]->frame(t);
            float* d = delta.data() + offset[static_cast<std::size_t>(k)];
            std::int32_t* bp = bpFrame + offset[static_cast<std::size_t>(k)];
            float best = minusBig;
            std::int32_t bestState = 0;
            const std::int32_t jMax = std::min(t, S - 1);
            float oldBelow = minusBig;  // delta of state j-1 at frame t-1
            for (std::int32_t j = 0; j <= jMax; ++j) {
                const float old = d[j];
                const float stay = logTrans[static_cast<std::size_t>(j) * (S + 1)] + old;
                float candidate;
                if (j == 0) {
                    // Nothing lies below state 0: its only predecessor is itself.
                    candidate = stay;
                    bp[0] = 0;
                } else {
                    const float fromBelow =
                        logTrans[static_cast<std::size_t>(j) + static_cast<std::size_t>(S) * (j - 1)] + oldBelow;
                    if (stay > fromBelow) {
                        candidate = stay;
                        bp[j] = j;
                    } else {
                        candidate = fromBelow;
                        bp[j] = j - 1;
                    }
                }
                if (observer)
                    observer->statePath(k, t, j, bp[j]);
                d[j] = candidate + b[j];
                oldBelow = old;
                if (d[j] > best) {
                    best = d[j];
                    bestState = j;
                }
            }
            modelBest[static_cast<std::size_t>(k)] = best;
            if (globalBest < best) {
                globalBest = best;
                globalPane = k;
                globalState = bestState;
            }
            if (observer) {
                observer->localBest(k, t, bestState);
                if (detail::animationStep(options))
                    return MatchStatus::Stopped;
            }
        }
        if (observer && globalPane >= 0) {
            observer->frameBest(globalPane, t, globalState);
            if (detail::animationStep(options))
                return MatchStatus::Stopped;
        }
        const float threshold = globalBest - pruneTr;
        for (int k = 0; k < n; ++k)
            if (modelBest[static_cast<std::size_t>(k)] < threshold)
                pruned[static_cast<std::size_t>(k)] = 1;
    }

    for (int k = 0; k < n; ++k) {
        const std::int32_t S = states[static_cast<std::size_t>(k)];
        const bool out = pruned[static_cast<std::size_t>(k)] != 0;
        const float score = out ? minusBig : delta[static_cast<std::size_t>(offset[static_cast<std::size_t>(k)] + S - 1)];
        results.at(k, MatchResults::kScore) = score;
        if (!observer)
            continue;
        if (out) {
            const OrderScoreLabels labels = ShowOrderScore(score, "pruned", 1);
            observer->orderScore(k, labels.order, labels.score);
            continue;
        }
        std::int32_t j = S - 1;
        for (std::int32_t t = T - 1; t >= 0; --t) {
            observer->bestPath(k, t, j);
            if (t > 0)
                j = backPointer[static_cast<std::size_t>(t) * total +
                                static_cast<std::size_t>(offset[static_cast<std::size_t>(k)] + j)];
            if (detail::animationStep(options))
                return MatchStatus::Stopped;
        }
        const OrderScoreLabels labels = ShowOrderScore(score, "SCORE:", 1);
        observer->orderScore(k, labels.order, labels.score);
    }

    std::vector<std::int32_t> order(static_cast<std::size_t>(n), -1);
    RankByScore(results, order, kScoreFloor);
    for (int k = 0; k < n; ++k) {
        const std::int32_t rank = order[static_cast<std::size_t>(k)];
        if (observer) {
            const OrderScoreLabels labels =
                ShowOrderScore(results.at(k, MatchResults::kScore), numberText(rank), 1);
            observer->orderScore(k, labels.order, labels.score);
        }
        if (rank == 1)
            recognised = paneModels[static_cast<std::size_t>(k)]->word();
    }
    return T >= 1 ? MatchStatus::Done : MatchStatus::NotScored;
}

}  // namespace talvor::hmmview
