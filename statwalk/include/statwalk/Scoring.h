#pragma once
// The trainer's own scoring of a word against a model, step for step the
// arithmetic of the HMM viewer's model reader and sequential decoder, so that
// a model written to a file and read back there scores every word exactly as
// it scored here:
//   log transitions   ln(a + 1e-30), in 64 bits, kept as 32-bit floats
//   factors           modelConst / sqrt(prod var + 1e-30), the product in 64 bits
//   density           factor * exp(sum / -2) + 1e-30, with
//                     sum := sum + d * d * (1 / var) feature by feature in 32 bits
//                     (a zero variance has no inverse: that feature does not count)
//   observation       ln(1e-30 + sum over m of weight * density), mixtures in order
//   Viterbi           start in state 0; the self loop or the step to the next
//                     state; the path ends in the last state; on a tie the
//                     predecessor from the state below wins.
// Scores are natural logarithms in 32-bit floats; -1e30 is minus infinity.

#include <cstdint>
#include <span>
#include <vector>

#include "statwalk/HmmParameters.h"

namespace talvor::statwalk {

inline constexpr float kMinusInfinity = -1e30f;

class ScoringModel {
public:
    ScoringModel(const HmmParameters& model, float modelConst);

    std::int32_t states() const { return m_S; }
    std::int32_t features() const { return m_F; }

    // b(j, t) for the frame at `frame` (F values).
    float observation(std::int32_t state, const float* frame) const;

    struct Alignment {
        float score = kMinusInfinity;  // the last state's score after the last frame
        std::vector<std::int32_t> states;  // the best path's state of each frame (empty when unreachable)
    };
    // Viterbi over `frames` frames of `values` (F values per frame).  A word
    // shorter than S frames cannot reach the last state: score -1e30, no path.
    Alignment align(std::span<const float> values, std::int32_t frames) const;

private:
    std::int32_t m_S, m_M, m_F;
    std::vector<float> m_logTrans;  // [to + S * from]
    std::vector<float> m_weights;   // [s * M + m]
    std::vector<float> m_means;     // [(s * M + m) * F + f]
    std::vector<float> m_invVars;   // same
    std::vector<float> m_factors;   // [s * M + m]
};

}  // namespace talvor::statwalk
