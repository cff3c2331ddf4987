#include <algorithm>
#include <vector>

#include "DecoderCommon.h"
#include "hmmview/Decoders.h"

namespace talvor::hmmview {

MatchStatus MatchStringHMM(std::span<const HmmModel* const> paneModels, const PackedWord& word,
                           MatchResults& results, std::string& text, std::int32_t maxWords,
                           std::int32_t& count, const MatchOptions& options)
{
    const int n = static_cast<int>(paneModels.size());
    if (n > kMaxPanes)
        return MatchStatus::Refused;
    // Column 1 and column 2 (with its end mark) must fit the table.
    maxWords = std::clamp<std::int32_t>(maxWords, 0, MatchResults::kRows - 1);
    const float minusBig = kScoreFloor;
    TrellisObserver* observer = options.observer;
    const std::int32_t T = word.complete() ? word.frames : 0;

    // The network: state 0, then for every pane its model's states followed by
    // one more state; state offset[k] - 1 is the entry state of pane k, which
    // holds the best score of any word that has just ended.  A pane whose model
    // cannot be decoded takes no model states: no word can begin or end in it.
    std::vector<std::int32_t> offset(static_cast<std::size_t>(n) + 1, 1);
    std::vector<std::int32_t> states(static_cast<std::size_t>(n), 0);
    std::vector<ObservationScores::ModelScores*> obs(static_cast<std::size_t>(n), nullptr);
    detail::ScoresSource source(word, options.scores);
    for (int k = 0; k < n; ++k) {
        const HmmModel* model = paneModels[static_cast<std::size_t>(k)];
        const bool ok = detail::decodable(model, word);
        states[static_cast<std::size_t>(k)] = ok ? model->nStates() : 0;
        if (ok)
            obs[static_cast<std::size_t>(k)] = &source.forModel(*model);
        offset[static_cast<std::size_t>(k) + 1] =
            offset[static_cast<std::size_t>(k)] + states[static_cast<std::size_t>(k)] + 1;
    }
    const std::size_t total = static_cast<std::size_t>(offset[static_cast<std::size_t>(n)]);
    const std::size_t frames = static_cast<std::size_t>(std::max(T, 1));
    std::vector<float> delta(total, minusBig);
    std::vector<std::int32_t> wordEntry(total, 0);
    std::vector<std::int32_t> backPointer(total * frames, 0);   // [t * total + s]
    std::vector<std::int32_t> wordEndPane(frames, -1);          // -1: no word ended there
    std::vector<std::int32_t> wordEndEntry(frames, 0);

    for (int k = 0; k < n; ++k)
        if (states[static_cast<std::size_t>(k)] > 0)
            delta[static_cast<std::size_t>(offset[static_cast<std::size_t>(k)])] =
                obs[static_cast<std::size_t>(k)]->frame(0)[0];
    if (observer) {
        for (int k = 0; k < n; ++k) {
            const HmmModel* model = paneModels[static_cast<std::size_t>(k)];
            observer->layoutPane(k, T, (model ? model->nStates() : 0) + 1, true);
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
            const std::int32_t S = states[static_cast<std::size_t>(k)];
            if (S == 0)
                continue;
            const std::vector<float>& logTrans = paneModels[static_cast<std::size_t>(k)]->modelLogTrans();
            const float* b = obs[static_cast<std::size_t>(k)]->frame(t);
            const std::size_t first = static_cast<std::size_t>(offset[static_cast<std::size_t>(k)]);
            float* d = delta.data() + first;
            std::int32_t* entry = wordEntry.data() + first;
            std::int32_t* bp = bpFrame + first;
            float best = minusBig;
            std::int32_t bestState = 0;
            const std::int32_t jMax = std::min(t, S - 1);
            // The lower neighbour of state 0 is the entry state, through a
            // transition of log value 0.
            float oldBelow = d[-1];
            std::int32_t entryBelow = entry[-1];
            for (std::int32_t j = 0; j <= jMax; ++j) {
                const float old = d[j];
                const std::int32_t oldEntry = entry[j];
                const float belowTrans =
                    j == 0 ? 0.0f
                           : logTrans[static_cast<std::size_t>(j) + static_cast<std::size_t>(S) * (j - 1)];
                const float fromBelow = belowTrans + oldBelow;
                const float stay = logTrans[static_cast<std::size_t>(j) * (S + 1)] + old;
                float candidate;
                if (fromBelow > stay) {
                    candidate = fromBelow;
                    bp[j] = j - 1;
                    entry[j] = entryBelow;
                    if (observer)
                        observer->statePath(k, t, j + 1, j);
                } else {
                    candidate = stay;
                    bp[j] = j;
                    if (observer)
                        observer->statePath(k, t, j + 1, j + 1);
                }
                d[j] = candidate + b[j];
                oldBelow = old;
                entryBelow = oldEntry;
                if (d[j] > best) {
                    best = d[j];
                    bestState = j;
                }
            }
            if (globalBest < best) {
                globalBest = best;
                globalPane = k;
                globalState = bestState;
            }
            if (observer) {
                observer->localBest(k, t, bestState + 1);
                if (detail::animationStep(options))
                    return MatchStatus::Stopped;
            }
        }
        if (observer && globalPane >= 0) {
            observer->frameBest(globalPane, t, globalState + 1);
            if (detail::animationStep(options))
                return MatchStatus::Stopped;
        }

        // Word ends: the best last state of all models feeds every entry state.
        float bestEnd = minusBig;
        int bestPane = -1;
        for (int k = 0; k < n; ++k) {
            const std::int32_t S = states[static_cast<std::size_t>(k)];
            if (S == 0)
                continue;
            const float end = delta[static_cast<std::size_t>(offset[static_cast<std::size_t>(k)] + S - 1)];
            if (end > bestEnd) {
                bestEnd = end;
                bestPane = k;
            }
        }
        if (bestPane >= 0) {
            for (int k = 0; k < n; ++k) {
                const std::size_t e = static_cast<std::size_t>(offset[static_cast<std::size_t>(k)] - 1);
                delta[e] = bestEnd;
                wordEntry[e] = t;
            }
            const std::int32_t last = offset[static_cast<std::size_t>(bestPane)] +
                                      states[static_cast<std::size_t>(bestPane)] - 1;
            wordEndPane[static_cast<std::size_t>(t)] = bestPane;
            wordEndEntry[static_cast<std::size_t>(t)] = wordEntry[static_cast<std::size_t>(last)];
            if (observer)
                observer->wordEnd(t, bestPane, wordEndEntry[static_cast<std::size_t>(t)]);
        }
    }

    // Trace the words back from the last frame, last word first.
    std::int32_t i = 0;
    std::int32_t t = T - 1;
    while (i <= maxWords - 1 && t >= 1 && wordEndPane[static_cast<std::size_t>(t)] >= 0) {
        results.at(i, MatchResults::kWordPane) = static_cast<float>(wordEndPane[static_cast<std::size_t>(t)]);
        t = wordEndEntry[static_cast<std::size_t>(t)];
        ++i;
    }
    count = i;
    for (i = 0; i < count; ++i)
        results.at(i, MatchResults::kOrder) = results.at(count - 1 - i, MatchResults::kWordPane);
    results.at(count, MatchResults::kOrder) = -1.0f;
    for (int k = 0; k < n; ++k) {
        results.at(k, MatchResults::kScore) = minusBig;
        if (observer)
            observer->orderScore(k, std::string(), std::string());
    }
    text.clear();
    if (count == 0)
        return T >= 1 ? MatchStatus::Done : MatchStatus::NotScored;

    t = T - 1;
    for (i = 0; i < count; ++i) {
        const int k = wordEndPane[static_cast<std::size_t>(t)];
        const std::string& name = paneModels[static_cast<std::size_t>(k)]->word();
        text = i == 0 ? name : name + "_" + text;
        const std::int32_t entryFrame = wordEndEntry[static_cast<std::size_t>(t)];
        const std::size_t first = static_cast<std::size_t>(offset[static_cast<std::size_t>(k)]);
        std::int32_t j = states[static_cast<std::size_t>(k)] - 1;
        for (std::int32_t f = t; f >= entryFrame; --f) {
            if (observer)
                observer->bestPath(k, f, j + 1);
            if (j >= 0 && f > 0)
                j = backPointer[static_cast<std::size_t>(f) * total + first + static_cast<std::size_t>(j)];
            if (detail::animationStep(options))
                return MatchStatus::Stopped;
        }
        t = entryFrame;
    }
    return MatchStatus::Done;
}

}  // namespace talvor::hmmview
