#pragma once
// Words for the display tests: a stored word of F frames (10 margin frames on
// each side) laid out as the store hands it out, with a tone inside the word
// and quiet outside, and an energy track that rises over the word.

#include <cmath>
#include <cstdint>
#include <vector>

#include "analyser/WordDisplays.h"

namespace talvor::analyser::testing {

struct TestWord {
    std::vector<std::int16_t> samples;
    std::vector<float> features;
    WordSource source() const
    {
        WordSource w;
        w.samples = samples;
        w.sampleCount = std::int32_t(samples.size());
        w.features = features;
        w.wStart = wStart;
        w.wStop = wStop;
        w.startSample = startSample;
        w.endSample = endSample;
        w.status = 0;
        return w;
    }
    std::int32_t wStart = 10, wStop = 0, startSample = 800, endSample = 0;
};

// A stored word of F frames: a tone of `hz` at `amplitude` over the word
// (samples 800 .. (F - 10) x 80), a low hum of amplitude 50 outside it.
inline TestWord storedWord(int F, double hz = 1000.0, double amplitude = 8000.0)
{
    TestWord w;
    w.wStop = F - 10;
    w.endSample = (F - 10) * 80;
    w.samples.resize(std::size_t(F) * 80);
    for (std::size_t i = 0; i < w.samples.size(); ++i) {
        const bool inWord = long(i) >= w.startSample && long(i) < w.endSample;
        const double a = inWord ? amplitude : 50.0;
        w.samples[i] = std::int16_t(std::lround(a * std::sin(2.0 * M_PI * hz * double(i) / 8000.0)));
    }
    w.features.assign(std::size_t(F) * 20, 0.0f);
    for (int f = 0; f < F; ++f)
        w.features[std::size_t(f) * 20 + 19] = 3.0f + 6.0f * float(f) / float(F - 1);  // energy ramp 3 .. 9
    return w;
}

}  // namespace talvor::analyser::testing
