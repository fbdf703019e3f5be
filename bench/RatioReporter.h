#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

// The console report, keeping each benchmark's CPU time per iteration (in milliseconds) so that a
// program can print how two of them compare. CPU time, because the wall clock of a shared build
// machine says more about the other jobs than about the code.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const bool fastest = run.run_type == Run::RT_Aggregate && run.aggregate_name == FastestName;
            if (!fastest && !(run.run_type == Run::RT_Iteration && run.iterations > 0))
                continue;
            const double time =
                run.GetAdjustedCPUTime() * (run.time_unit == benchmark::kMicrosecond ? 1e-3 : 1.0);
            const std::string name = NameOf(run);
            const auto known = times.find(name);
            times[name] = known == times.end() ? time : std::min(known->second, time);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // "name / baseline = 1.23  (aim <= 1.5)  ok", when both ran.
    void PrintRatio(const char* name, const char* baseline, double aim) const {
        const auto a = times.find(name), b = times.find(baseline);
        if (a == times.end() || b == times.end() || b->second <= 0)
            return;
        const double ratio = a->second / b->second;
        std::printf("\n%s / %s = %5.2f  (aim <= %.1f)  %s\n", name, baseline, ratio, aim,
                    ratio <= aim ? "ok" : "OVER");
    }

    std::map<std::string, double> times;

    // Runs a benchmark several times and shows the mean, median, spread and fastest time; the
    // ratio takes the fastest of each, as on a shared machine other jobs only ever slow a run.
    static void Repeat(benchmark::internal::Benchmark* benchmark) {
        benchmark->Repetitions(5)->DisplayAggregatesOnly()->ComputeStatistics(
            FastestName,
            [](const std::vector<double>& times) { return *std::min_element(times.begin(), times.end()); });
    }

private:
    static constexpr const char* FastestName = "fastest";

    // The name without what repetitions add to it, the same for every run of a benchmark.
    static std::string NameOf(const Run& run) {
        return run.run_name.args.empty() ? run.run_name.function_name
                                         : run.run_name.function_name + "/" + run.run_name.args;
    }
};
