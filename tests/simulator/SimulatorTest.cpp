// The simulated station on its own: image file, base unit schedule, adapter.
#include "TempDir.h"
#include "base/Errors.h"
#include "simulator/BaseUnit.h"
#include "simulator/SimulatedSerialPort.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

constexpr BaseUnit::Nanos Ms = BaseUnit::Ms;

std::string ImageOfSize(std::size_t size, char fill) {
    return std::string(size, fill);
}

} // namespace

TEST(SimulatorImage, MissingFileStartsFromTheInitialImageAndIsWrittenAtClose) {
    TempDir dir;
    const auto file = dir / "station.bin";
    SimulatedSerialPort port(ClockMode::Virtual, file, [](std::span<std::uint8_t> bytes) { bytes[12] = 3; });
    port.open("sim:" + file.string(), 300);
    EXPECT_EQ(port.eeprom().bytes()[12], 3);
    port.eeprom().bytes()[100] = 0x42;
    EXPECT_TRUE(port.close());

    const std::string saved = ReadWholeFile(file);
    ASSERT_EQ(saved.size(), Eeprom::Size);
    EXPECT_EQ(saved[12], 3);
    EXPECT_EQ(saved[100], 0x42);

    SimulatedSerialPort again(ClockMode::Virtual, file, [](std::span<std::uint8_t> bytes) { bytes[12] = 5; });
    again.open("sim", 300);
    EXPECT_EQ(again.eeprom().bytes()[12], 3) << "an existing image wins over the demo data";
    EXPECT_EQ(again.eeprom().bytes()[100], 0x42);
}

TEST(SimulatorImage, FileOfAnotherSizeIsRefusedAndLeftUntouched) {
    TempDir dir;
    for (std::size_t size : {std::size_t{0}, std::size_t{100}, Eeprom::Size + 1}) {
        const auto file = dir / ("bad" + std::to_string(size));
        WriteWholeFile(file, ImageOfSize(size, 'x'));
        SimulatedSerialPort port(ClockMode::Virtual, file);
        try {
            port.open("sim:" + file.string(), 300);
            FAIL() << "opened an image of " << size << " bytes";
        } catch (const os_error& e) {
            EXPECT_NE(std::string(e.what()).find("has " + std::to_string(size) + " bytes, expected 32768"),
                      std::string::npos)
                << e.what();
        }
        EXPECT_FALSE(port.isOpen());
        EXPECT_EQ(ReadWholeFile(file), ImageOfSize(size, 'x'));
    }
}

TEST(SimulatorBaseUnit, RecordsOnScheduleButNotWhileThePcTalks) {
    SimulatedSerialPort port(ClockMode::Virtual);
    port.baseUnit().SetSilent(port.now());
    port.baseUnit().SetQuietAfterPc(2000 * Ms);
    std::vector<BaseUnit::Nanos> times;
    port.baseUnit().SetEpoch(std::chrono::system_clock::time_point{});
    port.baseUnit().SetRecording(
        60'000 * Ms,
        [&](std::span<std::uint8_t> bytes, std::chrono::system_clock::time_point at) {
            ++bytes[9];
            times.push_back(
                std::chrono::duration_cast<std::chrono::nanoseconds>(at.time_since_epoch()).count());
        },
        port.now());
    port.open("sim", 300);
    port.sleep(59'999);
    EXPECT_TRUE(times.empty());
    ASSERT_TRUE(port.setRts(true)); // the PC starts talking 1 ms before the recording is due
    port.sleep(1'500);
    EXPECT_TRUE(times.empty()) << "the base unit keeps off the bus while the PC talks";
    port.sleep(1'000);
    ASSERT_EQ(times.size(), 1u);
    EXPECT_EQ(times[0], (59'999 + 2'000) * Ms);
    port.sleep(120'000);
    EXPECT_EQ(times.size(), 3u);
    EXPECT_EQ(port.eeprom().bytes()[9], 0xFF + 3 - 0x100);
}

TEST(SimulatorBaseUnit, PatternPausesWhileThePcTalks) {
    SimulatedSerialPort port(ClockMode::Virtual);
    port.baseUnit().SetPattern({{true, 150 * Ms}, {false, 850 * Ms}}, true, port.now());
    port.baseUnit().SetQuietAfterPc(2000 * Ms);
    port.open("sim", 300);
    ModemStatus status;
    ASSERT_TRUE(port.modemStatus(status));
    EXPECT_TRUE(status.dsr) << "a low phase at time 0 shows as asserted DSR";
    port.sleep(200);
    ASSERT_TRUE(port.modemStatus(status));
    EXPECT_FALSE(status.dsr);

    ASSERT_TRUE(port.setRts(true));
    ASSERT_TRUE(port.setRts(false));
    port.sleep(900); // the next low phase would start at 1000 ms
    ASSERT_TRUE(port.modemStatus(status));
    EXPECT_FALSE(status.dsr);
    port.sleep(1'000); // quiet until 2200 ms, the pattern is low until 2150, so it resumes high
    bool changed = true;
    ASSERT_TRUE(port.waitDsrChange(1'000, changed));
    EXPECT_TRUE(changed);
    EXPECT_EQ(port.now(), 3'000 * Ms) << "the wait jumps to the next edge";
}

TEST(SimulatorAdapter, LinesAreInvertedAndWiredAnd) {
    SimulatedSerialPort port(ClockMode::Virtual);
    port.baseUnit().SetSilent(port.now());
    port.open("sim", 300);
    ModemStatus status;
    ASSERT_TRUE(port.modemStatus(status));
    EXPECT_FALSE(status.cts);
    EXPECT_FALSE(status.dsr);
    ASSERT_TRUE(port.setDtr(true));
    ASSERT_TRUE(port.modemStatus(status));
    EXPECT_TRUE(status.dsr);
    port.baseUnit().DriveSclLow(port.now(), port.now() + 5 * Ms, port.now());
    ASSERT_TRUE(port.setDtr(false));
    ASSERT_TRUE(port.modemStatus(status));
    EXPECT_TRUE(status.dsr) << "the base unit still pulls SCL low";
    port.sleep(5);
    ASSERT_TRUE(port.modemStatus(status));
    EXPECT_FALSE(status.dsr);
}

TEST(SimulatorAdapter, ChangeBeforeTheWaitCounts) {
    SimulatedSerialPort port(ClockMode::Virtual);
    port.baseUnit().SetPattern({{false, 10 * Ms}, {true, 10'000 * Ms}}, false, port.now());
    port.open("sim", 300);
    ModemStatus status;
    ASSERT_TRUE(port.modemStatus(status));
    port.sleep(20); // the edge at 10 ms happens unobserved
    bool changed = false;
    ASSERT_TRUE(port.waitDsrChange(5, changed));
    EXPECT_TRUE(changed);
    EXPECT_EQ(port.now(), 20 * Ms) << "no time passes for a change that already happened";
    ASSERT_TRUE(port.waitDsrChange(5, changed));
    EXPECT_FALSE(changed);
}

TEST(SimulatorAdapter, VanishedPortFailsEverything) {
    SimulatedSerialPort port(ClockMode::Virtual);
    port.open("sim", 300);
    port.SetVanished(true);
    ModemStatus status;
    bool changed;
    EXPECT_FALSE(port.setRts(true));
    EXPECT_FALSE(port.modemStatus(status));
    EXPECT_FALSE(port.waitDsrChange(5, changed));
    port.close();
    EXPECT_THROW(port.open("sim", 300), os_error);
    port.SetVanished(false);
    EXPECT_NO_THROW(port.open("sim", 300));
}

TEST(SimulatorBaseUnit, WritesARecordingByteByByteAndFinishesItsByteWhenThePcPulls) {
    SimulatedSerialPort port(ClockMode::Virtual);
    port.baseUnit().SetSilent(port.now());
    port.baseUnit().SetQuietAfterPc(50 * Ms, 2000 * Ms);
    port.baseUnit().SetOwnBytePace(1 * Ms);
    port.baseUnit().SetRecording(
        60'000 * Ms,
        [](std::span<std::uint8_t> bytes, std::chrono::system_clock::time_point) {
            for (int i = 0; i < 4; ++i)
                bytes[0x200 + i] = static_cast<std::uint8_t>(0x10 + i);
        },
        port.now());
    port.open("sim", 300);
    const auto due = 60'000 * Ms;
    const auto at = [&](int i) { return port.eeprom().bytes()[0x200 + i]; };
    port.clock().sleepUntil(due + 500'000); // in the first byte's transfer
    ModemStatus status;
    ASSERT_TRUE(port.modemStatus(status));
    EXPECT_TRUE(status.dsr) << "the base unit holds SCL for its byte";
    EXPECT_EQ(at(0), 0xFF);
    // One byte, its write cycle, the next: 6 ms each.
    port.clock().sleepUntil(due + 7 * Ms);
    ASSERT_TRUE(port.modemStatus(status));
    EXPECT_EQ(at(0), 0x10);
    EXPECT_EQ(at(1), 0x11) << "the second byte is written at 7 ms";
    EXPECT_EQ(at(2), 0xFF);
    EXPECT_TRUE(port.eeprom().Busy(port.now())) << "in its write cycle the EEPROM answers nobody";

    // The PC pulls SCL in the middle of the third byte: the base unit finishes it, then keeps off.
    port.clock().sleepUntil(due + 12'500'000);
    ASSERT_TRUE(port.setDtr(true));
    ASSERT_TRUE(port.setDtr(false));
    ASSERT_TRUE(port.modemStatus(status));
    EXPECT_TRUE(status.dsr) << "SCL still held by the base unit";
    port.clock().sleepUntil(due + 13 * Ms);
    ASSERT_TRUE(port.modemStatus(status));
    EXPECT_FALSE(status.dsr);
    EXPECT_EQ(at(2), 0x12);
    EXPECT_EQ(at(3), 0xFF) << "a read now meets the recording half-written";
    EXPECT_EQ(port.baseUnit().PendingBytes(), 1u);
    port.sleep(2'100);
    EXPECT_EQ(at(3), 0x13) << "the rest once the PC is quiet";
}

TEST(SimulatorBaseUnit, TheQuietTimeAfterThePcVariesWithTheSeed) {
    std::set<BaseUnit::Nanos> quietTimes;
    for (std::uint32_t seed = 1; seed <= 6; ++seed) {
        SimulatedSerialPort port(ClockMode::Virtual);
        port.SetSeed(seed);
        port.baseUnit().SetPattern({{true, 1 * Ms}, {false, 1 * Ms}}, true, port.now());
        port.baseUnit().SetQuietAfterPc(50 * Ms, 2000 * Ms);
        port.open("sim", 300);
        port.sleep(10);
        ASSERT_TRUE(port.setRts(true));
        ASSERT_TRUE(port.setRts(false));
        const auto pulled = port.now();
        ModemStatus status;
        ASSERT_TRUE(port.modemStatus(status)); // what happened until now is seen
        bool changed = false;
        ASSERT_TRUE(port.waitDsrChange(3'000, changed));
        ASSERT_TRUE(changed);
        const auto quiet = port.now() - pulled;
        EXPECT_GE(quiet, 50 * Ms) << seed;
        EXPECT_LE(quiet, 2002 * Ms) << seed;
        quietTimes.insert(quiet / Ms);
    }
    EXPECT_GT(quietTimes.size(), 3u) << "not always the same time";
}
