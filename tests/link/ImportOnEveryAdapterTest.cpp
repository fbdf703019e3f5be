// A whole import and a routine one behind every simulated adapter give the history they give on
// the ideal one, and leave the station as it leaves it.
#include "TempDir.h"
#include "history/HistoryData.h"
#include "history/HistoryImportSink.h"
#include "link/I2CDriver.h"
#include "simulator/SimulatedSerialPort.h"
#include "simulator/SimulatorTarget.h"
#include "station/HWRequestReadRingBuffer.h"
#include "station/StationImage.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

struct Outcome {
    std::string history;   // the file's bytes
    EepromImage station{}; // the EEPROM afterwards
};

std::string FileBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A first import of a station with 150 datasets of one transmitter, then 7 more recorded and a
// routine import, behind the adapter of a simulator setting.
Outcome ImportBehind(const std::string& setting, const std::filesystem::path& history) {
    std::filesystem::remove(history);
    StationImageSpec spec;
    spec.transmitters = 1;
    spec.measurements = 150;
    auto port = std::make_shared<SimulatedSerialPort>(ClockMode::Virtual);
    const SimulatorTarget target = ParseSimulatorTarget(setting);
    port->SetAdapter(target.adapter);
    port->SetSeed(target.seed);
    port->eeprom().bytes() = CreateStationImage(spec);
    CI2CDriver driver(port);
    driver.Open("sim", 300, 0xA0, false);
    CHistoryData store;
    const auto import = [&] {
        auto request = std::make_shared<CHWRequestReadRingBuffer>(
            RequestObserverRef{}, std::make_shared<HistoryImportSink>(store, history));
        request->Execute(driver);
        EXPECT_TRUE(request->Succeeded()) << setting << ": " << request->Message();
    };
    import();
    for (int i = 0; i < 7; ++i)
        AppendMeasurement(port->eeprom().bytes(), NextMeasurement(port->eeprom().bytes(), 5, 1));
    port->sleep(3'000); // the base unit keeps off the bus for a while after the PC talked
    import();
    return {FileBytes(history), port->eeprom().bytes()};
}

} // namespace

TEST(ImportOnEveryAdapter, GivesTheHistoryOfTheIdealAdapter) {
    TempDir dir;
    const Outcome ideal = ImportBehind("?adapter=ideal", dir / "ideal.nvh");
    ASSERT_GT(ideal.history.size(), 0u);
    for (const char* setting : {"?adapter=native", "?adapter=usb", "?adapter=slow-usb", "?adapter=ftdi",
                                "?adapter=pl2303", "?adapter=pl2303&status-lag=8ms&seed=3"}) {
        const Outcome outcome = ImportBehind(setting, dir / "history.nvh");
        EXPECT_EQ(outcome.history, ideal.history) << setting;
        EXPECT_EQ(outcome.station, ideal.station) << setting;
    }
}
