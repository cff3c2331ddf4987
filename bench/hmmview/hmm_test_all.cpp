// The test-all workload: every word of a list scored against every model by
// sequential Viterbi decoding, the core's decoder against the plain one.
// Before timing, every score of both is compared bit for bit.

#include <benchmark/benchmark.h>

#include <bit>
#include <cstdio>
#include <vector>

#include "Ratio.h"
#include "Workload.h"
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

void plainRun(benchmark::State& state)
{
    std::vector<float> scores;
    for (auto _ : state) {
        workload().plainScores(&scores);
        benchmark::DoNotOptimize(scores.data());
    }
}

void fastRun(benchmark::State& state)
{
    std::vector<float> scores;
    for (auto _ : state) {
        workload().fastScores(&scores);
        benchmark::DoNotOptimize(scores.data());
    }
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
    benchmark::RegisterBenchmark("TestAll/Plain", plainRun)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("TestAll/Fast", fastRun)->Unit(benchmark::kMillisecond);
    return bench::runWithRatios(argc, argv);
}
