#include <utility>
#include <vector>

#include "DecoderCommon.h"
#include "hmmview/Decoders.h"

namespace talvor::hmmview {

MatchStatus MatchSequentialHMM(const HmmModel& model, const PackedWord& word, float& score, int pane,
                               bool draw, const MatchOptions& options)
{
    if (!detail::decodable(&model, word)) {
        score = kScoreFloor;
        return MatchStatus::NotScored;
    }
    const std::int32_t S = model.nStates();
    const std::int32_t T = word.frames;
    const float minusBig = -model.myBIGFLOAT();
    const std::vector<float>& logTrans = model.modelLogTrans();
    auto trans = [&](std::int32_t to, std::int32_t from) {
        return logTrans[static_cast<std::size_t>(to) + static_cast<std::size_t>(S) * from];
    };
    detail::ScoresSource source(word, options.scores);
    ObservationScores::ModelScores& b = source.forModel(model);

    TrellisObserver* observer = options.observer;
    // The back pointers and each frame's best state serve only the drawing.
    const bool record = draw && observer;

    std::vector<float> delta(static_cast<std::size_t>(S), minusBig);
    std::vector<float> previous(static_cast<std::size_t>(S), minusBig);
    std::vector<std::int32_t> backPointer(record ? static_cast<std::size_t>(S) * T : 0, 0);  // [t * S + j]
    std::vector<std::int32_t> bestState(record ? static_cast<std::size_t>(T) : 0, 0);

    // trans(j, j) and trans(j, j - 1) side by side for the loop without drawing.
    std::vector<float> stayLog(static_cast<std::size_t>(S)), upLog(static_cast<std::size_t>(S), 0.0f);
    for (std::int32_t j = 0; j < S; ++j) {
        stayLog[static_cast<std::size_t>(j)] = trans(j, j);
        if (j > 0)
            upLog[static_cast<std::size_t>(j)] = trans(j, j - 1);
    }

    delta[0] = b.frame(0)[0];
    for (std::int32_t t = 1; t < T; ++t) {
        // Every state's delta is written below: the rows only change places.
        std::swap(previous, delta);
        const float* obs = b.frame(t);
        if (!record) {
            // The same candidates in the same order as below: from the state
            // below first, then the self loop; a candidate replaces d only
            // when greater.
            const float* prev = previous.data();
            float* out = delta.data();
            {
                const float stay = stayLog[0] + prev[0];
                out[0] = (stay > minusBig ? stay : minusBig) + obs[0];
            }
            for (std::size_t j = 1; j < static_cast<std::size_t>(S); ++j) {
                const float fromBelow = upLog[j] + prev[j - 1];
                float d = fromBelow > minusBig ? fromBelow : minusBig;
                const float stay = stayLog[j] + prev[j];
                d = stay > d ? stay : d;
                out[j] = d + obs[j];
            }
            continue;
        }
        std::int32_t best = 0;
        std::int32_t* bp = backPointer.data() + static_cast<std::size_t>(t) * S;
        for (std::int32_t j = 0; j < S; ++j) {
            float d = minusBig;
            std::int32_t from = j;
            for (std::int32_t i = j > 0 ? j - 1 : 0; i <= j; ++i) {
                const float candidate = trans(j, i) + previous[static_cast<std::size_t>(i)];
                if (candidate > d) {
                    d = candidate;
                    from = i;
                }
            }
            d = d + obs[j];
            delta[static_cast<std::size_t>(j)] = d;
            bp[j] = from;
            if (delta[static_cast<std::size_t>(best)] < d)
                best = j;
        }
        bestState[static_cast<std::size_t>(t)] = best;
    }
    score = delta[static_cast<std::size_t>(S - 1)];

    if (!record)
        return MatchStatus::Done;
    observer->layoutPane(pane, T, S, false);
    for (std::int32_t t = 1; t < T; ++t) {
        const std::int32_t* bp = backPointer.data() + static_cast<std::size_t>(t) * S;
        for (std::int32_t j = 0; j < S && j <= t; ++j)
            observer->statePath(pane, t, j, bp[j]);
        observer->frameBest(pane, t, bestState[static_cast<std::size_t>(t)]);
        if (detail::animationStep(options))
            return MatchStatus::Stopped;
    }
    std::int32_t j = S - 1;
    for (std::int32_t t = T - 1; t >= 0; --t) {
        observer->bestPath(pane, t, j);
        if (t > 0)
            j = backPointer[static_cast<std::size_t>(t) * S + static_cast<std::size_t>(j)];
        if (detail::animationStep(options))
            return MatchStatus::Stopped;
    }
    return MatchStatus::Done;
}

}  // namespace talvor::hmmview
