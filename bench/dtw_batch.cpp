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
// times 20.  fast/<case>/<method> runs at the machine's own level,
// level/<name>/... at each lower level.  At the end each case prints how many
// times faster the fast path is than the plain recurrence.
#include <benchmark/benchmark.h>

#include <bit>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

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
    for (talvor::isa::Level level : talvor::isa::kAllLevels) {
        if (level > talvor::isa::supportedLevel())
            continue;
        talvor::isa::ScopedCeiling ceiling(level);
        MatchAllReferences(s, 1);
        for (int r = 1; r <= s.referenceTotal; ++r) {
            const float fast = s.batch[std::size_t(r)].score;
            if (std::bit_cast<std::uint32_t>(plain[std::size_t(r)]) != std::bit_cast<std::uint32_t>(fast)) {
                std::fprintf(stderr,
                             "%s %c at %s: reference %d scores %.9g by the fast path, %.9g by the plain recurrence\n",
                             caseName, method, talvor::isa::levelName(level), r, double(fast),
                             double(plain[std::size_t(r)]));
                return false;
            }
        }
    }
    std::printf("%-8s %c: %d scores identical bit for bit at every level up to %s (%d allowed), best reference %d\n",
                caseName, method, s.referenceTotal, talvor::isa::levelName(talvor::isa::supportedLevel()), allowed,
                s.best.reference);
    return true;
}

void setRates(benchmark::State& state, const DtwWordStore& s, char method)
{
    const double cells = cellsPerBatch(s, method);
    state.counters["cells/s"] = benchmark::Counter(cells, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["cells_x_features/s"] =
        benchmark::Counter(cells * kFeatures, benchmark::Counter::kIsIterationInvariantRate);
}

void fastBatch(benchmark::State& state, DtwWordStore* s, char method, talvor::isa::Level level)
{
    talvor::isa::ScopedCeiling ceiling(level);
    s->method = method;
    MatchAllReferences(*s, 1);  // lays the references out once
    for (auto _ : state) {
        benchmark::DoNotOptimize(MatchAllReferences(*s, 1));
        benchmark::ClobberMemory();
    }
    setRates(state, *s, method);
}

void plainBatch(benchmark::State& state, DtwWordStore* s, char method)
{
    s->method = method;
    for (auto _ : state) {
        float best = kForbidden;
        for (int r = 1; r <= s->referenceTotal; ++r) {
            const float score = plainScore(*s, method, r);
            if (score < best)
                best = score;
        }
        benchmark::DoNotOptimize(best);
    }
    setRates(state, *s, method);
}

// Console output plus the times kept by name, for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                times[run.benchmark_name()] = run.GetAdjustedRealTime();
    }
    std::map<std::string, double> times;
};

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    std::vector<std::unique_ptr<DtwWordStore>> stores;
    const char methods[] = {'I', 'N', 'L'};
    bool identical = true;
    for (const Case& c : kCases) {
        stores.push_back(makeStore(c));
        DtwWordStore* s = stores.back().get();
        for (char m : methods) {
            identical = scoresIdentical(*s, m, c.name) && identical;
            const std::string tag = std::string(c.name) + "/" + m;
            const talvor::isa::Level top = talvor::isa::supportedLevel();
            benchmark::RegisterBenchmark(("fast/" + tag).c_str(), fastBatch, s, m, top)->Unit(benchmark::kMicrosecond);
            benchmark::RegisterBenchmark(("plain/" + tag).c_str(), plainBatch, s, m)->Unit(benchmark::kMicrosecond);
            for (talvor::isa::Level level : talvor::isa::kAllLevels)
                if (level < top)
                    benchmark::RegisterBenchmark(
                        ("level/" + std::string(talvor::isa::levelName(level)) + "/" + tag).c_str(), fastBatch, s, m,
                        level)
                        ->Unit(benchmark::kMicrosecond);
        }
    }
    if (!identical) {
        std::fprintf(stderr, "the fast path's scores differ from the plain recurrence\n");
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const Case& c : kCases) {
        for (char m : methods) {
            const std::string tag = std::string(c.name) + "/" + m;
            const auto fast = reporter.times.find("fast/" + tag), plain = reporter.times.find("plain/" + tag);
            if (fast != reporter.times.end() && plain != reporter.times.end() && fast->second > 0)
                std::printf("ratio %-10s plain / fast = %.2f\n", tag.c_str(), plain->second / fast->second);
        }
    }
    benchmark::Shutdown();
    return 0;
}
