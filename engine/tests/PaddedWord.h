#pragma once
// A recorded word as the detector cuts it: the recording padded on each side
// (the detector needs background before a word), then run through the whole
// detector.  Padded either with half a second of quiet noise (a quiet room)
// or with 400 ms of noise at the recording's own background level (an
// ordinary room: the level and spectral shape of its quietest 40 ms).
// Shared by the tests and benchmarks that work on real speech.

#include <algorithm>
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
inline constexpr int kRoomPadSamples = 3200;    // 400 ms
inline constexpr int kBackgroundSamples = 320;  // 40 ms

enum class Padding {
    Quiet,  // kPadSamples of noise with a deviation of 8 on each side
    Room,   // kRoomPadSamples of the recording's own background (RoomNoise)
};

// Noise like the quietest kBackgroundSamples of a recording (the least
// deviation about their mean): its mean, plus
// white noise through the all-pole filter of order 10 fitted to the stretch
// (autocorrelation and Levinson-Durbin recursion), scaled to the stretch's
// deviation.  A recording shorter than the stretch, or a stretch without
// variation, gives its mean alone.
class RoomNoise {
public:
    explicit RoomNoise(const std::vector<std::int16_t>& speech)
    {
        const std::size_t n = kBackgroundSamples;
        if (speech.size() < n)
            return;
        // The stretch of the least variation about its own mean (an offset
        // of the recording is no sound), from running sums in integers.
        long long sum = 0, squares = 0;
        for (std::size_t i = 0; i < n; ++i) {
            sum += speech[i];
            squares += static_cast<long long>(speech[i]) * speech[i];
        }
        const auto spread = [&] { return double(squares) - double(sum) * double(sum) / double(n); };
        double least = spread();
        std::size_t from = 0;
        for (std::size_t i = n; i < speech.size(); ++i) {
            sum += speech[i] - speech[i - n];
            squares += static_cast<long long>(speech[i]) * speech[i] -
                       static_cast<long long>(speech[i - n]) * speech[i - n];
            if (spread() < least) {
                least = spread();
                from = i - n + 1;
            }
        }
        std::vector<double> x(speech.begin() + std::ptrdiff_t(from), speech.begin() + std::ptrdiff_t(from + n));
        for (double v : x)
            m_mean += v;
        m_mean /= double(n);
        double variance = 0.0;
        for (double& v : x) {
            v -= m_mean;
            variance += v * v;
        }
        m_deviation = std::sqrt(variance / double(n));
        if (!(m_deviation > 0.0))
            return;
        double r[kOrder + 1];
        for (int k = 0; k <= kOrder; ++k) {
            r[k] = 0.0;
            for (std::size_t i = std::size_t(k); i < n; ++i)
                r[k] += x[i] * x[i - std::size_t(k)];
        }
        r[0] *= 1.0 + 1e-9;  // keeps the recursion stable on a near-tone
        double error = r[0];
        for (int i = 1; i <= kOrder && error > 0.0; ++i) {
            double sum = r[i];
            for (int j = 1; j < i; ++j)
                sum += m_a[j] * r[i - j];
            const double k = -sum / error;
            double previous[kOrder + 1];
            std::copy(std::begin(m_a), std::end(m_a), previous);
            for (int j = 1; j < i; ++j)
                m_a[j] = previous[j] + k * previous[i - j];
            m_a[i] = k;
            error *= 1.0 - k * k;
        }
    }

    double mean() const { return m_mean; }
    double deviation() const { return m_deviation; }

    // `count` samples of the noise.
    std::vector<std::int16_t> samples(std::size_t count, std::mt19937& rng) const
    {
        std::normal_distribution<double> white(0.0, 1.0);
        std::vector<double> y(count + kSettle, 0.0);
        for (std::size_t i = 0; i < y.size(); ++i) {
            double v = white(rng);
            for (int k = 1; k <= kOrder && std::size_t(k) <= i; ++k)
                v -= m_a[k] * y[i - std::size_t(k)];
            y[i] = v;
        }
        double variance = 0.0;
        for (std::size_t i = kSettle; i < y.size(); ++i)
            variance += y[i] * y[i];
        const double deviation = count > 0 ? std::sqrt(variance / double(count)) : 0.0;
        const double gain = deviation > 0.0 ? m_deviation / deviation : 0.0;
        std::vector<std::int16_t> out(count);
        for (std::size_t i = 0; i < count; ++i)
            out[i] = static_cast<std::int16_t>(std::clamp(std::lround(m_mean + gain * y[kSettle + i]), -32768L, 32767L));
        return out;
    }

private:
    static constexpr int kOrder = 10;
    static constexpr std::size_t kSettle = 400;  // samples the filter runs before the noise kept
    double m_mean = 0.0;
    double m_deviation = 0.0;
    double m_a[kOrder + 1] = {1.0};
};

// `speech` padded on both sides (noise from `seed`).
inline std::vector<std::int16_t> padRecording(const std::vector<std::int16_t>& speech, unsigned seed, Padding padding)
{
    std::mt19937 rng(seed);
    std::vector<std::int16_t> before, after;
    if (padding == Padding::Room) {
        const RoomNoise noise(speech);
        before = noise.samples(kRoomPadSamples, rng);
        after = noise.samples(kRoomPadSamples, rng);
    } else {
        std::normal_distribution<float> noise(0.0f, 8.0f);
        for (int i = 0; i < kPadSamples; ++i)
            before.push_back(static_cast<std::int16_t>(std::lround(noise(rng))));
        for (int i = 0; i < kPadSamples; ++i)
            after.push_back(static_cast<std::int16_t>(std::lround(noise(rng))));
    }
    std::vector<std::int16_t> s = std::move(before);
    s.insert(s.end(), speech.begin(), speech.end());
    s.insert(s.end(), after.begin(), after.end());
    return s;
}

// The word found in `speech` with `marginFrames` frames on each side, padded
// as `padding` says (noise from `seed`); false when no word is found or the
// margins leave the frames kept.
inline bool detectPaddedWord(const std::vector<std::int16_t>& speech, unsigned seed, int marginFrames,
                             PaddedWord* word, Padding padding = Padding::Quiet)
{
    word->signal = padRecording(speech, seed, padding);
    const std::vector<std::int16_t>& s = word->signal;
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
