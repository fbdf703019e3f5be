// Reading the whole ring buffer area through the driver against the simulated station, as an
// import does: blocks of 1800 bytes, each read twice.
#include "link/I2CDriver.h"
#include "simulator/SimulatedSerialPort.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <memory>
#include <vector>

namespace {

constexpr std::uint16_t RingBufferStart = 100;
constexpr std::uint32_t RingBufferSize = 32659;
constexpr std::uint32_t BlockSize = 1800;

double CpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Station {
    std::shared_ptr<SimulatedSerialPort> port;
    CI2CDriver driver;
    explicit Station(ClockMode mode) : port(std::make_shared<SimulatedSerialPort>(mode)), driver(port) {
        port->baseUnit().SetSilent(port->now());
        for (std::size_t i = 0; i < Eeprom::Size; ++i)
            port->eeprom().bytes()[i] = static_cast<std::uint8_t>(i * 13);
        driver.Open("sim", 300, 0xA0, false);
    }
};

void ReadTwice(CI2CDriver& driver, std::uint16_t address, std::uint32_t size,
               std::vector<std::uint8_t>& image, std::vector<std::uint8_t>& compare) {
    for (std::uint32_t done = 0; done < size; done += BlockSize) {
        const std::uint32_t n = std::min(BlockSize, size - done);
        driver.RandomRead(static_cast<std::uint16_t>(address + done), image.data() + done, n);
        driver.RandomRead(static_cast<std::uint16_t>(address + done), compare.data(), n);
        if (!std::equal(compare.begin(), compare.begin() + n, image.begin() + done))
            throw std::runtime_error("compare failed");
    }
}

// Virtual time: the CPU cost of the simulation and the driver per line change.
void BM_RingBufferVirtualTime(benchmark::State& state) {
    Station station(ClockMode::Virtual);
    std::vector<std::uint8_t> image(RingBufferSize), compare(BlockSize);
    std::uint64_t changes = 0;
    double cpu = 0;
    for (auto _ : state) {
        const std::uint64_t before = station.port->LineChanges();
        const double start = CpuSeconds();
        ReadTwice(station.driver, RingBufferStart, RingBufferSize, image, compare);
        cpu += CpuSeconds() - start;
        changes += station.port->LineChanges() - before;
        benchmark::DoNotOptimize(image.data());
    }
    const double bytes = 2.0 * RingBufferSize * static_cast<double>(state.iterations());
    state.counters["line_changes_per_byte"] = static_cast<double>(changes) / bytes;
    state.counters["cpu_ns_per_line_change"] = cpu * 1e9 / static_cast<double>(changes);
    state.counters["virtual_seconds_per_read"] =
        static_cast<double>(station.port->now()) * 1e-9 / static_cast<double>(state.iterations());
}
BENCHMARK(BM_RingBufferVirtualTime)->Unit(benchmark::kMillisecond);

// Real time, one small block: wall time against its floor of 10 µs per line change.
void BM_SmallBlockRealTime(benchmark::State& state) {
    Station station(ClockMode::Real);
    const std::uint32_t size = static_cast<std::uint32_t>(state.range(0));
    std::vector<std::uint8_t> image(size), compare(BlockSize);
    std::uint64_t changes = 0;
    double wall = 0, cpu = 0;
    for (auto _ : state) {
        const std::uint64_t before = station.port->LineChanges();
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = CpuSeconds();
        ReadTwice(station.driver, RingBufferStart, size, image, compare);
        cpu += CpuSeconds() - cpuStart;
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        changes += station.port->LineChanges() - before;
    }
    state.counters["line_changes_per_byte"] =
        static_cast<double>(changes) / (2.0 * size * static_cast<double>(state.iterations()));
    state.counters["wall_to_floor_ratio"] = wall / (static_cast<double>(changes) * 10e-6);
    // The same without the time the process spent off the CPU (a loaded machine).
    state.counters["cpu_to_floor_ratio"] = cpu / (static_cast<double>(changes) * 10e-6);
}
BENCHMARK(BM_SmallBlockRealTime)->Arg(64)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

BENCHMARK_MAIN();
