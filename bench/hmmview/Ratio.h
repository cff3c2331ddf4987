#pragma once
// Runs the registered benchmarks through the console reporter and then prints,
// for every pair registered as "<group>/Plain" and "<group>/Fast", how many
// times faster the fast path ran than the plain reference.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

namespace talvor::bench {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.iterations == 0)
                continue;
            const std::string name = run.benchmark_name();
            const std::size_t slash = name.find('/');
            if (slash == std::string::npos)
                continue;
            const std::string group = name.substr(0, slash);
            const std::string kind = name.substr(slash + 1, name.find('/', slash + 1) - slash - 1);
            const double perIteration = run.real_accumulated_time / static_cast<double>(run.iterations);
            m_times[group][kind] = perIteration;
        }
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        for (const auto& [group, kinds] : m_times) {
            const auto plain = kinds.find("Plain");
            const auto fast = kinds.find("Fast");
            if (plain != kinds.end() && fast != kinds.end() && fast->second > 0)
                std::printf("%s: fast path %.2fx the speed of the plain reference (%.3f ms vs %.3f ms)\n",
                            group.c_str(), plain->second / fast->second, fast->second * 1e3,
                            plain->second * 1e3);
        }
    }

private:
    std::map<std::string, std::map<std::string, double>> m_times;
};

inline int runWithRatios(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

}  // namespace talvor::bench
