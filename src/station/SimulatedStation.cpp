#include "station/SimulatedStation.h"

#include "log/Logger.h"
#include "ports/PortFactory.h"

#include <algorithm>
#include <ctime>
#include <exception>

namespace {

constexpr int DemoTransmitters = 3;
constexpr int DemoIntervalMinutes = 5;
constexpr int DemoMeasurements = 2 * 24 * 60 / DemoIntervalMinutes;

void CopyImage(std::span<std::uint8_t> eeprom, const EepromImage& image) {
    std::copy_n(image.begin(), std::min(eeprom.size(), image.size()), eeprom.begin());
}

} // namespace

CDateTime StationTimeOf(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&seconds, &local);
    return CDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, 0);
}

StationImageSpec DemoStationSpec(std::chrono::system_clock::time_point now, std::uint32_t seed) {
    StationImageSpec spec;
    spec.transmitters = DemoTransmitters;
    spec.measurements = DemoMeasurements;
    spec.intervalMinutes = DemoIntervalMinutes;
    spec.seed = seed;
    const CDateTime newest = StationTimeOf(now);
    spec.start = CDateTime(newest.Value() - (DemoMeasurements - 1) * DemoIntervalMinutes / 1440.0);
    // Whole minutes again after the subtraction in days.
    CDateTime::Fields f;
    if (spec.start.GetFields(f))
        spec.start.SetDateTime(f.year, f.month, f.day, f.hour, f.minute, 0);
    return spec;
}

bool RecordMeasurement(std::span<std::uint8_t> eeprom, const CDateTime& when, std::uint32_t seed) {
    if (eeprom.size() != Hardware::EE_EEPROM_SIZE)
        return false;
    EepromImage image;
    std::copy(eeprom.begin(), eeprom.end(), image.begin());
    try {
        const int transmitters = Hardware::TransmitterCountOf(image[Hardware::EE_NUMBER_OF_TRANSMITTERS]);
        AppendMeasurement(image, MakeMeasurement(when, transmitters, seed));
    } catch (const std::exception& e) {
        CLogger::Instance().Log(10, "Simulated base unit records nothing: %s", e.what());
        return false;
    }
    CopyImage(eeprom, image);
    return true;
}

SimulatorSetup StationSimulatorSetup(const SimulatedStationSetup& setup) {
    const std::uint32_t seed = setup.seed;
    SimulatorSetup simulator;
    simulator.clock = setup.clock;
    simulator.initialImage = [seed, wallClock = setup.wallClock](std::span<std::uint8_t> eeprom) {
        try {
            const auto now = wallClock ? wallClock() : std::chrono::system_clock::now();
            CopyImage(eeprom, CreateStationImage(DemoStationSpec(now, seed)));
        } catch (const std::exception& e) {
            CLogger::Instance().Log(10, "Simulated station demo image failed: %s", e.what());
        }
    };
    if (setup.recordingIntervalMinutes > 0) {
        simulator.recordingInterval =
            static_cast<SimClock::Nanos>(setup.recordingIntervalMinutes) * 60 * 1'000'000'000;
        simulator.record = [seed](std::span<std::uint8_t> eeprom,
                                  std::chrono::system_clock::time_point when) {
            RecordMeasurement(eeprom, StationTimeOf(when), seed);
        };
    }
    return simulator;
}

std::unique_ptr<SerialPort> MakeStationPort(const std::string& name, const SimulatedStationSetup& setup) {
    return MakeSerialPort(name, StationSimulatorSetup(setup));
}

CI2CDriver::PortFactory StationPortFactory(SimulatedStationSetup setup) {
    return [setup](const std::string& name) { return MakeStationPort(name, setup); };
}
