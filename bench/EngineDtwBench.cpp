// ClassifyWordDTW: local-distance cells per second on one core of the
// classifier (references side by side in wide vectors, at the level it chose
// and forced to each level the machine supports), of the plain column
// recursions it replaced, and of the full-matrix reference, for the Itakura
// and the band method.  Every distance is checked bit for bit against the
// plain recursions first.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "BenchRatio.h"
#include "AnalysisReference.h"
#include "BenchLevel.h"
#include "common/IsaLevel.h"
#include "engine/ClassifyDtw.h"

namespace {

using namespace talvor::engine;
namespace isa = talvor::isa;

// A 100-frame test word against 100 references of 80..120 frames, 20
// coefficients per frame, band 10.
constexpr int kDim = 20;
constexpr int kRefs = 100;
constexpr int kTestFrames = 100;
constexpr int kBand = 10;

// The cells a recursion computes a local distance for.
long long cellsOf(char method, int n, int m)
{
    if (method == 'I' && (2 * m < n || 2 * n - 1 < m))
        return 0;
    long long cells = method == 'I' ? 1 : std::max(1, std::min(bandLimits('N', 0, n, m, kBand).high, m));
    for (int i = 2; i <= n; ++i) {
        const BandLimits b = bandLimits(method, i, n, m, method == 'N' ? kBand : 0);
        if (b.low > b.high)
            break;
        cells += b.high - b.low + 1;
    }
    return cells;
}

struct Words {
    std::vector<float> tests = std::vector<float>(std::size_t(kDtwTestWords) * kDtwMaxValues);
    std::vector<std::int16_t> testFrames = std::vector<std::int16_t>(kDtwTestWords, 0);
    std::vector<float> refs = std::vector<float>(std::size_t(kDtwRefWords) * kDtwMaxValues);
    std::vector<std::int16_t> refFrames = std::vector<std::int16_t>(kDtwRefWords, 0);
    std::vector<std::vector<float>> refVectors;  // the same references, frame after frame
    std::vector<float> testVector;

    Words()
    {
        std::mt19937 rng(3);
        std::normal_distribution<float> dist(0.0f, 1.0f);
        std::uniform_int_distribution<int> frames(80, 120);
        testVector.resize(std::size_t(kTestFrames * kDim));
        for (auto& v : testVector)
            v = dist(rng);
        for (std::size_t v = 0; v < testVector.size(); ++v)
            tests[kDtwTestWords * v] = testVector[v];
        testFrames[0] = kTestFrames;
        for (int r = 0; r < kRefs; ++r) {
            const int m = frames(rng);
            std::vector<float> w(std::size_t(m * kDim));
            for (std::size_t v = 0; v < w.size(); ++v) {
                w[v] = dist(rng);
                refs[std::size_t(r) + kDtwRefWords * v] = w[v];
            }
            refFrames[std::size_t(r)] = static_cast<std::int16_t>(m);
            refVectors.push_back(std::move(w));
        }
    }

    long long cells(char method) const
    {
        long long total = 0;
        for (int r = 0; r < kRefs; ++r)
            total += cellsOf(method, kTestFrames, refFrames[std::size_t(r)]);
        return total;
    }

    float plain(char method, int r) const
    {
        const auto& w = refVectors[std::size_t(r)];
        const int m = refFrames[std::size_t(r)];
        return method == 'I' ? dtwItakura(testVector.data(), kTestFrames, w.data(), m, kDim)
                             : dtwGeneral(testVector.data(), kTestFrames, w.data(), m, kDim, kBand);
    }
};

const Words& words()
{
    static const Words w;
    return w;
}

void setCells(benchmark::State& state, char method)
{
    const double cells = double(state.iterations()) * double(words().cells(method));
    state.SetItemsProcessed(static_cast<std::int64_t>(cells));
    state.counters["cells/s"] = benchmark::Counter(cells, benchmark::Counter::kIsRate);
}

// Before anything is timed: the classifier at the level it chose and at
// every level the machine supports against the plain recursions and the full
// matrix, bit for bit.
void checkBitIdentity()
{
    const Words& w = words();
    std::vector<float> distances(kRefs);
    std::vector<std::int16_t> order(kRefs);
    for (char method : {'I', 'N'}) {
        talvor::bench::atEveryLevel([&](const char* levelName) {
            classifyWordDtw(method, kDim, kBand, 1, w.tests, w.testFrames, kRefs, w.refs, w.refFrames, distances,
                            order);
            for (int r = 0; r < kRefs; ++r) {
                const auto& ref = w.refVectors[std::size_t(r)];
                const int m = w.refFrames[std::size_t(r)];
                const float plain = w.plain(method, r);
                const float matrix =
                    method == 'I' ? reference::itakuraMatrix(w.testVector.data(), kTestFrames, ref.data(), m, kDim)
                                  : reference::generalMatrix(w.testVector.data(), kTestFrames, ref.data(), m, kDim, kBand);
                if (std::memcmp(&distances[std::size_t(r)], &plain, sizeof plain) != 0 ||
                    std::memcmp(&plain, &matrix, sizeof plain) != 0) {
                    std::fprintf(stderr, "bench_engine_dtw: method %c at %s, reference %d: %.9g, plain %.9g, matrix %.9g\n",
                                 method, levelName, r, double(distances[std::size_t(r)]), double(plain),
                                 double(matrix));
                    std::exit(1);
                }
            }
        });
    }
    std::printf("bit-identity: every distance of the classifier equals the plain recursions' at every level\n");
}

// One classification of the test word.
template <char Method>
void classifyOnce()
{
    const Words& w = words();
    static std::vector<float> distances(kRefs);
    static std::vector<std::int16_t> order(kRefs);
    benchmark::DoNotOptimize(
        classifyWordDtw(Method, kDim, kBand, 1, w.tests, w.testFrames, kRefs, w.refs, w.refFrames, distances, order));
    benchmark::ClobberMemory();
}

template <char Method>
void runClassifier(benchmark::State& state)
{
    for (auto _ : state)
        classifyOnce<Method>();
    setCells(state, Method);
}

// The classifier at the level it chose on this machine.
template <char Method>
void BM_ClassifyWordDtwChosen(benchmark::State& state)
{
    state.SetLabel(isa::levelName(static_cast<isa::Level>(classifierKernelLevel(Method))));
    runClassifier<Method>(state);
}

// The classifier forced to the level given by the argument.
template <char Method>
void BM_ClassifyWordDtw(benchmark::State& state)
{
    const talvor::bench::BenchLevel level(state);
    if (level.supported())
        runClassifier<Method>(state);
}

// The reference of the lowest distance, the first of equals (as the classifier
// ranks them), for the references' distances one after the other.
template <class Distance>
int bestReference(Distance distanceOf)
{
    int best = -1;
    float bestDistance = kDtwUnreachable;
    for (int r = 0; r < kRefs; ++r) {
        const float d = distanceOf(r);
        if (d < bestDistance) {
            bestDistance = d;
            best = r;
        }
    }
    return best;
}

// The same classification as the classifier did it before its fast path:
// each reference copied out of the layout frame after frame, then the plain
// column recursion, one reference after the other.
template <char Method>
void plainColumnsOnce()
{
    const Words& w = words();
    static std::vector<float> ref;
    benchmark::DoNotOptimize(bestReference([&](int r) {
        const int m = w.refFrames[std::size_t(r)];
        ref.resize(std::size_t(m) * kDim);
        for (std::size_t v = 0; v < ref.size(); ++v)
            ref[v] = w.refs[std::size_t(r) + std::size_t(kDtwRefWords) * v];
        return Method == 'I' ? dtwItakura(w.testVector.data(), kTestFrames, ref.data(), m, kDim)
                             : dtwGeneral(w.testVector.data(), kTestFrames, ref.data(), m, kDim, kBand);
    }));
    benchmark::ClobberMemory();
}

template <char Method>
void BM_PlainColumns(benchmark::State& state)
{
    for (auto _ : state)
        plainColumnsOnce<Method>();
    setCells(state, Method);
}

// And by the full-matrix recursions.
template <char Method>
void fullMatrixOnce()
{
    const Words& w = words();
    benchmark::DoNotOptimize(bestReference([&](int r) {
        const int m = w.refFrames[std::size_t(r)];
        const auto& ref = w.refVectors[std::size_t(r)];
        return Method == 'I' ? reference::itakuraMatrix(w.testVector.data(), kTestFrames, ref.data(), m, kDim)
                             : reference::generalMatrix(w.testVector.data(), kTestFrames, ref.data(), m, kDim, kBand);
    }));
    benchmark::ClobberMemory();
}

template <char Method>
void BM_FullMatrixReference(benchmark::State& state)
{
    for (auto _ : state)
        fullMatrixOnce<Method>();
    setCells(state, Method);
}

BENCHMARK(BM_ClassifyWordDtwChosen<'I'>);
BENCHMARK(BM_ClassifyWordDtw<'I'>)->DenseRange(0, 3)->ArgName("level");
BENCHMARK(BM_PlainColumns<'I'>);
BENCHMARK(BM_FullMatrixReference<'I'>);
BENCHMARK(BM_ClassifyWordDtwChosen<'N'>);
BENCHMARK(BM_ClassifyWordDtw<'N'>)->DenseRange(0, 3)->ArgName("level");
BENCHMARK(BM_PlainColumns<'N'>);
BENCHMARK(BM_FullMatrixReference<'N'>);

}  // namespace

int main(int argc, char** argv)
{
    checkBitIdentity();
    std::printf("levels chosen on this machine: Itakura %s, band %s\n",
                isa::levelName(static_cast<isa::Level>(classifierKernelLevel('I'))),
                isa::levelName(static_cast<isa::Level>(classifierKernelLevel('N'))));
    return talvor::bench::runAndPrintRatios(argc, argv, {
        {"ClassifyWordDTW Itakura, the level chosen, against the plain columns", classifyOnce<'I'>,
         plainColumnsOnce<'I'>},
        {"ClassifyWordDTW Itakura, the level chosen, against the full matrix", classifyOnce<'I'>,
         fullMatrixOnce<'I'>},
        {"ClassifyWordDTW band, the level chosen, against the plain columns", classifyOnce<'N'>,
         plainColumnsOnce<'N'>},
        {"ClassifyWordDTW band, the level chosen, against the full matrix", classifyOnce<'N'>, fullMatrixOnce<'N'>},
    });
}
