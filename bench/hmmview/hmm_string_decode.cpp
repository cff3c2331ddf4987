// A long connected-word decode: 100 words spoken without pauses through a
// network of 20 models, the core's string decoder against the plain one.
// Before timing, the word sequences of both are compared.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Ratio.h"
#include "Workload.h"
#include "hmmview/Decoders.h"
#include "hmmview_testing/PlainHmm.h"

namespace {

using namespace talvor;

constexpr int kModels = 20, kStates = 8, kMixtures = 4, kFeatures = 18;
constexpr int kSpokenWords = 100, kFramesPerWord = 40, kMaxWords = 10;

struct LongString {
    bench::HmmWorkload work{kModels, kStates, kMixtures, kFeatures, 23};
    std::vector<float> frames;
    std::vector<int> spoken;
    int T = 0;

    LongString()
    {
        bench::Lcg rng(9);
        for (int i = 0; i < kSpokenWords; ++i) {
            const int k = static_cast<int>(rng.uniform() * kModels) % kModels;
            spoken.push_back(k);
            work.say(k, kFramesPerWord + static_cast<int>(rng.uniform() * 10.0f), rng, &frames);
        }
        T = static_cast<int>(frames.size() / kFeatures);
    }

    hmmview::plain::StringResult plainDecode() const
    {
        return hmmview::plain::stringDecode(work.panes, frames, T, kMaxWords);
    }

    hmmview::plain::StringResult fastDecode() const
    {
        hmmview::MatchResults results;
        hmmview::plain::StringResult r;
        hmmview::MatchStringHMM(work.panes, hmmview::PackedWord{frames, T, kFeatures}, results, r.text, kMaxWords,
                                r.count);
        for (int i = 0; i < r.count; ++i)
            r.panes.push_back(*results.GetResultByOrder(i));
        return r;
    }
};

const LongString& workload()
{
    static const LongString w;
    return w;
}

void plainRun(benchmark::State& state)
{
    for (auto _ : state) {
        auto r = workload().plainDecode();
        benchmark::DoNotOptimize(r.text.data());
    }
}

void fastRun(benchmark::State& state)
{
    for (auto _ : state) {
        auto r = workload().fastDecode();
        benchmark::DoNotOptimize(r.text.data());
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const auto plain = workload().plainDecode();
    const auto fast = workload().fastDecode();
    const auto& spoken = workload().spoken;
    int lastRight = 0;
    for (int i = 0; i < fast.count; ++i)
        lastRight += fast.panes[static_cast<std::size_t>(i)] ==
                     spoken[spoken.size() - static_cast<std::size_t>(fast.count) + static_cast<std::size_t>(i)];
    std::printf("string decode: %d frames, %d words spoken, %d models (%d states, %d mixtures, %d features), one thread\n",
                workload().T, kSpokenWords, kModels, kStates, kMixtures, kFeatures);
    std::printf("fast: %s (%d words; %d match the last words spoken)\nplain: %s\n", fast.text.c_str(), fast.count,
                lastRight, plain.text.c_str());
    if (plain.text != fast.text || plain.count != fast.count || plain.panes != fast.panes) {
        std::fprintf(stderr, "the fast decode differs from the plain reference\n");
        return 1;
    }
    std::printf("results identical\n");
    benchmark::RegisterBenchmark("StringDecode/Plain", plainRun)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("StringDecode/Fast", fastRun)->Unit(benchmark::kMillisecond);
    return bench::runWithRatios(argc, argv,
                                {{"StringDecode: fast path against the plain reference",
                                  [] {
                                      auto r = workload().fastDecode();
                                      benchmark::DoNotOptimize(r.text.data());
                                  },
                                  [] {
                                      auto r = workload().plainDecode();
                                      benchmark::DoNotOptimize(r.text.data());
                                  }}});
}
