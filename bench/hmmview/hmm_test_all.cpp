// The test-all workload: every word of a list scored against every model by
// sequential Viterbi decoding, the core's decoder against the plain one.
// Before timing, every observation score b(j, t) of the core (component sums
// in vectors, exp skipped where the density is provably at its floor) is
// compared bit for bit with the plain density steps, and every word's score
// with the plain decoder's.  Then both are timed (the core also once per
// instruction-set level the machine runs, forced), with the rate of
// frames x models decoded per second on the one core.

#include <benchmark/benchmark.h>

#include <bit>
#include <cstdio>
#include <string>
#include <vector>

#include "../BenchLevel.h"
#include "Ratio.h"
#include "Workload.h"
#include "common/IsaLevel.h"
#include "hmmview/Decoders.h"
#include "hmmview/ObservationScores.h"
#include "hmmview_testing/PlainHmm.h"

namespace {

using namespace talvor;

constexpr int kModels = 20, kStates = 8, kMixtures = 4, kFeatures = 18;
constexpr int kWords = 200, kFrames = 150;

struct TestAll {
    bench::HmmWorkload work{kModels, kStates, kMixtures, kFeatures, 11};
    std::vector<std::vector<float>> words;

    TestAll()
    {
        bench::Lcg rng(5);
        for (int w = 0; w < kWords; ++w) {
            words.emplace_back();
            work.say(w % kModels, kFrames, rng, &words.back());
        }
    }

    void plainScores(std::vector<float>* scores) const
    {
        scores->clear();
        for (const auto& word : words)
            for (const auto* model : work.panes)
                scores->push_back(hmmview::plain::sequentialScore(*model, word, kFrames));
    }

    void fastScores(std::vector<float>* scores) const
    {
        scores->clear();
        for (const auto& word : words) {
            const hmmview::PackedWord packed{word, kFrames, kFeatures};
            hmmview::ObservationScores shared(packed);
            for (std::size_t m = 0; m < work.panes.size(); ++m) {
                float score = 0;
                hmmview::MatchSequentialHMM(*work.panes[m], packed, score, static_cast<int>(m), false,
                                            {nullptr, false, &shared});
                scores->push_back(score);
            }
        }
    }
};

const TestAll& workload()
{
    static const TestAll w;
    return w;
}

// Frames x models decoded per second, on one core.
void countRate(benchmark::State& state)
{
    state.counters["frames x models/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kWords * kModels * kFrames, benchmark::Counter::kIsRate);
}

void plainRun(benchmark::State& state)
{
    std::vector<float> scores;
    for (auto _ : state) {
        workload().plainScores(&scores);
        benchmark::DoNotOptimize(scores.data());
    }
    countRate(state);
}

void fastRun(benchmark::State& state)
{
    std::vector<float> scores;
    for (auto _ : state) {
        workload().fastScores(&scores);
        benchmark::DoNotOptimize(scores.data());
    }
    countRate(state);
}

void fastAtLevel(benchmark::State& state, isa::Level level)
{
    isa::ScopedCeiling ceiling(level);
    fastRun(state);
}

// Every b(j, t) of the core against the plain density steps: how many differ.
std::size_t observationMismatches(std::size_t* compared)
{
    const TestAll& w = workload();
    std::size_t differ = 0;
    for (const auto& word : w.words) {
        const hmmview::PackedWord packed{word, kFrames, kFeatures};
        hmmview::ObservationScores shared(packed);
        for (const auto* model : w.work.panes) {
            auto& b = shared.forModel(*model);
            for (int t = 0; t < kFrames; ++t) {
                const float* row = b.frame(t);
                for (int j = 0; j < kStates; ++j) {
                    const float plain = hmmview::plain::observation(*model, j, word, t);
                    differ += std::bit_cast<std::uint32_t>(plain) != std::bit_cast<std::uint32_t>(row[j]);
                    ++*compared;
                }
            }
        }
    }
    return differ;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<float> plain, fast;
    workload().plainScores(&plain);
    workload().fastScores(&fast);
    std::size_t same = 0, recognised = 0;
    for (std::size_t i = 0; i < plain.size(); ++i)
        same += std::bit_cast<std::uint32_t>(plain[i]) == std::bit_cast<std::uint32_t>(fast[i]);
    for (int w = 0; w < kWords; ++w) {
        int best = 0;
        for (int m = 1; m < kModels; ++m)
            if (fast[static_cast<std::size_t>(w * kModels + m)] > fast[static_cast<std::size_t>(w * kModels + best)])
                best = m;
        recognised += best == w % kModels;
    }
    std::printf("test all: %d words x %d models (%d states, %d mixtures, %d features, %d frames), one thread\n",
                kWords, kModels, kStates, kMixtures, kFeatures, kFrames);
    std::printf("scores bit-identical: %zu of %zu; words recognised as the model they were drawn from: %zu of %d\n",
                same, plain.size(), recognised, kWords);
    if (same != plain.size()) {
        std::fprintf(stderr, "the fast scores differ from the plain reference\n");
        return 1;
    }
    bool identical = true;
    bench::atEveryLevel([&](const char* levelName) {
        std::size_t compared = 0;
        const std::size_t differ = observationMismatches(&compared);
        std::printf("observation scores bit-identical at %s: %zu of %zu\n", levelName, compared - differ, compared);
        identical = identical && differ == 0;
    });
    if (!identical) {
        std::fprintf(stderr, "the fast observation scores differ from the plain density steps\n");
        return 1;
    }
    std::printf("level chosen on this machine for the component sums: %s\n",
                isa::levelName(static_cast<isa::Level>(hmmview::componentSumsLevel())));
    benchmark::RegisterBenchmark("TestAll/Plain", plainRun)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("TestAll/Fast", fastRun)->Unit(benchmark::kMillisecond);
    for (isa::Level level : isa::kAllLevels)
        if (level <= isa::supportedLevel())
            benchmark::RegisterBenchmark((std::string("TestAllAtLevel/") + isa::levelName(level)).c_str(),
                                         fastAtLevel, level)
                ->Unit(benchmark::kMillisecond);
    std::vector<float> fastOut, plainOut;
    return bench::runWithRatios(argc, argv,
                                {{"TestAll: fast path against the plain reference",
                                  [&] {
                                      workload().fastScores(&fastOut);
                                      benchmark::DoNotOptimize(fastOut.data());
                                  },
                                  [&] {
                                      workload().plainScores(&plainOut);
                                      benchmark::DoNotOptimize(plainOut.data());
                                  }}});
}
