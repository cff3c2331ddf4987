// Feature frames plus endpoint steps per second on one core, for the
// engine's detector (its block steps in the wide kernels at the levels they
// chose on this machine, and forced to each level the machine supports) and
// for the plain whole-recording reference of the same formulas; printed
// against real time (100 frames per second of sound) and against each other
// (BenchRatio.h).  The block steps of every frame are
// checked bit for bit against the plain loops first.
#include "engine/FeatureFrame.h"
#include "engine/TokenDetector.h"

#include "ReferenceFeatures.h"
#include "BenchLevel.h"
#include "BenchRatio.h"
#include "common/IsaLevel.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using talvor::engine::TokenDetector;

// Ten seconds: three vowel-like words in a quiet room.
std::vector<std::int16_t> recording()
{
    std::vector<std::int16_t> s;
    std::uint32_t x = 1;
    const auto noise = [&](std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            x = x * 1664525u + 1013904223u;
            s.push_back(static_cast<std::int16_t>(static_cast<int>((x >> 16) % 41) - 20));
        }
    };
    const auto word = [&](std::size_t n, double f0) {
        for (std::size_t i = 0; i < n; ++i) {
            const double t = static_cast<double>(i) / 8000.0;
            double v = 0.0;
            for (int h = 1; h <= 20; ++h)
                v += std::sin(2.0 * 3.141592653589793 * f0 * h * t) / h;
            s.push_back(static_cast<std::int16_t>(std::lround(5000.0 * v)));
        }
    };
    noise(8000);
    word(4000, 120.0);
    noise(12000);
    word(5600, 180.0);
    noise(12000);
    word(3200, 140.0);
    noise(80000 - s.size());
    return s;
}

const std::vector<std::int16_t>& signal()
{
    static const std::vector<std::int16_t> s = recording();
    return s;
}

namespace isa = talvor::isa;

// Before anything is timed: the block steps of every frame of the recording
// at the levels chosen and at every level the machine supports against the
// plain loops, bit for bit.
void checkBitIdentity()
{
    using namespace talvor::engine;
    const std::vector<std::int16_t>& s = signal();
    talvor::bench::atEveryLevel([&](const char* levelName) {
        std::int16_t fastLast = 0, plainLast = 0;
        std::int16_t fastPrevious[kBlockSamples] = {}, plainPrevious[kBlockSamples] = {};
        for (std::size_t b = 0; b + kBlockSamples <= s.size(); b += kBlockSamples) {
            std::int16_t fast[kBlockSamples], plain[kBlockSamples];
            std::memcpy(fast, s.data() + b, sizeof fast);
            std::memcpy(plain, s.data() + b, sizeof plain);
            PreEmphasis(fast, &fastLast);
            reference::preEmphasis(plain, &plainLast);
            float fastWindow[kWindowSamples], plainWindow[kWindowSamples];
            HammingWindow(fastPrevious, fast, fastWindow);
            reference::hammingWindow(plainPrevious, plain, plainWindow);
            float fastR[kLpcOrder + 1], plainR[kLpcOrder + 1];
            Autocorrelation(fastWindow, fastR);
            reference::autocorrelation(plainWindow, plainR);
            if (std::memcmp(fast, plain, sizeof fast) != 0 || fastLast != plainLast ||
                std::memcmp(fastWindow, plainWindow, sizeof fastWindow) != 0 ||
                std::memcmp(fastR, plainR, sizeof fastR) != 0) {
                std::fprintf(stderr, "bench_engine_frames: block %zu differs from the plain loops at %s\n",
                             b / kBlockSamples, levelName);
                std::exit(1);
            }
            std::memcpy(fastPrevious, fast, sizeof fast);
            std::memcpy(plainPrevious, plain, sizeof plain);
        }
    });
    std::printf("bit-identity: the block steps of every frame equal the plain loops at every level\n");
    const FeatureKernelLevels chosen = featureKernelLevels();
    std::printf("levels chosen on this machine: pre-emphasis %s, window %s, autocorrelation %s\n",
                isa::levelName(static_cast<isa::Level>(chosen.preEmphasis)),
                isa::levelName(static_cast<isa::Level>(chosen.hammingWindow)),
                isa::levelName(static_cast<isa::Level>(chosen.autocorrelation)));
}

// The recording in a detector, ready to run.
struct LoadedDetector {
    TokenDetector detector;
    talvor::engine::TokenResult result;
    LoadedDetector()
    {
        const std::vector<std::int16_t>& s = signal();
        detector.LinkTokenResult(&result);
        std::memcpy(detector.recordBuffer(), s.data(), s.size() * sizeof(std::int16_t));
        detector.NextFrame();
        detector.setRecorded(static_cast<std::int32_t>(s.size()));
    }
    // Every frame's features and detector step; the words found.
    int run(std::int64_t* frames)
    {
        int words = 0;
        detector.rewind();
        while (detector.NextFrame()) {
            detector.ComputeFrameFeatures();
            if (detector.EndpointStep() == 0)
                ++words;
            ++*frames;
        }
        benchmark::DoNotOptimize(detector.frames());
        return words;
    }
};

void runDetector(benchmark::State& state)
{
    LoadedDetector loaded;
    std::int64_t frames = 0;
    int words = 0;
    for (auto _ : state)
        words += loaded.run(&frames);
    state.SetItemsProcessed(frames);
    state.counters["words"] = static_cast<double>(words) / static_cast<double>(state.iterations());
}

void referenceOnce()
{
    const auto f = talvor::engine::reference::computeFrames(signal());
    const auto d = talvor::engine::reference::detect(f);
    benchmark::DoNotOptimize(d);
}

// The detector with each block step at the level it chose.
void BM_EngineDetectorChosen(benchmark::State& state)
{
    runDetector(state);
}

// The detector forced to the level given by the argument.
void BM_EngineDetector(benchmark::State& state)
{
    const talvor::bench::BenchLevel level(state);
    if (level.supported())
        runDetector(state);
}

void BM_ReferenceDetector(benchmark::State& state)
{
    for (auto _ : state)
        referenceOnce();
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(signal().size() / 80));
}

BENCHMARK(BM_EngineDetectorChosen)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EngineDetector)->DenseRange(0, 3)->ArgName("level")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferenceDetector)->Unit(benchmark::kMillisecond);

// Frames per second, the real-time factor and the engine / reference ratio.
void printRates(const talvor::bench::MedianReporter& reporter)
{
    const double framesPerIteration = static_cast<double>(signal().size() / 80);
    const auto rate = [&](const std::string& name) {
        const double seconds = reporter.median(name);
        return seconds > 0.0 ? framesPerIteration / seconds : 0.0;
    };
    const double reference = rate("BM_ReferenceDetector");
    std::printf("\nfeature frames + detector steps per second on one core (median CPU time of %d repetitions):\n",
                reporter.repetitions("BM_EngineDetectorChosen"));
    const auto line = [&](const char* name, double engine) {
        if (engine <= 0.0)
            return;
        std::printf("  engine %-10s %12.0f  (%.0f x real time at 100 frames/s)\n", name, engine, engine / 100.0);
    };
    line("chosen", rate("BM_EngineDetectorChosen"));
    for (isa::Level level : isa::kAllLevels)
        line(isa::levelName(level), rate("BM_EngineDetector/level:" + std::to_string(static_cast<int>(level))));
    if (reference > 0.0)
        std::printf("  reference         %12.0f  (%.0f x real time)\n", reference, reference / 100.0);
}

}  // namespace

int main(int argc, char** argv)
{
    checkBitIdentity();
    if (!talvor::bench::initialise(argc, argv))
        return 1;
    LoadedDetector loaded;
    std::int64_t frames = 0;
    talvor::bench::Ratios ratios(
        argc, argv, {{"engine (the levels chosen) against the reference", [&] { loaded.run(&frames); }, referenceOnce}});
    ratios.run(talvor::bench::Ratios::Phase::Before);
    talvor::bench::MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    ratios.run(talvor::bench::Ratios::Phase::After);
    printRates(reporter);
    ratios.print();
    benchmark::Shutdown();
    return 0;
}
