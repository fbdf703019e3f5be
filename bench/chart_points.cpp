// Building a chart's points for a million datasets at 1920 pixels, beside its baseline: one plain
// pass over the same datasets that reads every value the chart plots. The summary at the end
// prints the ratio.
#include "history/ChartPoints.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr std::size_t DatasetCount = 1'000'000;
constexpr int Pixels = 1920;

// Five transmitters every five minutes; every 997th outdoor 3 reading is not available.
const std::vector<CDataset>& Datasets() {
    static const std::vector<CDataset> datasets = [] {
        std::vector<CDataset> d(DatasetCount);
        const double start = CDateTime(2005, 1, 17, 14, 5, 0).Value();
        for (std::size_t i = 0; i < DatasetCount; ++i) {
            d[i].SetDateTime(CDateTime(start + static_cast<double>(i) * 5 / 1440.0));
            for (int s = 0; s < CDataset::SensorCount; ++s) {
                d[i].SetTemperature(
                    s, static_cast<float>((i * 7 + static_cast<std::size_t>(s) * 13) % 400) / 10.0f - 10);
                d[i].SetHumidity(s, static_cast<float>(30 + (i + static_cast<std::size_t>(s)) % 60));
            }
            if (i % 997 == 0)
                d[i].SetTemperature(3, CDataset::TemperatureNotAvailable);
        }
        return d;
    }();
    return datasets;
}

void OnePass(benchmark::State& state) {
    const std::vector<CDataset>& datasets = Datasets();
    const auto quantities = ChartQuantities(5);
    for (auto _ : state) {
        double sum = 0;
        for (const CDataset& d : datasets) {
            sum += d.GetDateTime().Value();
            for (const ChartQuantity& q : quantities)
                sum += q.ValueOf(d);
        }
        benchmark::DoNotOptimize(sum);
    }
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

// Keeps each benchmark's time per iteration for the summary.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && run.iterations > 0)
                times[run.benchmark_name()] =
                    run.GetAdjustedRealTime() * (run.time_unit == benchmark::kMicrosecond ? 1e-3 : 1.0);
        ConsoleReporter::ReportRuns(runs);
    }
    RatioReporter() : ConsoleReporter(OO_Tabular) {}
    std::map<std::string, double> times;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    Datasets();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto a = reporter.times.find("ChartPoints"), b = reporter.times.find("OnePass");
    if (a != reporter.times.end() && b != reporter.times.end() && b->second > 0) {
        const double ratio = a->second / b->second;
        std::printf("\nChartPoints / OnePass = %5.2f  (aim <= 3)  %s\n", ratio, ratio <= 3 ? "ok" : "OVER");
    }
    benchmark::Shutdown();
    return 0;
}
