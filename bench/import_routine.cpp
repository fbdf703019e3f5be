// A routine import beside a whole one: a full ring buffer (four transmitters, 1814 slots) read
// once, then 12 new datasets, imported against the simulated station in virtual time.
//
// Per import: bytes_read (from the station's memory, each byte once), line_changes (of the PC's
// bus lines), status_reads, virtual_seconds (how long the user waits for it behind the simulated
// adapter of the second argument) and the adapter's floor beside it (AdapterFigures.h).
// The routine import also reports its bytes as a percentage of the whole import's.
#include "AdapterFigures.h"
#include "history/HistoryData.h"
#include "history/HistoryImportSink.h"
#include "link/I2CDriver.h"
#include "simulator/AdapterProfile.h"
#include "simulator/SimulatedSerialPort.h"
#include "station/HWRequestReadRingBuffer.h"
#include "station/RingBuffer.h"
#include "station/StationImage.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <unistd.h>

namespace {

struct Figures {
    bool succeeded = false;
    std::string message;
    double bytesRead = 0;
    AdapterFigures adapter;
};

Figures ImportOnce(const EepromImage& image, const std::filesystem::path& history, bool whole,
                   const AdapterProfile& adapter, EepromImage* after = nullptr) {
    std::filesystem::remove(history);
    CHistoryData store;
    auto port = std::make_shared<SimulatedSerialPort>(ClockMode::Virtual);
    port->SetAdapter(adapter);
    port->eeprom().bytes() = image;
    CI2CDriver driver(port);
    driver.Open("sim", 300, 0xA0, false);
    const AdapterFigures::Mark before = AdapterFigures::Take(*port);
    auto request = std::make_shared<CHWRequestReadRingBuffer>(
        RequestObserverRef{}, std::make_shared<HistoryImportSink>(store, history));
    if (whole)
        request->ForceWholeRead();
    request->Execute(driver);
    if (after)
        *after = port->eeprom().bytes();
    return {request->Succeeded(), request->Message(), static_cast<double>(request->Summary().bytesRead),
            AdapterFigures::Between(*port, before)};
}

// The station after a first import, with 12 datasets recorded since.
EepromImage RoutineStation(const std::filesystem::path& history) {
    StationImageSpec spec;
    spec.transmitters = 4;
    spec.measurements = Hardware::RingBuffer::GetConfig(4)->DatasetCount() + 100;
    EepromImage image;
    ImportOnce(CreateStationImage(spec), history, true, IdealAdapter(), &image);
    for (int i = 0; i < 12; ++i)
        AppendMeasurement(image, NextMeasurement(image, 5, 1));
    return image;
}

// First argument 1: the routine import, 0: the whole import of the same station.
void TwelveNewDatasets(benchmark::State& state) {
    const auto folder =
        std::filesystem::temp_directory_path() / ("nivaro-bench-routine-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const auto history = folder / "history.nvh";
    const bool routine = state.range(0) == 1;
    const AdapterProfile adapter = AdapterProfiles().at(static_cast<std::size_t>(state.range(1)));
    state.SetLabel(std::string(routine ? "routine" : "whole") + ", " + adapter.name);
    const EepromImage image = RoutineStation(history);
    const Figures whole = ImportOnce(image, history, true, adapter);

    Figures figures;
    for (auto _ : state) {
        figures = ImportOnce(image, history, !routine, adapter);
        if (!figures.succeeded)
            state.SkipWithError(figures.message.c_str());
    }
    state.counters["bytes_read"] = figures.bytesRead;
    figures.adapter.Report(state);
    if (routine)
        state.counters["percent_of_whole_bytes"] = 100.0 * figures.bytesRead / whole.bytesRead;
    std::filesystem::remove_all(folder);
}
// Second argument: the adapter profile, in the order of AdapterProfiles(). The whole import
// beside the routine one only where it is quick to simulate.
BENCHMARK(TwelveNewDatasets)
    ->ArgsProduct({{1}, benchmark::CreateDenseRange(0, 5, 1)})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->Iterations(1);

} // namespace

BENCHMARK_MAIN();
