// The run-time loop's work between the token's end key and the result being
// delivered: the token files x.lb/x.pr written, the DTW comparer's match of
// the token against every reference (reading the files back), and the result
// file written, at 10, 100 and 500 references.  The token files are written
// as now (whole, stamped, no flush to disk) and, as the plain reference, as
// before (each file flushed to disk before its rename).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "common/DataTree.h"
#include "common/FileNames.h"
#include "common/ModuleState.h"
#include "common/ResultFile.h"
#include "common/WordSetFile.h"
#include "timewarp/DtwSession.h"

namespace {

using namespace talvor;
using namespace talvor::timewarp;

constexpr int kFeatures = 8;  // c1 to c8, as the main road ticks them
const std::vector<std::string> kDigits = {"zero", "one", "two", "three", "four",
                                          "five", "six", "seven", "eight", "nine"};

std::vector<float> randomFrames(std::mt19937* rng, int frames)
{
    std::normal_distribution<float> v(0.0f, 1.0f);
    std::vector<float> out(std::size_t(frames) * kFeatures);
    for (float& x : out)
        x = v(*rng);
    return out;
}

// A program folder with `references` random references in one word set, the
// DTW comparer configured on it for "Speak & Recognize (DTW)", and a token.
class Workload {
public:
    explicit Workload(int references)
    {
        char pattern[] = "/tmp/talvor-bench-XXXXXX";
        m_dir = ::mkdtemp(pattern) ? pattern : "";
        DataTree tree(m_dir);
        std::string error;
        if (m_dir.empty() || !tree.createVocabulary("digits", kDigits, &error) ||
            !tree.createWorkFolder("digits", "dtw", &error)) {
            std::fprintf(stderr, "cannot make the program folder: %s\n", error.c_str());
            std::exit(1);
        }
        m_work = tree.workFolder("digits", "dtw");
        std::mt19937 rng(3);
        std::vector<WordSetEntry> words;
        std::vector<float> values;
        for (int k = 0; k < references; ++k) {
            const int frames = 40 + k % 30;
            words.push_back({k, k % 10, frames, 0});
            const auto v = randomFrames(&rng, frames);
            values.insert(values.end(), v.begin(), v.end());
        }
        if (!writeWordSet(joinPath(m_work, "refs.LB"), joinPath(m_work, "refs.PR"), words, kFeatures, values,
                          LabelFileSpacing::WordSet, &error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            std::exit(1);
        }
        m_token = randomFrames(&rng, 55);
        InitDtwDefaults(m_state);
        m_state.appPath = m_dir;
        m_session = std::make_unique<timewarp::DtwSession>(m_state, m_module);
        std::vector<std::int16_t> flags(20, 0);
        for (int j = 0; j < kFeatures; ++j)
            flags[std::size_t(j)] = 1;
        bool modal = false;
        if (!m_session->LoadMode(8, "digits", "dtw", kFeatures, flags, {"refs"}, "") ||
            !m_session->LoadDTW(&modal)) {
            std::fprintf(stderr, "the DTW comparer refused its set-up\n");
            std::exit(1);
        }
    }
    ~Workload() { std::filesystem::remove_all(m_dir); }

    // The token written, matched and its word written as the result; the
    // recognised word's index.
    int deliver(bool flushed)
    {
        const WordSetEntry word{1, 0, 55, 0};
        const std::string lb = joinPath(m_work, "x.lb"), pr = joinPath(m_work, "x.pr");
        std::string error;
        bool written;
        if (flushed) {
            // As before: each file flushed to disk, no stamp.
            written = writeFeatureFile(pr, m_token, &error) &&
                      writeLabelFile(lb, std::span<const WordSetEntry>(&word, 1), LabelFileSpacing::Token, &error);
        } else {
            written = writeTokenWordSet(lb, pr, word, kFeatures, m_token, &error);
        }
        std::int32_t index = -1;
        if (!written || !m_session->GetRecogWord(index) || index < 0 ||
            !writeResultFile(m_dir, "result.txt", kDigits[std::size_t(index)], &error)) {
            std::fprintf(stderr, "the result was not delivered: %s\n", error.c_str());
            std::exit(1);
        }
        return index;
    }

private:
    std::string m_dir, m_work;
    std::vector<float> m_token;
    DtwComparerState m_state;
    ModuleState m_module;
    std::unique_ptr<timewarp::DtwSession> m_session;
};

Workload& workload(int references)
{
    static std::map<int, std::unique_ptr<Workload>> loads;
    auto& w = loads[references];
    if (!w) {
        w = std::make_unique<Workload>(references);
        // Both ways of writing the token lead to the same word.
        if (w->deliver(true) != w->deliver(false)) {
            std::fprintf(stderr, "the two token writers gave different results\n");
            std::exit(1);
        }
    }
    return *w;
}

void BM_TokenToResult(benchmark::State& state)
{
    Workload& w = workload(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(w.deliver(false));
}

void BM_TokenToResultFlushed(benchmark::State& state)
{
    Workload& w = workload(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(w.deliver(true));
}

BENCHMARK(BM_TokenToResult)->Arg(10)->Arg(100)->Arg(500)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TokenToResultFlushed)->Arg(10)->Arg(100)->Arg(500)->Unit(benchmark::kMicrosecond);

// The ratio of the plain reference's latency to the present one's, in wall
// time: the flush waits for the disk, not for the processor, so CPU time
// would hide what it costs.  Rounds of 20 deliveries of each in turn; the
// median of the rounds' ratios, with their range.
void printWallRatios()
{
    using Clock = std::chrono::steady_clock;
    std::printf("\nlatency from the token's end key to the result file (wall time, median of 9 rounds):\n");
    for (int references : {10, 100, 500}) {
        Workload& w = workload(references);
        std::vector<double> ratios, fastMs, plainMs;
        for (int round = 0; round < 9; ++round) {
            double t[2] = {0, 0};
            for (int k = 0; k < 2; ++k) {
                const bool flushed = (k + round) % 2 == 1;
                const auto start = Clock::now();
                for (int n = 0; n < 20; ++n)
                    benchmark::DoNotOptimize(w.deliver(flushed));
                t[flushed ? 1 : 0] = std::chrono::duration<double, std::milli>(Clock::now() - start).count() / 20;
            }
            fastMs.push_back(t[0]);
            plainMs.push_back(t[1]);
            ratios.push_back(t[1] / t[0]);
        }
        auto median = [](std::vector<double> v) {
            std::sort(v.begin(), v.end());
            return v[v.size() / 2];
        };
        std::printf("  %3d references: %.2f ms, flushed token files %.2f ms: %.1fx (rounds %.1f to %.1f)\n",
                    references, median(fastMs), median(plainMs), median(ratios),
                    *std::min_element(ratios.begin(), ratios.end()), *std::max_element(ratios.begin(), ratios.end()));
    }
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    printWallRatios();
    benchmark::Shutdown();
    return 0;
}
