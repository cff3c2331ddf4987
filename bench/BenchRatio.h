#pragma once
// What every benchmark program shares.
// - Rates: each benchmark runs in five repetitions, interleaved at random
//   with the repetitions of the others, and the console shows one line per
//   benchmark, its median repetition.
// - Ratios (PairTimer, Ratios): a fast path and its plain reference run in
//   turn, about 10 ms of each at a time, so that both meet the same load;
//   times are the thread's CPU time (time the scheduler gives to other
//   programs does not count), and the ratio printed is the median of sixteen
//   rounds' (half before the benchmarks, half after, each round on the next
//   processor), with their range.

#include <benchmark/benchmark.h>

#include <sched.h>
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

inline constexpr int kRatioRounds = 16;
inline constexpr int kRatioTries = 3;

// The rounds of one fast path against its plain reference (the same work).
// A round runs the two in turn kRatioTries times (fast first, then plain
// first, and so on), each time for about 10 ms of CPU time, and takes each
// one's shortest time per call: a time slice shared with another program
// (its caches and branch history refilled after every switch) is never the
// shortest.  Where one call takes more than 30 ms, a round runs each once.
// The ratio is the median of the rounds' ratios.
class PairTimer {
public:
    PairTimer(std::function<void()> fast, std::function<void()> plain, double seconds = 0.01)
        : m_fast(std::move(fast)), m_plain(std::move(plain))
    {
        // One call of each to warm up, and to size the runs.
        double longest = 0.0;
        m_fastCalls = callsFor(m_fast, seconds, &longest);
        m_plainCalls = callsFor(m_plain, seconds, &longest);
        m_tries = longest > 0.03 ? 1 : kRatioTries;
    }

    void round()
    {
        double f = 1e30, p = 1e30;
        for (int k = 0; k < m_tries; ++k, ++m_turn) {
            if (m_turn % 2 == 0) {
                f = std::min(f, time(m_fast, m_fastCalls));
                p = std::min(p, time(m_plain, m_plainCalls));
            } else {
                p = std::min(p, time(m_plain, m_plainCalls));
                f = std::min(f, time(m_fast, m_fastCalls));
            }
        }
        m_fastTimes.push_back(f);
        m_plainTimes.push_back(p);
        if (f > 0.0)
            m_ratios.push_back(p / f);
    }

    PairedRatio result() const
    {
        PairedRatio out;
        out.rounds = static_cast<int>(m_ratios.size());
        out.median = medianOf(m_ratios);
        if (!m_ratios.empty()) {
            out.low = *std::min_element(m_ratios.begin(), m_ratios.end());
            out.high = *std::max_element(m_ratios.begin(), m_ratios.end());
        }
        out.fastSeconds = medianOf(m_fastTimes);
        out.plainSeconds = medianOf(m_plainTimes);
        return out;
    }

private:
    static int callsFor(const std::function<void()>& work, double seconds, double* longest)
    {
        double t = threadSeconds();
        work();
        t = threadSeconds() - t;
        *longest = std::max(*longest, t);
        return t > 0.0 ? std::max(1, static_cast<int>(seconds / t)) : 1000;
    }
    static double time(const std::function<void()>& work, int n)
    {
        const double t = threadSeconds();
        for (int i = 0; i < n; ++i)
            work();
        return (threadSeconds() - t) / n;
    }

    std::function<void()> m_fast, m_plain;
    int m_fastCalls = 1, m_plainCalls = 1;
    int m_tries = kRatioTries;
    int m_turn = 0;
    std::vector<double> m_ratios, m_fastTimes, m_plainTimes;
};

// "<label>: <ratio>x ..." of a paired measurement.
inline void printPairedRatio(const std::string& label, const PairedRatio& r)
{
    std::printf("%s: %.2fx (median of %d rounds, CPU time; rounds %.2f to %.2f; %.4g ms against %.4g ms)\n",
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

// The ratios a program prints.  Half their rounds run before the program's
// benchmarks and half after (run(Phase::Before), run(Phase::After)), the
// pairs taking their rounds in turn and each round on the next processor, so
// that each ratio's rounds spread over the whole run and the whole machine
// and meet its load as it comes and goes.  Nothing
// runs when the command line filters the benchmarks.
class Ratios {
public:
    enum class Phase { Before, After };

    Ratios(int argc, char** argv, const std::vector<RatioPair>& pairs)
        : m_pairs(pairs), m_wanted(ratiosWanted(argc, argv))
    {
    }

    void run(Phase phase)
    {
        if (!m_wanted)
            return;
        if (m_timers.empty())
            for (const RatioPair& p : m_pairs)
                m_timers.emplace_back(p.fast, p.plain);
        // Each round on the next processor this thread may run on: one
        // processor can be slower than the others for a while (its sibling
        // on the host busy, its caches shared), and a thread tends to stay
        // where it is.
        cpu_set_t allowed;
        CPU_ZERO(&allowed);
        const bool pin = sched_getaffinity(0, sizeof allowed, &allowed) == 0 && CPU_COUNT(&allowed) > 1;
        std::vector<int> cpus;
        for (int c = 0; pin && c < CPU_SETSIZE; ++c)
            if (CPU_ISSET(c, &allowed))
                cpus.push_back(c);
        const int rounds = phase == Phase::Before ? kRatioRounds / 2 : kRatioRounds - kRatioRounds / 2;
        for (int r = 0; r < rounds; ++r, ++m_round) {
            if (!cpus.empty()) {
                cpu_set_t one;
                CPU_ZERO(&one);
                CPU_SET(cpus[std::size_t(m_round) % cpus.size()], &one);
                sched_setaffinity(0, sizeof one, &one);
            }
            for (PairTimer& t : m_timers)
                t.round();
        }
        if (pin)
            sched_setaffinity(0, sizeof allowed, &allowed);
    }

    void print() const
    {
        if (m_timers.empty())
            return;
        std::printf("\n");
        for (std::size_t k = 0; k < m_pairs.size(); ++k)
            printPairedRatio(m_pairs[k].label, m_timers[k].result());
    }

private:
    std::vector<RatioPair> m_pairs;
    bool m_wanted = false;
    int m_round = 0;
    std::vector<PairTimer> m_timers;
};

// The main of a benchmark program: runs the benchmarks the command line
// selects, then prints the ratio of each pair.
inline int runAndPrintRatios(int argc, char** argv, const std::vector<RatioPair>& pairs)
{
    if (!initialise(argc, argv))
        return 1;
    Ratios ratios(argc, argv, pairs);
    ratios.run(Ratios::Phase::Before);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    ratios.run(Ratios::Phase::After);
    ratios.print();
    benchmark::Shutdown();
    return 0;
}

}  // namespace talvor::bench
