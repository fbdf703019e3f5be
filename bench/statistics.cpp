// Daily summaries of a million datasets beside one plain pass that reads every value. The
// summary at the end prints the ratio of their fastest runs.
#include "history/Statistics.h"

#include "MillionDatasets.h"
#include "RatioReporter.h"

#include <benchmark/benchmark.h>

namespace {

void OnePass(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(SumOfEveryValue(MillionDatasets()));
}

void Summaries(benchmark::State& state, PeriodKind kind) {
    std::size_t count = 0;
    for (auto _ : state) {
        const std::vector<Summary> summaries = Summarize(MillionDatasets(), kind);
        count = summaries.size();
        benchmark::DoNotOptimize(summaries.data());
    }
    state.counters["summaries"] = double(count);
}

BENCHMARK(OnePass)->Unit(benchmark::kMillisecond)->Apply(RatioReporter::Repeat);
BENCHMARK_CAPTURE(Summaries, Daily, PeriodKind::Day)
    ->Unit(benchmark::kMillisecond)
    ->Apply(RatioReporter::Repeat);
BENCHMARK_CAPTURE(Summaries, Weekly, PeriodKind::Week)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Summaries, Yearly, PeriodKind::Year)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    MillionDatasets();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio("Summaries/Daily", "OnePass", 1.5);
    benchmark::Shutdown();
    return 0;
}
