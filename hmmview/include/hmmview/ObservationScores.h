#pragma once
// The observation scores of one tested word against the models,
//   b(j, t) = ln(1e-30 + sum over m of weight(m, j) * density(j, m, t)),
// each computed once and kept, so that panes showing the same model and every
// decoder run on the word share them.  A frame's scores are computed for all
// states of a model together, the first time any of them is asked for (with
// those of the next few frames not yet computed).

#include <cstdint>
#include <memory>
#include <vector>

#include "hmmview/Trellis.h"

namespace talvor::hmmview {

class HmmModel;

// The instruction-set level (0 x86-64, 1 -v2, 2 -v3, 3 -v4) the component sums
// of the observation scores run at on this machine while no level is forced:
// timed at every level the machine runs at their first use, the fastest kept.
int componentSumsLevel();

class ObservationScores {
public:
    // `word` must outlive this object.
    explicit ObservationScores(const PackedWord& word);
    ~ObservationScores();
    ObservationScores(const ObservationScores&) = delete;
    ObservationScores& operator=(const ObservationScores&) = delete;

    // The scores of one loaded model whose nParams equals the word's features.
    class ModelScores {
    public:
        // b(0..S-1, t) for frame t (0 <= t < frames).
        const float* frame(std::int32_t t);

    private:
        friend class ObservationScores;
        const HmmModel* m_model = nullptr;
        std::uint64_t m_generation = 0;
        const PackedWord* m_word = nullptr;
        std::vector<float> m_scores;        // [t * S + j]
        std::vector<std::uint8_t> m_done;   // per frame
        std::vector<float> m_sums;          // scratch: component sums of a few frames
        std::vector<std::uint64_t> m_live;  // scratch: their components below the floor threshold
    };

    ModelScores& forModel(const HmmModel& model);

    const PackedWord& word() const { return m_word; }

private:
    PackedWord m_word;
    std::vector<std::unique_ptr<ModelScores>> m_models;
};

}  // namespace talvor::hmmview
