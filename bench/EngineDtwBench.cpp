// ClassifyWordDTW: DTW cells per second of the column recursions against the
// full-matrix reference, for the Itakura and the band method.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "BenchRatio.h"
#include "AnalysisReference.h"
#include "engine/ClassifyDtw.h"

namespace {

using namespace talvor::engine;

constexpr int kDim = 16;
constexpr int kRefs = 20;
constexpr int kTestFrames = 90;
constexpr int kBand = 10;

struct Words {
    std::vector<float> tests = std::vector<float>(std::size_t(kDtwTestWords) * kDtwMaxValues);
    std::vector<std::int16_t> testFrames = std::vector<std::int16_t>(kDtwTestWords, 0);
    std::vector<float> refs = std::vector<float>(std::size_t(kDtwRefWords) * kDtwMaxValues);
    std::vector<std::int16_t> refFrames = std::vector<std::int16_t>(kDtwRefWords, 0);
    std::vector<std::vector<float>> refVectors;  // the same references, frame after frame
    std::vector<float> testVector;
    long long cells = 0;  // test frames x reference frames over all references

    Words()
    {
        std::mt19937 rng(3);
        std::normal_distribution<float> dist(0.0f, 1.0f);
        testVector.resize(std::size_t(kTestFrames * kDim));
        for (auto& v : testVector)
            v = dist(rng);
        for (std::size_t v = 0; v < testVector.size(); ++v)
            tests[kDtwTestWords * v] = testVector[v];
        testFrames[0] = kTestFrames;
        for (int r = 0; r < kRefs; ++r) {
            const int m = 70 + 2 * r;  // 70..108 frames, all within the Itakura limits
            std::vector<float> w(std::size_t(m * kDim));
            for (std::size_t v = 0; v < w.size(); ++v) {
                w[v] = dist(rng);
                refs[std::size_t(r) + kDtwRefWords * v] = w[v];
            }
            refFrames[std::size_t(r)] = static_cast<std::int16_t>(m);
            refVectors.push_back(std::move(w));
            cells += static_cast<long long>(kTestFrames) * m;
        }
    }
};

const Words& words()
{
    static const Words w;
    return w;
}

template <char Method>
void BM_ClassifyWordDtw(benchmark::State& state)
{
    const Words& w = words();
    std::vector<float> distances(kRefs);
    std::vector<std::int16_t> order(kRefs);
    for (auto _ : state) {
        benchmark::DoNotOptimize(classifyWordDtw(Method, kDim, kBand, 1, w.tests, w.testFrames, kRefs, w.refs,
                                                 w.refFrames, distances, order));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * w.cells);
    state.counters["cells/s"] = benchmark::Counter(double(state.iterations() * w.cells), benchmark::Counter::kIsRate);
}

// The same classification by the full-matrix recursions.
template <char Method>
void BM_FullMatrixReference(benchmark::State& state)
{
    const Words& w = words();
    std::vector<float> distances(kRefs);
    for (auto _ : state) {
        int best = -1;
        float bestDistance = kDtwUnreachable;
        for (int r = 0; r < kRefs; ++r) {
            const int m = w.refFrames[std::size_t(r)];
            const float d = Method == 'I'
                                ? reference::itakuraMatrix(w.testVector.data(), kTestFrames, w.refVectors[std::size_t(r)].data(), m, kDim)
                                : reference::generalMatrix(w.testVector.data(), kTestFrames, w.refVectors[std::size_t(r)].data(), m, kDim, kBand);
            distances[std::size_t(r)] = d;
            if (d < bestDistance) {
                bestDistance = d;
                best = r;
            }
        }
        benchmark::DoNotOptimize(best);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * w.cells);
    state.counters["cells/s"] = benchmark::Counter(double(state.iterations() * w.cells), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_ClassifyWordDtw<'I'>);
BENCHMARK(BM_FullMatrixReference<'I'>);
BENCHMARK(BM_ClassifyWordDtw<'N'>);
BENCHMARK(BM_FullMatrixReference<'N'>);

}  // namespace

int main(int argc, char** argv)
{
    return talvor::bench::runAndPrintRatios(argc, argv, {
        {"ClassifyWordDTW Itakura (cells per second)", {"BM_ClassifyWordDtw<'I'>", "BM_FullMatrixReference<'I'>"}},
        {"ClassifyWordDTW band (cells per second)", {"BM_ClassifyWordDtw<'N'>", "BM_FullMatrixReference<'N'>"}},
    });
}
