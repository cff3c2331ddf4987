// Feature frames plus endpoint steps per second on one core, for the
// engine's detector (its block steps in the wide kernels of the machine's
// level, and of each level the machine supports) and for the plain
// whole-recording reference of the same formulas; printed against real time
// (100 frames per second of sound) and against each other.  The block steps
// of every frame are checked bit for bit against the plain loops first.
#include "engine/TokenDetector.h"

#include "ReferenceFeatures.h"
#include "BenchLevel.h"
#include "common/IsaLevel.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
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
// at every level the machine supports against the plain loops, bit for bit.
void checkBitIdentity()
{
    using namespace talvor::engine;
    const std::vector<std::int16_t>& s = signal();
    for (isa::Level level : isa::kAllLevels) {
        if (static_cast<int>(level) > static_cast<int>(isa::supportedLevel()))
            continue;
        const isa::ScopedCeiling ceiling(level);
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
                             b / kBlockSamples, isa::levelName(level));
                std::exit(1);
            }
            std::memcpy(fastPrevious, fast, sizeof fast);
            std::memcpy(plainPrevious, plain, sizeof plain);
        }
    }
    std::printf("bit-identity: the block steps of every frame equal the plain loops at every level\n");
}

// The detector at the level given by the argument (3: the machine's own).
void BM_EngineDetector(benchmark::State& state)
{
    const talvor::bench::BenchLevel level(state);
    if (!level.supported())
        return;
    const std::vector<std::int16_t>& s = signal();
    TokenDetector detector;
    talvor::engine::TokenResult result;
    detector.LinkTokenResult(&result);
    std::memcpy(detector.recordBuffer(), s.data(), s.size() * sizeof(std::int16_t));
    detector.NextFrame();
    detector.setRecorded(static_cast<std::int32_t>(s.size()));
    std::int64_t frames = 0;
    int words = 0;
    for (auto _ : state) {
        detector.rewind();
        while (detector.NextFrame()) {
            detector.ComputeFrameFeatures();
            if (detector.EndpointStep() == 0)
                ++words;
            ++frames;
        }
        benchmark::DoNotOptimize(detector.frames());
    }
    state.SetItemsProcessed(frames);
    state.counters["words"] = static_cast<double>(words) / static_cast<double>(state.iterations());
}

void BM_ReferenceDetector(benchmark::State& state)
{
    const std::vector<std::int16_t>& s = signal();
    std::int64_t frames = 0;
    for (auto _ : state) {
        const auto f = talvor::engine::reference::computeFrames(s);
        const auto d = talvor::engine::reference::detect(f);
        benchmark::DoNotOptimize(d);
        frames += static_cast<std::int64_t>(f.size());
    }
    state.SetItemsProcessed(frames);
}

BENCHMARK(BM_EngineDetector)->DenseRange(0, 3)->ArgName("level")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferenceDetector)->Unit(benchmark::kMillisecond);

// Prints frames per second, the real-time factor and the engine/reference ratio.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            if (r.error_occurred || r.iterations == 0)
                continue;
            const double seconds = r.GetAdjustedRealTime() / 1e3;  // per iteration, in ms units above
            const double framesPerIteration = static_cast<double>(signal().size() / 80);
            m_framesPerSecond[r.benchmark_name()] = framesPerIteration / seconds;
        }
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        const double reference = m_framesPerSecond["BM_ReferenceDetector"];
        std::printf("\nfeature frames + detector steps per second on one core:\n");
        for (isa::Level level : isa::kAllLevels) {
            const double engine =
                m_framesPerSecond["BM_EngineDetector/level:" + std::to_string(static_cast<int>(level))];
            if (engine <= 0.0)
                continue;
            std::printf("  engine %-10s %12.0f  (%.0f x real time at 100 frames/s)", isa::levelName(level), engine,
                        engine / 100.0);
            if (reference > 0.0)
                std::printf("  engine / reference: %.2f", engine / reference);
            std::printf("\n");
        }
        if (reference > 0.0)
            std::printf("  reference         %12.0f  (%.0f x real time)\n", reference, reference / 100.0);
    }

private:
    std::map<std::string, double> m_framesPerSecond;
};

}  // namespace

int main(int argc, char** argv)
{
    checkBitIdentity();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
