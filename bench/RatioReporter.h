#pragma once

#include <benchmark/benchmark.h>

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
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && run.iterations > 0)
                times[run.benchmark_name()] =
                    run.GetAdjustedCPUTime() * (run.time_unit == benchmark::kMicrosecond ? 1e-3 : 1.0);
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
};
