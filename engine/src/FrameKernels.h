#pragma once
// The wide kernels of the feature frames, compiled once per x86-64 level
// (FrameKernels.cpp) and chosen at run time (common/IsaLevel.h).  Each gives
// the same bits as the plain loops of the same names in FeatureFrame.h's
// comments: every sum keeps its order, nothing is fused or reassociated.

#include "common/IsaLevel.h"
#include "engine/FeatureFrame.h"

#include <cstdint>

namespace talvor::engine::kernels {

// Pre-emphasis of one block in place (see PreEmphasis).
TALVOR_ISA_DECLARE(void preEmphasis(std::int16_t block[kBlockSamples], std::int16_t lastRaw))
// The two blocks times the window (see HammingWindow).
TALVOR_ISA_DECLARE(void hammingWindow(const std::int16_t previous[kBlockSamples],
                                      const std::int16_t current[kBlockSamples], const float window[kWindowSamples],
                                      float out[kWindowSamples]))
// The 13 lags side by side, each summed in order of n (see Autocorrelation).
TALVOR_ISA_DECLARE(void autocorrelation(const float s[kWindowSamples], float r[kLpcOrder + 1]))

}  // namespace talvor::engine::kernels
