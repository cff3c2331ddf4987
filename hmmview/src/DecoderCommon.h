#pragma once
// Helpers the three decoders share.

#include <memory>
#include <optional>

#include "hmmview/HmmModel.h"
#include "hmmview/ObservationScores.h"
#include "hmmview/Trellis.h"

namespace talvor::hmmview::detail {

// A model the decoders may decode for this word.
inline bool decodable(const HmmModel* model, const PackedWord& word)
{
    return model && model->modelLoaded() && model->nStates() >= 3 && model->nParams() == word.features &&
           word.complete();
}

// The shared observation scores, or scores of the decoder's own.
class ScoresSource {
public:
    ScoresSource(const PackedWord& word, ObservationScores* shared)
    {
        if (shared && shared->word().values.data() == word.values.data() &&
            shared->word().frames == word.frames && shared->word().features == word.features) {
            m_scores = shared;
        } else {
            m_own = std::make_unique<ObservationScores>(word);
            m_scores = m_own.get();
        }
    }
    ObservationScores::ModelScores& forModel(const HmmModel& model) { return m_scores->forModel(model); }

private:
    std::unique_ptr<ObservationScores> m_own;
    ObservationScores* m_scores = nullptr;
};

// Calls the observer's step when animating; true when the run must stop.
inline bool animationStep(const MatchOptions& options)
{
    return options.animate && options.observer && options.observer->step();
}

}  // namespace talvor::hmmview::detail
