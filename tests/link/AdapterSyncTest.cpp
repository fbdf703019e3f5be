// Synchronisation on the simulated adapters of real hardware: the port is opened once, and an
// attempt starts from released lines without counting the program's own edges.
#include "SimulatorFixture.h"

#include <gtest/gtest.h>

namespace {

constexpr BaseUnit::Nanos Ms = BaseUnit::Ms;

// The base unit's usual cycle (150 ms low, 850 ms high) behind the named adapter.
struct AdapterStation {
    std::shared_ptr<SimulatedSerialPort> port = std::make_shared<SimulatedSerialPort>(ClockMode::Virtual);
    CI2CDriver driver{port};

    explicit AdapterStation(const std::string& adapter) {
        AdapterProfile profile;
        EXPECT_TRUE(FindAdapterProfile(adapter, profile)) << adapter;
        port->SetAdapter(profile);
        port->baseUnit().SetPattern({{true, 150 * Ms}, {false, 850 * Ms}}, true, port->now());
    }
};

} // namespace

TEST(AdapterSync, FirstAttemptSucceedsOnEveryAdapterWithoutReopening) {
    for (const char* adapter : {"ideal", "native", "usb", "slow-usb", "ftdi", "pl2303"}) {
        AdapterStation s(adapter);
        s.driver.Open("sim", 300, 0xA0, false); // as the hardware manager does at its start
        EXPECT_TRUE(s.driver.Synchronize()) << adapter << ": the open's own edge was counted";
        s.port->sleep(2'500); // the base unit keeps off the bus after the first contact's measurement
        EXPECT_TRUE(s.driver.Synchronize()) << adapter;
        EXPECT_EQ(s.port->Opens(), 1) << adapter;
    }
}

TEST(AdapterSync, AReopenBeforeTheAttemptFailsItOnALateAdapter) {
    // What every attempt used to do: reopen the port right before looking at SCL.
    for (const char* adapter : {"usb", "slow-usb", "ftdi", "pl2303"}) {
        AdapterStation s(adapter);
        s.driver.Open("sim", 300, 0xA0, false);
        s.port->sleep(300); // SCL high: the open's pulse makes an edge
        s.port->close();
        s.port->open("sim", 300);
        EXPECT_FALSE(s.driver.Synchronize()) << adapter;
        EXPECT_TRUE(s.driver.Synchronize()) << adapter << ": the next attempt, on the open port, succeeds";
    }
}

TEST(AdapterSync, LinesLeftLowByABrokenTransferAreReleasedAndNotCounted) {
    for (const char* adapter : {"native", "usb", "slow-usb", "ftdi", "pl2303"}) {
        AdapterStation s(adapter);
        s.driver.Open("sim", 300, 0xA0, false);
        s.driver.Sda(CI2CDriver::SdaLow);
        s.driver.Scl(CI2CDriver::SclLow);
        s.port->sleep(2'500); // past the base unit's quiet time after the PC talked, SCL high
        EXPECT_TRUE(s.driver.Synchronize()) << adapter;
        EXPECT_FALSE(s.port->Rts() || s.port->Dtr()) << adapter;
        EXPECT_EQ(s.port->Opens(), 1) << adapter;
    }
}

TEST(AdapterSync, APortLostEarlierIsOpenedAgain) {
    AdapterStation s("usb");
    s.port->SetVanished(true);
    EXPECT_THROW(s.driver.Open("sim", 300, 0xA0, false), std::exception);
    s.port->SetVanished(false);
    EXPECT_TRUE(s.driver.Synchronize());
    EXPECT_EQ(s.port->Opens(), 1);

    s.port->SetVanished(true); // unplugged between two requests, and plugged in again
    s.port->sleep(5'000);
    s.port->SetVanished(false);
    EXPECT_TRUE(s.driver.Synchronize());
    EXPECT_EQ(s.port->Opens(), 2);
}
