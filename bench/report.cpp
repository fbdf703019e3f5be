// The web report of a 1,000,000-record history file beside the raw read of that file: the whole
// report, and the refresh after a routine import (a dozen new datasets) of a report already
// written. The summary prints the ratios of their fastest runs and the peak memory of
// `nivaro-cli report`, run as its own process.
#include "report/Report.h"
#include "history/HistoryFile.h"

#include "MillionDatasets.h"
#include "RatioReporter.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t RoutineImport = 12; // an hour of datasets every five minutes

struct Files {
    fs::path dir = fs::temp_directory_path() / ("nivaro-bench-report-" + std::to_string(::getpid()));
    fs::path history = dir / "history.nvh";
    fs::path site = dir / "site";
    CDataset last; // the newest dataset, the pattern of those a routine import appends
    DATE next = 0; // the date-time of the next dataset a routine import appends

    // The datasets of MillionDatasets.h, written a block at a time: the benchmark keeps no
    // history in memory, so the report's own memory is what the child process measures.
    Files() {
        fs::create_directories(dir);
        std::ofstream out(history, std::ios::binary);
        const double start = CDateTime(2005, 1, 17, 14, 5, 0).Value();
        std::vector<CDataset> block;
        for (std::size_t i = 0; i < MillionDatasetCount; ++i) {
            CDataset d;
            d.SetDateTime(CDateTime(start + double(i) * 5 / 1440.0));
            for (int s = 0; s < CDataset::SensorCount; ++s) {
                d.SetTemperature(s, float((i * 7 + std::size_t(s) * 13) % 400) / 10.0f - 10);
                d.SetHumidity(s, float(30 + (i + std::size_t(s)) % 60));
            }
            block.push_back(d);
            if (block.size() == 4096 || i + 1 == MillionDatasetCount) {
                WriteHistoryRecords(out, block);
                last = block.back();
                block.clear();
            }
        }
        next = last.GetDateTime().Value() + 5 / 1440.0;
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

const ReportSetup Setup{1033, {"%Y-%m-%d %H:%M", false}};

void RawRead(benchmark::State& state) {
    for (auto _ : state) {
        std::ifstream in(TheFiles().history, std::ios::binary);
        double sum = 0;
        VisitHistoryRecords(in, [&](const CDataset& d) {
            sum += d.GetDateTime().Value();
            for (int s = 0; s < CDataset::SensorCount; ++s)
                sum += d.GetTemperature(s) + d.GetHumidity(s);
            return true;
        });
        benchmark::DoNotOptimize(sum);
    }
}

// Each run into a folder of its own, all removed afterwards: files removed just before would
// make the file system pass over their recently freed inodes for every new file, a cost of the
// benchmark rather than of a report.
void WholeReport(benchmark::State& state) {
    Files& files = TheFiles();
    static int run = 0;
    for (auto _ : state)
        WriteReport(files.history, files.dir / ("whole-" + std::to_string(run++)), Setup);
}

void RefreshAfterImport(benchmark::State& state) {
    Files& files = TheFiles();
    WriteReport(files.history, files.site, Setup);
    std::size_t written = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<CDataset> added(RoutineImport, files.last);
        for (CDataset& d : added) {
            d.SetDateTime(CDateTime(files.next));
            files.next += 5 / 1440.0;
        }
        {
            std::ofstream out(files.history, std::ios::binary | std::ios::app);
            WriteHistoryRecords(out, added);
        }
        state.ResumeTiming();
        written = WriteReport(files.history, files.site, Setup).written;
    }
    state.counters["files_written"] = double(written);
}

// The peak resident memory of `nivaro-cli report` in MiB, -1 when it failed.
double CliPeakMiB() {
    const pid_t child = ::fork();
    if (child == 0) {
        const std::string history = TheFiles().history.string(),
                          site = (TheFiles().dir / "cli-site").string();
        ::execl(NIVARO_CLI, NIVARO_CLI, "--options", (TheFiles().dir / "none.xml").c_str(), "--history",
                history.c_str(), "report", "--out", site.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    struct rusage usage {};
    ::wait4(child, &status, 0, &usage);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? double(usage.ru_maxrss) / 1024.0 : -1;
}

BENCHMARK(RawRead)->Unit(benchmark::kMillisecond)->Apply(RatioReporter::Repeat);
BENCHMARK(WholeReport)->Unit(benchmark::kMillisecond)->Iterations(1)->Apply(RatioReporter::Repeat);
BENCHMARK(RefreshAfterImport)->Unit(benchmark::kMillisecond)->Iterations(1)->Apply(RatioReporter::Repeat);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    TheFiles();
    // Before the benchmarks, whose own memory a child would inherit as its peak.
    const double peak = CliPeakMiB();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio("WholeReport", "RawRead", 10);
    reporter.PrintRatio("RefreshAfterImport", "RawRead", 1);
    std::printf("nivaro-cli report peak memory = %.1f MiB  (aim <= 64)  %s\n", peak,
                peak >= 0 && peak <= 64 ? "ok" : "OVER");
    benchmark::Shutdown();
    return 0;
}
