#pragma once
// Training one word's model from its reference utterances: uniform
// segmentation, then segmental k-means (Viterbi alignment with the model so
// far, then each state's frames clustered into its mixtures by k-means, the
// mixtures grown by splitting), repeated until the total alignment score
// stops improving or a fixed number of rounds has run.  Variances are floored.
//
// The model is left to right: a state keeps itself or moves to the next; the
// last state keeps itself with probability 1.  Every transition the topology
// allows gets at least kMinTransition, so no allowed step is ever impossible;
// every row sums to 1.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "statwalk/HmmParameters.h"

namespace talvor::statwalk {

// One utterance: `frames` frames of F values each, frame after frame.
struct TrainingSequence {
    std::span<const float> values;
    std::int32_t frames = 0;
};

inline constexpr float kMinTransition = 0.001f;
// The variance floor: this share of a feature's variance over all training
// data, and never below kAbsoluteVarianceFloor.
inline constexpr float kRelativeVarianceFloor = 0.1f;
inline constexpr float kAbsoluteVarianceFloor = 1e-4f;

struct TrainingOptions {
    std::vector<float> varianceFloor;  // per feature; empty: kAbsoluteVarianceFloor for all
    std::int32_t maxRounds = 20;       // segmental k-means rounds after the uniform start
    double tolerance = 1e-4;           // stop when the score improves by less than this share
    std::int32_t kmeansIterations = 10;
};

struct TrainingResult {
    bool ok = false;
    std::string reason;        // why there is no model (when !ok)
    HmmParameters model;
    std::int32_t rounds = 0;   // segmental k-means rounds run
    std::int32_t used = 0;     // utterances trained on
    std::int32_t skipped = 0;  // utterances shorter than the model's states
    float score = 0.0f;        // total alignment score of the last round
};

// Trains a model of S states and M mixtures on F features.  Utterances with
// fewer frames than states cannot pass every state and are skipped; with none
// left there is no model.
TrainingResult trainWordModel(std::span<const TrainingSequence> sequences, std::int32_t S, std::int32_t M,
                              std::int32_t F, const TrainingOptions& options = {});

// The floor for each of F features over all these utterances.
std::vector<float> varianceFloor(std::span<const TrainingSequence> sequences, std::int32_t F);

}  // namespace talvor::statwalk
