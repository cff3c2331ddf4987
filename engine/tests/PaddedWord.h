#pragma once
// A recorded word as the detector cuts it: the recording padded with half a
// second of quiet noise on each side (the detector needs quiet before a word),
// then run through the whole detector.  Shared by the tests and benchmarks that
// work on real speech.

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "engine/TokenDetector.h"

namespace talvor::engine::test {

struct PaddedWord {
    std::vector<std::int16_t> signal;  // the padded recording
    TokenResult result;                // what the detector found in it
    std::int32_t frames = 0;           // frames kept: the word's and the margins
    std::vector<float> values;         // their feature frames, 20 values each
};

inline constexpr int kPadSamples = 4000;

// The word found in `speech` with `marginFrames` frames on each side (noise
// from `seed`); false when no word is found or the margins leave the frames kept.
inline bool detectPaddedWord(const std::vector<std::int16_t>& speech, unsigned seed, int marginFrames,
                             PaddedWord* word)
{
    std::mt19937 rng(seed);
    std::normal_distribution<float> noise(0.0f, 8.0f);
    std::vector<std::int16_t>& s = word->signal;
    s.clear();
    for (int i = 0; i < kPadSamples; ++i)
        s.push_back(static_cast<std::int16_t>(std::lround(noise(rng))));
    s.insert(s.end(), speech.begin(), speech.end());
    for (int i = 0; i < kPadSamples; ++i)
        s.push_back(static_cast<std::int16_t>(std::lround(noise(rng))));
    if (s.size() > static_cast<std::size_t>(TokenDetector::kBufferSamples))
        return false;
    TokenDetector detector;
    detector.LinkTokenResult(&word->result);
    std::memcpy(detector.recordBuffer(), s.data(), s.size() * sizeof(std::int16_t));
    detector.NextFrame();
    detector.setRecorded(static_cast<std::int32_t>(s.size()));
    const TokenResult& r = word->result;
    if (detector.ProcessFrames() != TokenFound || r.endFrame <= r.startFrame)
        return false;
    const int first = r.startFrame - marginFrames;
    const int last = r.endFrame + marginFrames;  // exclusive
    if (first < 0 || last > TokenDetector::kFrameStoreSize)
        return false;
    constexpr std::size_t kValues = sizeof(FeatureFrame) / sizeof(float);
    word->frames = last - first;
    const float* values = reinterpret_cast<const float*>(detector.frames() + first);
    word->values.assign(values, values + static_cast<std::size_t>(word->frames) * kValues);
    return true;
}

}  // namespace talvor::engine::test
