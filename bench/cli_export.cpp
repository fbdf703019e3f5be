// `nivaro-cli export` of a 1,000,000-record history file beside a straightforward Python script
// that reads the records with `struct` and writes the lines with `csv`: each is run as its own
// process; the summary prints the ratio of their times and the command's peak memory.
#include "TwoSensorSeries.h"
#include "history/HistoryFile.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t DatasetCount = 1'000'000;

const char* const PythonExport = R"(import csv, datetime, struct, sys
base = datetime.datetime(1899, 12, 30)
record = struct.Struct('<d12f')
def temperature(v):
    return '---' if abs(v - 81.1) < 0.01 else 'OFL' if v == 136.0 else '%.1f' % v
def humidity(v):
    return '---' if v == 110.0 else 'OFL' if v == 121.0 else '%d' % v
with open(sys.argv[1], 'rb') as source, open(sys.argv[2], 'w', newline='') as target:
    out = csv.writer(target, delimiter=';', quoting=csv.QUOTE_ALL, lineterminator='\r\n')
    out.writerow(['Date', 'Indoor Temperature', 'Indoor Humidity'] +
                 [f'Outdoor {k} {i}' for i in range(1, 6) for k in ('Temperature', 'Humidity')])
    while True:
        chunk = source.read(record.size)
        if len(chunk) < record.size:
            break
        values = record.unpack(chunk)
        when = base + datetime.timedelta(days=values[0])
        row = [when.strftime('%d.%m.%Y %H:%M')]
        for sensor in range(6):
            row += [temperature(values[1 + 2 * sensor]), humidity(values[2 + 2 * sensor])]
        out.writerow(row)
)";

struct Files {
    fs::path dir = fs::temp_directory_path() / ("nivaro-bench-cli-" + std::to_string(::getpid()));
    fs::path history = dir / "history.nvh";
    fs::path script = dir / "export.py";

    Files() {
        fs::create_directories(dir);
        const std::vector<CDataset> datasets = TwoSensorSeries(DatasetCount);
        std::ofstream out(history, std::ios::binary);
        WriteHistoryRecords(out, datasets);
        std::ofstream(script) << PythonExport;
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

// Runs a program in the scratch folder; its peak resident memory in KiB, -1 when it failed.
long Run(const std::vector<std::string>& arguments) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::chdir(TheFiles().dir.c_str()) != 0)
            ::_exit(127);
        std::vector<char*> argv;
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    struct rusage usage {};
    ::wait4(child, &status, 0, &usage);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? usage.ru_maxrss : -1;
}

void CliExport(benchmark::State& state) {
    const Files& files = TheFiles();
    long peak = 0;
    for (auto _ : state)
        peak = Run({NIVARO_CLI, "--history", files.history.string(), "export", "--out",
                    (files.dir / "cli.txt").string()});
    if (peak < 0)
        state.SkipWithError("nivaro-cli export failed");
    state.counters["peak_MiB"] = static_cast<double>(peak) / 1024.0;
}

void PythonCsvExport(benchmark::State& state) {
    const Files& files = TheFiles();
    long peak = 0;
    for (auto _ : state)
        peak = Run(
            {"python3", files.script.string(), files.history.string(), (files.dir / "python.txt").string()});
    if (peak < 0)
        state.SkipWithError("python3 could not run the export script");
    state.counters["peak_MiB"] = static_cast<double>(peak) / 1024.0;
}

BENCHMARK(CliExport)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(PythonCsvExport)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
                times[run.benchmark_name()] = run.GetAdjustedRealTime();
                if (const auto peak = run.counters.find("peak_MiB"); peak != run.counters.end())
                    peaks[run.benchmark_name()] = peak->second;
            }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times, peaks;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    TheFiles();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto cli = reporter.times.find("CliExport/iterations:3/real_time");
    const auto python = reporter.times.find("PythonCsvExport/iterations:1/real_time");
    if (cli != reporter.times.end() && python != reporter.times.end() && cli->second > 0) {
        const double speedup = python->second / cli->second;
        std::printf("\nPython / CliExport = %5.1f  (aim >= 20)  %s\n", speedup,
                    speedup >= 20 ? "ok" : "UNDER");
        const double peak = reporter.peaks["CliExport/iterations:3/real_time"];
        std::printf("CliExport peak memory = %.1f MiB  (aim <= 32)  %s\n", peak, peak <= 32 ? "ok" : "OVER");
    }
    benchmark::Shutdown();
    return 0;
}
