#include "hw/HWManager.h"
#include "simulator/SimulatedSerialPort.h"
#include "station/HWRequestPingTransmitters.h"
#include "station/Hardware.h"

#include "RequestRecorder.h"

#include <gtest/gtest.h>

namespace {

struct PingCase {
    std::uint8_t stationByte;
    int heldBefore;
    int heldAfter;
    bool told; // the observer hears the new count
};

// The sink as the programs wire it: it holds a count and says whether a new one differs.
TransmitterCountSink Holding(int& held) {
    return [&held](int count) {
        const bool changed = count != held;
        held = count;
        return changed;
    };
}

class PingTable : public ::testing::TestWithParam<PingCase> {};

TEST_P(PingTable, ReadsTheCountAndTellsAChange) {
    const PingCase& c = GetParam();
    auto port = std::make_shared<SimulatedSerialPort>(ClockMode::Virtual);
    port->eeprom().bytes()[Hardware::EE_NUMBER_OF_TRANSMITTERS] = c.stationByte;
    CI2CDriver driver(port);
    driver.Open("sim", 300, 0xA0, false);
    int held = c.heldBefore;
    auto recorder = std::make_shared<RequestRecorder>();
    CHWRequestPingTransmitters ping(recorder, Holding(held));
    ping.Execute(driver);
    EXPECT_TRUE(ping.Succeeded()) << ping.Message();
    EXPECT_EQ(ping.Message(), "");
    EXPECT_EQ(held, c.heldAfter);
    EXPECT_EQ(recorder->TransmitterCounts(), c.told ? std::vector{c.heldAfter} : std::vector<int>{});
}

INSTANTIATE_TEST_SUITE_P(Bytes, PingTable,
                         ::testing::Values(PingCase{0x02, 2, 2, false}, PingCase{0x13, 2, 3, true},
                                           PingCase{0x0F, 6, 6, false}, PingCase{0x07, 3, 6, true},
                                           PingCase{0x00, 6, 0, true}));

TEST(Ping, SilentStationFailsWithoutTouchingTheCount) {
    auto port = std::make_shared<SimulatedSerialPort>(ClockMode::Virtual);
    port->baseUnit().SetSilent(port->now());
    CI2CDriver driver(port);
    driver.Open("sim", 300, 0xA0, false);
    int held = 4;
    CHWRequestPingTransmitters ping(RequestObserverRef{}, Holding(held));
    ping.Execute(driver);
    EXPECT_FALSE(ping.Succeeded());
    EXPECT_EQ(ping.Message().rfind("Request failed: ", 0), 0u);
    EXPECT_NE(ping.Message().find("Synchronize failed"), std::string::npos);
    EXPECT_EQ(held, 4);
}

TEST(Ping, DeviceThatNeverAcknowledgesIsHardwareNotFound) {
    auto port = std::make_shared<SimulatedSerialPort>(ClockMode::Virtual);
    port->eeprom().SetAcknowledging(false);
    CI2CDriver driver(port);
    driver.Open("sim", 300, 0xA0, false);
    CHWRequestPingTransmitters ping(RequestObserverRef{}, [](int) { return false; });
    ping.Execute(driver);
    EXPECT_FALSE(ping.Succeeded());
    EXPECT_NE(ping.Message().find("Read number of transmitters failed, hardware not found"),
              std::string::npos);
}

TEST(Ping, AbortBetweenSyncAttemptsEndsTheRequest) {
    auto port = std::make_shared<SimulatedSerialPort>(ClockMode::Virtual);
    port->baseUnit().SetSilent(port->now());
    CI2CDriver driver(port);
    driver.Open("sim", 300, 0xA0, false);
    CHWRequestPingTransmitters ping(RequestObserverRef{}, [](int) { return false; });
    ping.Abort();
    ping.Execute(driver);
    EXPECT_TRUE(ping.Aborted());
    EXPECT_EQ(ping.Message(), "Request failed: Thread aborted");
}

} // namespace
