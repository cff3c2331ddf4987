// FFT spectra per second against a direct 256-point DFT, and colour mapping
// per value by binary search against the linear interval search.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "BenchRatio.h"
#include "AnalysisReference.h"
#include "engine/ColorScale.h"
#include "engine/Fourier.h"

namespace {

using namespace talvor::engine;

constexpr int kFrames = 100;

const std::vector<std::int16_t>& speechLikeSamples()
{
    static const std::vector<std::int16_t> samples = [] {
        std::mt19937 rng(1);
        std::normal_distribution<double> noise(0.0, 800.0);
        std::vector<std::int16_t> s(std::size_t(kFrames) * kSpectrumHop + 176);
        for (std::size_t i = 0; i < s.size(); ++i) {
            const double t = double(i) / 8000.0;
            const double v = 6000.0 * std::sin(2 * M_PI * 440 * t) + 3000.0 * std::sin(2 * M_PI * 1250 * t) + noise(rng);
            s[i] = static_cast<std::int16_t>(std::lround(v));
        }
        return s;
    }();
    return samples;
}

std::vector<float>& spectra()
{
    static std::vector<float> out(std::size_t(kFrames + 1) * kFftFrameFloats);
    return out;
}

// The engine's FFT spectra: kFrames FftSpectrumFrames.
void fftSpectra()
{
    benchmark::DoNotOptimize(computeSpectrumFft(speechLikeSamples(), kFrames * kSpectrumHop, spectra()));
    benchmark::ClobberMemory();
}

// The same spectra by a direct DFT over precomputed twiddles, in 32-bit floats.
void directDftSpectra()
{
    const auto& s = speechLikeSamples();
    const FftTables& t = fftTables();
    std::vector<float>& out = spectra();
    float x[kFftLength];
    {
        for (int f = 0; f < kFrames; ++f) {
            for (int j = 0; j < kFftLength; ++j)
                x[j] = t.window[j] * float(s[std::size_t(f * kSpectrumHop + j)]);
            float* o = out.data() + std::size_t(f) * kFftFrameFloats;
            for (int k = 0; k < kFftBins; ++k) {
                float re = 0.0f, im = 0.0f;
                for (int j = 0; j < kFftLength; ++j) {
                    const int idx = (j * k) & (kFftLength - 1);
                    re += x[j] * t.cosine[idx];
                    im -= x[j] * t.sine[idx];
                }
                const float p = (re * re + im * im) * 0.00390625f;
                o[k] = static_cast<float>(10.0 * std::log10(static_cast<double>(p)));
                o[kFftBins + k] = std::sqrt(p);
            }
        }
        benchmark::ClobberMemory();
    }
}

void BM_FftSpectra(benchmark::State& state)
{
    for (auto _ : state)
        fftSpectra();
    state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_FftSpectra);

void BM_DirectDftSpectra(benchmark::State& state)
{
    for (auto _ : state)
        directDftSpectra();
    state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_DirectDftSpectra);

const std::vector<float>& dbValues()
{
    static const std::vector<float> values = [] {
        std::mt19937 rng(2);
        std::uniform_real_distribution<float> dist(-10.0f, 110.0f);  // the dB range of a spectrogram
        std::vector<float> v(128 * 200);
        for (auto& x : v)
            x = dist(rng);
        return v;
    }();
    return values;
}

std::vector<Rgb>& colours()
{
    static std::vector<Rgb> out(dbValues().size());
    return out;
}

void colorMapping()
{
    valueToColor(dbValues(), colours(), 0);
    benchmark::ClobberMemory();
}

void colorMappingLinearSearch()
{
    const auto& values = dbValues();
    std::vector<Rgb>& out = colours();
    const ColorScale& cs = colorScale();
    for (std::size_t i = 0; i < values.size(); ++i)
        out[i] = reference::colorLinear(cs, 0, values[i]);
    benchmark::ClobberMemory();
}

void BM_ColorMapping(benchmark::State& state)
{
    buildColorScale();
    for (auto _ : state)
        colorMapping();
    state.SetItemsProcessed(state.iterations() * std::int64_t(dbValues().size()));
}
BENCHMARK(BM_ColorMapping);

void BM_ColorMappingLinearSearch(benchmark::State& state)
{
    for (auto _ : state)
        colorMappingLinearSearch();
    state.SetItemsProcessed(state.iterations() * std::int64_t(dbValues().size()));
}
BENCHMARK(BM_ColorMappingLinearSearch);

}  // namespace

int main(int argc, char** argv)
{
    buildColorScale();
    return talvor::bench::runAndPrintRatios(argc, argv, {
        {"FFT spectra against the direct DFT", fftSpectra, directDftSpectra},
        {"Colour mapping against the linear search", colorMapping, colorMappingLinearSearch},
    });
}
