// Feature frames plus endpoint steps per second, for the engine's detector
// and for the plain whole-recording reference of the same formulas; printed
// against real time (100 frames per second of sound) and against each other.
#include "engine/TokenDetector.h"

#include "ReferenceFeatures.h"

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

void BM_EngineDetector(benchmark::State& state)
{
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

BENCHMARK(BM_EngineDetector)->Unit(benchmark::kMillisecond);
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
            m_framesPerSecond[r.run_name.function_name] = framesPerIteration / seconds;
        }
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        const double engine = m_framesPerSecond["BM_EngineDetector"];
        const double reference = m_framesPerSecond["BM_ReferenceDetector"];
        if (engine <= 0.0 || reference <= 0.0)
            return;
        std::printf("\nfeature frames + detector steps per second:\n");
        std::printf("  engine     %12.0f  (%.0f x real time at 100 frames/s)\n", engine, engine / 100.0);
        std::printf("  reference  %12.0f  (%.0f x real time)\n", reference, reference / 100.0);
        std::printf("  engine / reference: %.2f\n", engine / reference);
    }

private:
    std::map<std::string, double> m_framesPerSecond;
};

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
