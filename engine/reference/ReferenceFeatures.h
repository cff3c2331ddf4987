#pragma once
// A plain reference for the feature frames and the endpoint rules: the whole
// recording at once, frames at their absolute positions, every table rebuilt
// where it is used, deltas from the direct formula, the state table over
// absolute frame numbers.  Tests compare the engine with it; the benchmark
// measures the engine against it.

#include "engine/FeatureFrame.h"

#include <cstdint>
#include <vector>

namespace talvor::engine::reference {

// One frame per whole 80-sample block of `samples`, as a freshly loaded
// engine computes them (the sample before the first is 0, the block before
// the first is silent).  Delayed values that the engine would not have
// computed by the last frame stay 0.
std::vector<FeatureFrame> computeFrames(const std::vector<std::int16_t>& samples);

// The plain loops of the engine's block steps, one element after the other:
// PreEmphasis, HammingWindow (with the engine's window table) and
// Autocorrelation give these bits under every instruction-set level.
void preEmphasis(std::int16_t block[kBlockSamples], std::int16_t* lastRaw);
void hammingWindow(const std::int16_t previous[kBlockSamples], const std::int16_t current[kBlockSamples],
                   float out[kWindowSamples]);
void autocorrelation(const float s[kWindowSamples], float r[kLpcOrder + 1]);

struct Detection {
    int status = 1;            // 1: no decision within the frames
    int decisionFrame = -1;    // absolute frame of the deciding step
    int startFrame = 0;        // absolute frames
    int endFrame = 0;
    std::int32_t startSample = 0;
    std::int32_t endSample = 0;
};

// The endpoint rules over the frames' log energies (index 19), absolute frame
// numbers, from a freshly loaded engine's state.
Detection detect(const std::vector<FeatureFrame>& frames, int maxWordLength = 200);

}  // namespace talvor::engine::reference
