// Reading a history file and exporting it, each beside its baseline: the raw bytes of the same
// file read into memory, and the same number of equally long lines written with a bare buffered
// write. The summary at the end prints each as a ratio to its baseline.
#include "TwoSensorSeries.h"
#include "history/HistoryData.h"
#include "history/HistoryFile.h"
#include "history/TextExport.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t DatasetCount = 1'000'000;

struct Files {
    fs::path dir = fs::temp_directory_path() / ("nivaro-bench-" + std::to_string(::getpid()));
    fs::path history = dir / "history.nvh";
    fs::path exported = dir / "export.csv";
    fs::path bare = dir / "bare.csv";
    std::string line; // a typical export line, CR LF included

    Files() {
        fs::create_directories(dir);
        const std::vector<CDataset> datasets = TwoSensorSeries(DatasetCount);
        std::ofstream out(history, std::ios::binary);
        WriteHistoryRecords(out, datasets);
        AppendExportLine(line, datasets[DatasetCount / 2], ColumnFormat{});
    }
    ~Files() {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
};

Files& TheFiles() {
    static Files files;
    return files;
}

void RawRead(benchmark::State& state) {
    const Files& files = TheFiles();
    std::vector<char> bytes; // kept across iterations, as the store keeps its capacity
    for (auto _ : state) {
        std::ifstream in(files.history, std::ios::binary);
        bytes.resize(fs::file_size(files.history));
        in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        benchmark::DoNotOptimize(bytes.data());
    }
}

void Read(benchmark::State& state) {
    const Files& files = TheFiles();
    CHistoryData store;
    for (auto _ : state) {
        store.Read(files.history);
        benchmark::DoNotOptimize(store.Size());
    }
    const double held = static_cast<double>(
        store.WithDatasets([](const std::vector<CDataset>& d) { return d.capacity() * sizeof(CDataset); }));
    state.counters["bytes_per_dataset"] = held / static_cast<double>(store.Size());
    state.counters["datasets"] = static_cast<double>(store.Size());
}

void BareWrite(benchmark::State& state) {
    const Files& files = TheFiles();
    const std::string header = std::string(ExportHeader) + ExportLineEnd;
    for (auto _ : state) {
        std::FILE* file = std::fopen(files.bare.c_str(), "wb");
        std::fwrite(header.data(), 1, header.size(), file);
        for (std::size_t i = 0; i < DatasetCount; ++i)
            std::fwrite(files.line.data(), 1, files.line.size(), file);
        std::fclose(file);
    }
}

void Export(benchmark::State& state) {
    const Files& files = TheFiles();
    CHistoryData store;
    store.Read(files.history);
    for (auto _ : state)
        benchmark::DoNotOptimize(store.Export(files.exported, ColumnFormat{}));
    state.counters["file_bytes"] = static_cast<double>(fs::file_size(files.exported));
}

BENCHMARK(RawRead)->Unit(benchmark::kMillisecond);
BENCHMARK(Read)->Unit(benchmark::kMillisecond);
BENCHMARK(BareWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(Export)->Unit(benchmark::kMillisecond);

// Keeps each benchmark's time per iteration for the summary.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && run.iterations > 0)
                times[run.benchmark_name()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    RatioReporter() : ConsoleReporter(OO_Tabular) {}
    std::map<std::string, double> times;
};

void PrintRatio(const RatioReporter& reporter, const char* name, const char* baseline, double aim) {
    const auto a = reporter.times.find(name), b = reporter.times.find(baseline);
    if (a == reporter.times.end() || b == reporter.times.end() || b->second <= 0)
        return;
    const double ratio = a->second / b->second;
    std::printf("%-7s / %-9s = %5.2f  (aim <= %.1f)  %s\n", name, baseline, ratio, aim,
                ratio <= aim ? "ok" : "OVER");
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    TheFiles();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n");
    PrintRatio(reporter, "Read", "RawRead", 3);
    PrintRatio(reporter, "Export", "BareWrite", 1.3);
    benchmark::Shutdown();
    return 0;
}
