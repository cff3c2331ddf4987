#pragma once
// What every benchmark program shares.
// - Rates: each benchmark runs in five repetitions, interleaved at random
//   with the repetitions of the others, and the console shows one line per
//   benchmark, its median repetition.
// - Ratios (pairedRatio): a fast path and its plain reference run in turn, in
//   rounds of some tens of milliseconds each, so that both meet the same load;
//   each round's ratio comes from the thread's CPU time (time the scheduler
//   gives to other programs does not count), and the ratio printed is the
//   median of the rounds', with their range.

#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace talvor::bench {

inline constexpr int kRepetitions = 5;

class MedianReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        std::vector<Run> shown;
        for (const Run& run : runs) {
            if (run.error_occurred) {
                if (run.repetition_index <= 0)
                    shown.push_back(run);
                continue;
            }
            if (run.run_type == Run::RT_Iteration) {
                if (run.iterations > 0)
                    m_cpu[run.benchmark_name()].push_back(run.cpu_accumulated_time /
                                                          static_cast<double>(run.iterations));
                if (run.repetitions <= 1)
                    shown.push_back(run);
            } else if (run.aggregate_name == "median") {
                shown.push_back(run);
            }
        }
        if (!shown.empty())
            ConsoleReporter::ReportRuns(shown);
    }

    // The median CPU seconds per iteration of a benchmark's repetitions; 0
    // when it did not run (filtered out, skipped or failed).
    double median(const std::string& name) const
    {
        const auto found = m_cpu.find(name);
        if (found == m_cpu.end() || found->second.empty())
            return 0.0;
        std::vector<double> t = found->second;
        std::sort(t.begin(), t.end());
        const std::size_t n = t.size();
        return n % 2 == 1 ? t[n / 2] : 0.5 * (t[n / 2 - 1] + t[n / 2]);
    }

    // The benchmarks that ran, by name.
    std::vector<std::string> names() const
    {
        std::vector<std::string> all;
        for (const auto& entry : m_cpu)
            all.push_back(entry.first);
        return all;
    }

    int repetitions(const std::string& name) const
    {
        const auto found = m_cpu.find(name);
        return found == m_cpu.end() ? 0 : static_cast<int>(found->second.size());
    }

private:
    std::map<std::string, std::vector<double>> m_cpu;
};

// CPU seconds this thread has run.
inline double threadSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

struct PairedRatio {
    double median = 0.0;       // of the rounds' plain / fast ratios
    double low = 0.0, high = 0.0;
    int rounds = 0;
    double fastSeconds = 0.0;  // per call, median of the rounds
    double plainSeconds = 0.0;
};

inline double medianOf(std::vector<double> v)
{
    if (v.empty())
        return 0.0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

inline constexpr int kRatioRounds = 9;

// fast() and plain() (the same work) in `rounds` rounds of about `seconds`
// of CPU time each, in turn (fast first in even rounds, plain first in odd
// ones), after one call of each to warm up.
template <class Fast, class Plain>
PairedRatio pairedRatio(Fast&& fast, Plain&& plain, int rounds = kRatioRounds, double seconds = 0.03)
{
    const auto calls = [&](auto& work) {
        double t = threadSeconds();
        work();
        t = threadSeconds() - t;
        return t > 0.0 ? std::max(1, static_cast<int>(seconds / t)) : 1000;
    };
    const int fastCalls = calls(fast), plainCalls = calls(plain);
    const auto time = [](auto& work, int n) {
        const double t = threadSeconds();
        for (int i = 0; i < n; ++i)
            work();
        return (threadSeconds() - t) / n;
    };
    std::vector<double> ratios, fastTimes, plainTimes;
    for (int r = 0; r < rounds; ++r) {
        double f = 0.0, p = 0.0;
        if (r % 2 == 0) {
            f = time(fast, fastCalls);
            p = time(plain, plainCalls);
        } else {
            p = time(plain, plainCalls);
            f = time(fast, fastCalls);
        }
        fastTimes.push_back(f);
        plainTimes.push_back(p);
        if (f > 0.0)
            ratios.push_back(p / f);
    }
    PairedRatio out;
    out.rounds = static_cast<int>(ratios.size());
    out.median = medianOf(ratios);
    if (!ratios.empty()) {
        out.low = *std::min_element(ratios.begin(), ratios.end());
        out.high = *std::max_element(ratios.begin(), ratios.end());
    }
    out.fastSeconds = medianOf(fastTimes);
    out.plainSeconds = medianOf(plainTimes);
    return out;
}

// "<label>: <ratio>x ..." of a paired measurement.
inline void printPairedRatio(const std::string& label, const PairedRatio& r)
{
    std::printf("%s: %.2fx (median of %d rounds in turn, CPU time; rounds %.2f to %.2f; %.4g ms against %.4g ms)\n",
                label.c_str(), r.median, r.rounds, r.low, r.high, r.fastSeconds * 1e3, r.plainSeconds * 1e3);
}

// Runs the benchmark program's paired ratios unless the command line filters
// the benchmarks (then only the benchmarks run).
inline bool ratiosWanted(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]).rfind("--benchmark_filter", 0) == 0 ||
            std::string(argv[i]).rfind("--benchmark_list_tests", 0) == 0)
            return false;
    return true;
}

// benchmark::Initialize with this project's defaults in front of the command
// line (whose own flags win): kRepetitions repetitions, interleaved at random,
// at least 0.1 s each.  The command line itself is left as it is.  False
// (after a message) for an argument it does not know.
inline bool initialise(int argc, char** argv)
{
    static std::vector<std::string> defaults = {
        "--benchmark_repetitions=" + std::to_string(kRepetitions),
        "--benchmark_enable_random_interleaving=true",
        "--benchmark_min_time=0.1",
    };
    static std::vector<char*> args;
    args.assign(argv, argv + 1);
    for (std::string& d : defaults)
        args.push_back(d.data());
    args.insert(args.end(), argv + 1, argv + argc);
    args.push_back(nullptr);
    int count = static_cast<int>(args.size()) - 1;
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return false;
    return true;
}

// One ratio a program prints: its label, and one call of the fast path and
// of its plain reference (the same work).
struct RatioPair {
    std::string label;
    std::function<void()> fast, plain;
};

// Prints each pair's paired ratio (unless the benchmarks are filtered).
inline void printRatios(int argc, char** argv, const std::vector<RatioPair>& pairs)
{
    if (!ratiosWanted(argc, argv))
        return;
    std::printf("\n");
    for (const RatioPair& p : pairs)
        printPairedRatio(p.label, pairedRatio(p.fast, p.plain));
}

// The main of a benchmark program: runs the benchmarks the command line
// selects, then prints the ratio of each pair.
inline int runAndPrintRatios(int argc, char** argv, const std::vector<RatioPair>& pairs)
{
    if (!initialise(argc, argv))
        return 1;
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printRatios(argc, argv, pairs);
    benchmark::Shutdown();
    return 0;
}

}  // namespace talvor::bench
