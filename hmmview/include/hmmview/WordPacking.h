#pragma once
// A stored word as the decoders take it, and the trainer configuration that
// says which features the models of a work folder were trained with.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/StatwalkConfig.h"
#include "hmmview/Trellis.h"

namespace talvor::hmmview {

// A stored word carries 10 margin frames at each end; a word is matched on
// the frames between them, so it needs at least 21 frames (one matched
// frame), and the match buffers hold at most 5,000.
constexpr std::int32_t kMarginFrames = 10;
constexpr std::int32_t kMinWordFrames = 2 * kMarginFrames + 1;
constexpr std::int32_t kMaxWordFrames = 5000;

struct PackedFrames {
    std::vector<float> values;  // frames x features, frame after frame
    std::int32_t frames = 0;    // T = nFrames - 20
    std::int32_t features = 0;  // the number of mask bits set
    PackedWord word() const { return PackedWord{values, frames, features}; }
};

// Frames 10 .. nFrames - 11 of `v` (20 values a frame), of each frame the
// features whose flag is set, in feature order.  No frames when nFrames is
// below 21 or `v` holds fewer than 20 x nFrames values.
PackedFrames packWordFrames(std::span<const float> v, std::int32_t nFrames, const FeatureSelection& mask);

// What the work folder's trainer configuration (STATWALK1.EDF) says.
struct TrainerConfig {
    bool found = false;             // read and understood
    std::int32_t coefCount = 18;    // item 8: features per frame of the models
    FeatureSelection featureMask{};  // item 10
    std::string error;              // why not found
};

// Reads the configuration at `path` (found whatever the letter case of its
// name).  A missing or unreadable file gives found = false, the default
// count and an empty mask.
TrainerConfig ReadTrainerConfig(const std::string& path);

}  // namespace talvor::hmmview
