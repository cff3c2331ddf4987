// Batch DTW: one test word against 5 x 51 references, by each method, with the
// batch match (references side by side in vector lanes) against the plain
// cell-by-cell recurrence in the same run.  Before timing, every reference's
// score of both forms is compared bit for bit at every instruction-set level
// the machine runs; any difference ends the program with a failure.
//
//   typical:  test word of 100 frames, references of 80..120 frames
//   worst:    test word and references of 200 frames
//
// cells/s counts local distances per second on one core (the cells the band
// allows, each a sum over the 20 features); cells_x_features/s is the same
// times 20.  fast/<case>/<method> runs at the level the method's kernel
// chose on this machine, level/<name>/... forced to each level the machine
// supports.  At the end each case prints how many times faster the fast path
// is than the plain recurrence (median CPU times, BenchRatio.h).
#include <benchmark/benchmark.h>

#include <bit>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "BenchLevel.h"
#include "BenchRatio.h"
#include "common/IsaLevel.h"
#include "timewarp/DtwMatch.h"

using namespace talvor::timewarp;

namespace {

constexpr int kFeatures = 20;
constexpr int kReferences = 5 * 51;

struct Case {
    const char* name;
    int testFrames;
    int refLo, refHi;  // reference lengths drawn from lo..hi
};
const Case kCases[] = {{"typical", 100, 80, 120}, {"worst", 200, 200, 200}};

std::unique_ptr<DtwWordStore> makeStore(const Case& c)
{
    auto s = std::make_unique<DtwWordStore>();
    s->setNFeat(kFeatures);
    std::mt19937 rng(4711);
    auto value = [&] { return float(int(rng() % 20001) - 10000) * 0.0005f; };
    std::vector<float> v(std::size_t(c.testFrames) * kFeatures);
    for (float& x : v)
        x = value();
    s->storeTestWord(1, {1, 0, 0, std::int16_t(c.testFrames)}, v);
    s->testWordCount = 1;
    for (int r = 1; r <= kReferences; ++r) {
        const int M = c.refLo + int(rng() % unsigned(c.refHi - c.refLo + 1));
        v.assign(std::size_t(M) * kFeatures, 0.0f);
        for (float& x : v)
            x = value();
        s->storeReference(r, {std::int16_t((r - 1) / 51 + 1), std::int16_t(r), std::int16_t((r - 1) % 51),
                              std::int16_t(M)},
                          v);
    }
    s->referenceTotal = kReferences;
    return s;
}

float plainScore(DtwWordStore& s, char method, int r)
{
    const int N = s.testWord(1).frames, M = s.reference(r).frames;
    switch (method) {
    case 'I': return ItakuraScore(s, 1, N, r, M);
    case 'N': return GeneralScore(s, 1, N, r, M);
    default: return LinearScore(s, 1, N, r, M);
    }
}

// Local distances one batch computes: the cells of every reference's band.
double cellsPerBatch(const DtwWordStore& s, char method)
{
    const int N = s.testWord(1).frames;
    double cells = 0;
    for (int r = 1; r <= s.referenceTotal; ++r) {
        const int M = s.reference(r).frames;
        if (method == 'L') {
            cells += N;
        } else if (method == 'I') {
            if (N > 2 * M || M > 2 * N - 1)
                continue;
            cells += 1;
            for (int i = 2; i <= N; ++i) {
                const Band b = WarpBand('I', i, N, M, 0);
                cells += b.hi - b.lo + 1;
            }
        } else {
            cells += N == 1 ? WarpBand('N', 1, N, M, s.bandRange).hi
                            : std::max(1, int(WarpBand('N', 0, N, M, s.bandRange).hi));
            for (int i = 2; i <= N; ++i) {
                const Band b = WarpBand('N', i, N, M, s.bandRange);
                cells += b.hi - b.lo + 1;
            }
        }
    }
    return cells;
}

bool scoresIdentical(DtwWordStore& s, char method, const char* caseName)
{
    s.method = method;
    std::vector<float> plain(std::size_t(s.referenceTotal) + 1);
    int allowed = 0;
    for (int r = 1; r <= s.referenceTotal; ++r) {
        plain[std::size_t(r)] = plainScore(s, method, r);
        allowed += plain[std::size_t(r)] < kForbidden;
    }
    bool identical = true;
    talvor::bench::atEveryLevel([&](const char* levelName) {
        MatchAllReferences(s, 1);
        for (int r = 1; r <= s.referenceTotal && identical; ++r) {
            const float fast = s.batch[std::size_t(r)].score;
            if (std::bit_cast<std::uint32_t>(plain[std::size_t(r)]) != std::bit_cast<std::uint32_t>(fast)) {
                std::fprintf(stderr,
                             "%s %c at %s: reference %d scores %.9g by the fast path, %.9g by the plain recurrence\n",
                             caseName, method, levelName, r, double(fast), double(plain[std::size_t(r)]));
                identical = false;
            }
        }
    });
    if (!identical)
        return false;
    std::printf("%-8s %c: %d scores identical bit for bit at the level chosen (%s) and every level up to %s "
                "(%d allowed), best reference %d\n",
                caseName, method, s.referenceTotal,
                talvor::isa::levelName(static_cast<talvor::isa::Level>(batchKernelLevel(method))),
                talvor::isa::levelName(talvor::isa::supportedLevel()), allowed, s.best.reference);
    return true;
}

void setRates(benchmark::State& state, const DtwWordStore& s, char method)
{
    const double cells = cellsPerBatch(s, method);
    state.counters["cells/s"] = benchmark::Counter(cells, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["cells_x_features/s"] =
        benchmark::Counter(cells * kFeatures, benchmark::Counter::kIsIterationInvariantRate);
}

void runBatch(benchmark::State& state, DtwWordStore* s, char method)
{
    s->method = method;
    MatchAllReferences(*s, 1);  // lays the references out once
    for (auto _ : state) {
        benchmark::DoNotOptimize(MatchAllReferences(*s, 1));
        benchmark::ClobberMemory();
    }
    setRates(state, *s, method);
}

void fastBatch(benchmark::State& state, DtwWordStore* s, char method)
{
    state.SetLabel(talvor::isa::levelName(static_cast<talvor::isa::Level>(batchKernelLevel(method))));
    runBatch(state, s, method);
}

void batchAtLevel(benchmark::State& state, DtwWordStore* s, char method, talvor::isa::Level level)
{
    const talvor::isa::ScopedCeiling ceiling(level);
    runBatch(state, s, method);
}

// The best score by the plain recurrence, reference after reference.
void plainOnce(DtwWordStore& s, char method)
{
    s.method = method;
    float best = kForbidden;
    for (int r = 1; r <= s.referenceTotal; ++r) {
        const float score = plainScore(s, method, r);
        if (score < best)
            best = score;
    }
    benchmark::DoNotOptimize(best);
}

void plainBatch(benchmark::State& state, DtwWordStore* s, char method)
{
    for (auto _ : state)
        plainOnce(*s, method);
    setRates(state, *s, method);
}

}  // namespace

int main(int argc, char** argv)
{
    if (!talvor::bench::initialise(argc, argv))
        return 1;
    std::vector<std::unique_ptr<DtwWordStore>> stores;
    const char methods[] = {'I', 'N', 'L'};
    bool identical = true;
    for (const Case& c : kCases) {
        stores.push_back(makeStore(c));
        DtwWordStore* s = stores.back().get();
        for (char m : methods) {
            identical = scoresIdentical(*s, m, c.name) && identical;
            const std::string tag = std::string(c.name) + "/" + m;
            benchmark::RegisterBenchmark(("fast/" + tag).c_str(), fastBatch, s, m)->Unit(benchmark::kMicrosecond);
            benchmark::RegisterBenchmark(("plain/" + tag).c_str(), plainBatch, s, m)->Unit(benchmark::kMicrosecond);
            for (talvor::isa::Level level : talvor::isa::kAllLevels)
                if (level <= talvor::isa::supportedLevel())
                    benchmark::RegisterBenchmark(
                        ("level/" + std::string(talvor::isa::levelName(level)) + "/" + tag).c_str(), batchAtLevel,
                        s, m, level)
                        ->Unit(benchmark::kMicrosecond);
        }
    }
    if (!identical) {
        std::fprintf(stderr, "the fast path's scores differ from the plain recurrence\n");
        return 1;
    }
    std::vector<talvor::bench::RatioPair> pairs;
    for (std::size_t k = 0; k < stores.size(); ++k) {
        DtwWordStore* s = stores[k].get();
        for (char m : methods)
            pairs.push_back({"ratio " + std::string(kCases[k].name) + "/" + m + " plain / fast",
                             [s, m] {
                                 s->method = m;
                                 benchmark::DoNotOptimize(MatchAllReferences(*s, 1));
                             },
                             [s, m] { plainOnce(*s, m); }});
    }
    talvor::bench::Ratios ratios(argc, argv, pairs);
    ratios.run(talvor::bench::Ratios::Phase::Before);
    talvor::bench::MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    ratios.run(talvor::bench::Ratios::Phase::After);
    ratios.print();
    benchmark::Shutdown();
    return 0;
}
