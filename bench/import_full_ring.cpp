// A whole import of a full ring buffer (four transmitters, 1814 slots) against the simulated
// station in virtual time: synchronisation, the compared block read, parsing, cleaning, appending
// to a history file and the write-back. Reports the CPU time of one import and, beside it, one
// pass over the same datasets through the parser alone. The import runs behind each simulated
// adapter; virtual_seconds is how long the user waits for it on that adapter, beside the line
// changes, status reads and the adapter's floor (AdapterFigures.h).
#include "AdapterFigures.h"
#include "history/HistoryData.h"
#include "history/HistoryImportSink.h"
#include "link/I2CDriver.h"
#include "simulator/AdapterProfile.h"
#include "simulator/SimulatedSerialPort.h"
#include "station/HWRequestReadRingBuffer.h"
#include "station/RingBuffer.h"
#include "station/RingBufferParse.h"
#include "station/StationImage.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <unistd.h>

namespace {

EepromImage FullStation() {
    StationImageSpec spec;
    spec.transmitters = 4;
    spec.measurements = Hardware::RingBuffer::GetConfig(4)->DatasetCount() + 100;
    return CreateStationImage(spec);
}

void FullRingImport(benchmark::State& state) {
    const auto folder =
        std::filesystem::temp_directory_path() / ("nivaro-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const auto image = FullStation();
    const AdapterProfile adapter = AdapterProfiles().at(static_cast<std::size_t>(state.range(0)));
    state.SetLabel(adapter.name);
    std::int64_t datasets = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const auto history = folder / "history.nvh";
        std::filesystem::remove(history);
        CHistoryData recording;
        auto port = std::make_shared<SimulatedSerialPort>(ClockMode::Virtual);
        port->SetAdapter(adapter);
        port->eeprom().bytes() = image;
        CI2CDriver driver(port);
        driver.Open("sim", 300, 0xA0, false);
        const AdapterFigures::Mark before = AdapterFigures::Take(*port);
        auto request = std::make_shared<CHWRequestReadRingBuffer>(
            RequestObserverRef{}, std::make_shared<HistoryImportSink>(recording, history));
        state.ResumeTiming();

        request->Execute(driver);

        state.PauseTiming();
        if (!request->Succeeded())
            state.SkipWithError(request->Message().c_str());
        datasets = request->Summary().appended;
        AdapterFigures::Between(*port, before).Report(state);
        state.ResumeTiming();
    }
    state.counters["datasets"] = static_cast<double>(datasets);
    std::filesystem::remove_all(folder);
}
// One argument per adapter profile, in the order of AdapterProfiles().
BENCHMARK(FullRingImport)
    ->DenseRange(0, 5)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->Iterations(1);

// The baseline: parsing the same ring buffer image alone.
void ParseOnly(benchmark::State& state) {
    const auto image = FullStation();
    const auto& layout = *Hardware::RingBuffer::GetConfig(4);
    std::span<const std::uint8_t> ring(image.data() + layout.Start(), layout.ByteSize());
    for (auto _ : state)
        benchmark::DoNotOptimize(ParseRingBuffer(ring, layout, true, RingBufferConfig()));
}
BENCHMARK(ParseOnly)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
