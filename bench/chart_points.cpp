// Building a chart's points for a million datasets at 1920 pixels, beside its baseline: one plain
// pass over the same datasets that reads every value the chart plots. The summary at the end
// prints the ratio.
#include "history/ChartPoints.h"

#include "MillionDatasets.h"
#include "RatioReporter.h"

#include <benchmark/benchmark.h>
#include <vector>

namespace {

constexpr int Pixels = 1920;

const std::vector<CDataset>& Datasets() {
    return MillionDatasets();
}

void OnePass(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(SumOfEveryValue(Datasets()));
}

void ChartPoints(benchmark::State& state) {
    const std::vector<CDataset>& datasets = Datasets();
    const auto quantities = ChartQuantities(5);
    const auto span = HistorySpan(datasets);
    std::vector<ChartLine> lines;
    for (auto _ : state) {
        BuildChartLines(datasets, quantities, {span->first, span->last, Pixels}, lines);
        benchmark::DoNotOptimize(lines.data());
    }
    std::size_t points = 0;
    for (const ChartLine& line : lines)
        points += line.points.size();
    state.counters["points"] = static_cast<double>(points);
}

// A week out of the million: the binary search skips the rest.
void ChartPointsWeek(benchmark::State& state) {
    const std::vector<CDataset>& datasets = Datasets();
    const auto quantities = ChartQuantities(5);
    const auto span = HistorySpan(datasets);
    std::vector<ChartLine> lines;
    for (auto _ : state) {
        BuildChartLines(datasets, quantities, {span->last - 7, span->last, Pixels}, lines);
        benchmark::DoNotOptimize(lines.data());
    }
}

BENCHMARK(OnePass)->Unit(benchmark::kMillisecond);
BENCHMARK(ChartPoints)->Unit(benchmark::kMillisecond);
BENCHMARK(ChartPointsWeek)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    Datasets();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio("ChartPoints", "OnePass", 3);
    benchmark::Shutdown();
    return 0;
}
