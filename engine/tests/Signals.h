#pragma once
// Synthetic sound for engine tests: a quiet room and a voiced "word".

#include <cmath>
#include <cstdint>
#include <vector>

namespace talvor::engine::test {

// Low noise from a fixed linear congruential generator (the same every run).
inline void appendNoise(std::vector<std::int16_t>& out, std::size_t n, int amplitude, std::uint32_t seed = 12345)
{
    std::uint32_t x = seed;
    for (std::size_t i = 0; i < n; ++i) {
        x = x * 1664525u + 1013904223u;
        const int v = static_cast<int>((x >> 16) % static_cast<std::uint32_t>(2 * amplitude + 1)) - amplitude;
        out.push_back(static_cast<std::int16_t>(v));
    }
}

inline void appendSilence(std::vector<std::int16_t>& out, std::size_t n)
{
    out.insert(out.end(), n, std::int16_t{0});
}

// A voiced sound: harmonics of 125 Hz shaped like a vowel, rising and falling
// over 30 ms at both ends, plus the room's noise.
inline void appendVowel(std::vector<std::int16_t>& out, std::size_t n, double peak = 8000.0,
                        int noiseAmplitude = 20)
{
    const double pi = 3.14159265358979323846;
    const double ramp = 240.0;
    std::vector<std::int16_t> noise;
    appendNoise(noise, n, noiseAmplitude, 777);
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / 8000.0;
        double env = 1.0;
        if (static_cast<double>(i) < ramp)
            env = static_cast<double>(i) / ramp;
        else if (static_cast<double>(n - i) < ramp)
            env = static_cast<double>(n - i) / ramp;
        double v = 0.0;
        for (int h = 1; h <= 24; ++h) {
            const double f = 125.0 * h;
            // Formant-like peaks near 700 Hz and 1200 Hz.
            const double g = 1.0 / (1.0 + std::pow((f - 700.0) / 150.0, 2)) +
                             0.6 / (1.0 + std::pow((f - 1200.0) / 200.0, 2)) + 0.02;
            v += g * std::sin(2.0 * pi * f * t + 0.3 * h);
        }
        out.push_back(static_cast<std::int16_t>(std::lround(peak * env * v / 2.0) + noise[i]));
    }
}

// Quiet, a word of `wordMs`, quiet: the recording of one spoken word.
inline std::vector<std::int16_t> wordRecording(int leadMs = 500, int wordMs = 450, int tailMs = 600,
                                               bool digitalSilence = false)
{
    std::vector<std::int16_t> s;
    const auto samples = [](int ms) { return static_cast<std::size_t>(ms) * 8; };
    if (digitalSilence)
        appendSilence(s, samples(leadMs));
    else
        appendNoise(s, samples(leadMs), 20);
    appendVowel(s, samples(wordMs), 8000.0, digitalSilence ? 0 : 20);
    if (digitalSilence)
        appendSilence(s, samples(tailMs));
    else
        appendNoise(s, samples(tailMs), 20, 999);
    return s;
}

}  // namespace talvor::engine::test
