// The link on the simulated adapters of real hardware: status reads that cost a control transfer,
// a cached status that shows changes late, lines the kernel moves in either order.
#include "SimulatorFixture.h"
#include "simulator/SimulatorTarget.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>

namespace {

constexpr BaseUnit::Nanos Ms = BaseUnit::Ms;

// The simulated station behind the adapter of a simulator setting ("?adapter=pl2303&status-lag=8ms").
struct StationBehind : SimulatedStation {
    explicit StationBehind(const std::string& setting, std::uint32_t seed = DefaultSimulatorSeed) {
        port->SetAdapter(ParseSimulatorTarget(setting).adapter);
        port->SetSeed(seed);
        driver.Close();
        driver.Open("sim", 300, 0xA0, false);
    }
};

const char* const Settings[] = {"?adapter=ideal",
                                "?adapter=native",
                                "?adapter=usb",
                                "?adapter=slow-usb",
                                "?adapter=ftdi",
                                "?adapter=pl2303",
                                "?adapter=pl2303&status-lag=8ms"};

// A page write of 11 22 33 44 at 0x51 cut off after its fourth acknowledged byte, with the first
// bit of a fifth (a 0) on SDA: what a transfer cut short by a failing port leaves behind.
void CutOffPageWrite(CI2CDriver& driver) {
    driver.StartCondition();
    for (const std::uint8_t byte : {0xA0, 0x00, 0x51, 0x11, 0x22, 0x33, 0x44}) {
        driver.PutByte(byte);
        ASSERT_TRUE(driver.GetAck());
    }
    driver.Sda(CI2CDriver::SdaLow);
}

} // namespace

TEST(AdapterProfiles, TransfersSucceedAndTheAdapterIsMeasuredOnEveryProfile) {
    for (const char* setting : Settings) {
        StationBehind s(setting);
        const AdapterProfile& adapter = s.port->Adapter();
        std::vector<std::uint8_t> buffer(70);
        std::string msg;
        ASSERT_TRUE(s.driver.ReadCompare(0x1FF0, buffer.data(), 70, msg)) << setting << ": " << msg;
        for (std::size_t i = 0; i < buffer.size(); ++i)
            ASSERT_EQ(buffer[i], s.At(0x1FF0 + i)) << setting << " at " << i;
        const std::vector<std::uint8_t> record{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
        ASSERT_TRUE(s.driver.WriteCompare(0x3A, record.data(), 16)) << setting;
        EXPECT_TRUE(std::equal(record.begin(), record.end(), s.port->eeprom().bytes().begin() + 0x3A))
            << setting;

        ASSERT_TRUE(s.driver.Timing().has_value()) << setting;
        const CI2CDriver::AdapterTiming timing = *s.driver.Timing();
        EXPECT_EQ(timing.statusReadNanos, adapter.statusReadNanos) << setting;
        const std::int64_t lag = adapter.cachedStatus ? adapter.statusLagNanos : 0;
        EXPECT_GE(timing.statusLagNanos, lag) << setting;
        EXPECT_LE(timing.statusLagNanos, lag + CI2CDriver::PollNanos + adapter.statusReadNanos) << setting;
    }
}

TEST(AdapterProfiles, AClockHeldLongerThanTheBoundFailsTheTransferAShorterHoldDoesNot) {
    struct Case {
        const char* setting;
        BaseUnit::Nanos hold;
        bool fails;
    } cases[] = {
        {"?adapter=pl2303", 5 * Ms, false}, {"?adapter=ftdi", 5 * Ms, false},
        {"?adapter=pl2303", 60 * Ms, true}, {"?adapter=ftdi", 60 * Ms, true},
        {"?adapter=ideal", 60 * Ms, true},
    };
    for (const Case& c : cases) {
        StationBehind s(c.setting);
        s.driver.MeasureAdapter();
        // The base unit takes SCL in the middle of the read.
        const auto start = s.port->now() + 2 * Ms;
        s.port->baseUnit().DriveSclLow(start, start + c.hold, s.port->now());
        std::vector<std::uint8_t> buffer(64);
        const int writesBefore = s.port->eeprom().PageWrites();
        if (c.fails) {
            EXPECT_THROW(s.driver.RandomRead(0x0400, buffer.data(), 64), std::runtime_error) << c.setting;
        } else {
            s.driver.RandomRead(0x0400, buffer.data(), 64);
            for (std::size_t i = 0; i < buffer.size(); ++i)
                ASSERT_EQ(buffer[i], s.At(0x0400 + i)) << c.setting << " at " << i;
        }
        EXPECT_GT(s.port->now(), start) << c.setting << ": the hold fell inside the read";
        EXPECT_EQ(s.port->eeprom().PageWrites(), writesBefore) << c.setting;
    }
}

TEST(AdapterProfiles, LinesLeftByACutOffWriteAreReleasedWithoutAStop) {
    // SDA rising while SCL is high is a STOP; right after the first bit of a data byte it commits
    // the four latched bytes. Neither the next attempt nor a close may give one, whatever order
    // the kernel moves the two lines in.
    enum class Then { Synchronize, Close };
    for (const Then then : {Then::Synchronize, Then::Close}) {
        for (std::uint32_t seed = 1; seed <= 8; ++seed) {
            StationBehind s("?adapter=pl2303", seed);
            s.driver.MeasureAdapter();
            CutOffPageWrite(s.driver);
            if (then == Then::Synchronize)
                s.driver.Synchronize();
            else
                s.driver.Close();
            EXPECT_EQ(s.port->eeprom().PageWrites(), 0) << "seed " << seed;
            EXPECT_EQ(s.At(0x51), (0x51 * 7) & 0xFF) << "seed " << seed;
        }
    }
}

TEST(AdapterProfiles, AReadThatMeetsABaseUnitByteWaitsForItsEndAndForTheWriteCycle) {
    // The base unit writes a recording byte by byte; the PC's read begins in the first byte, with
    // SCL held by the base unit, and then meets the EEPROM in its write cycle.
    for (const char* setting : Settings) {
        StationBehind s(setting);
        s.driver.MeasureAdapter();
        s.port->sleep(2'500); // the base unit's quiet time after the measurement
        s.port->baseUnit().SetQuietAfterPc(50 * Ms, 2000 * Ms);
        s.port->baseUnit().SetOwnBytePace(1 * Ms);
        const auto due = s.port->now() + 10 * Ms;
        s.port->baseUnit().SetRecording(
            10 * Ms,
            [](std::span<std::uint8_t> bytes, std::chrono::system_clock::time_point) {
                for (int i = 0; i < 8; ++i)
                    bytes[0x600 + i] = 0x42;
            },
            s.port->now());
        s.port->clock().sleepUntil(due + 300'000);
        std::vector<std::uint8_t> buffer(16);
        s.driver.RandomRead(0x0400, buffer.data(), 16);
        for (std::size_t i = 0; i < buffer.size(); ++i)
            ASSERT_EQ(buffer[i], s.At(0x0400 + i)) << setting << " at " << i;
        EXPECT_EQ(s.At(0x600), 0x42) << setting;
        EXPECT_EQ(s.port->eeprom().PageWrites(), 0) << setting;
    }
}
