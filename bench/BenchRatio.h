#pragma once
// A console reporter that remembers the time per iteration of every
// benchmark and, after the run, prints how many times faster each fast path
// is than its plain reference (both doing the same work per iteration).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace talvor::bench {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                m_times[run.benchmark_name()] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Prints "<label>: <reference time / fast time>x" for each pair.
    void printRatios(const std::vector<std::pair<std::string, std::pair<std::string, std::string>>>& pairs) const
    {
        std::printf("\n");
        for (const auto& [label, names] : pairs) {
            const auto fast = m_times.find(names.first);
            const auto plain = m_times.find(names.second);
            if (fast == m_times.end() || plain == m_times.end() || fast->second <= 0.0) {
                std::printf("%s: not measured (filtered out?)\n", label.c_str());
                continue;
            }
            std::printf("%s: %.1fx the speed of the plain reference\n", label.c_str(), plain->second / fast->second);
        }
    }

private:
    std::map<std::string, double> m_times;
};

// The main of a benchmark program: runs the benchmarks the command line
// selects, then prints the ratio of each (label, {fast, plain}) pair.
inline int runAndPrintRatios(int argc, char** argv,
                             const std::vector<std::pair<std::string, std::pair<std::string, std::string>>>& pairs)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios(pairs);
    benchmark::Shutdown();
    return 0;
}

}  // namespace talvor::bench
