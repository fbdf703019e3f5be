// EEPROM transfers against the simulated station.
#include "LogCapture.h"
#include "SimulatorFixture.h"
#include "base/Errors.h"

#include <gtest/gtest.h>

#include <stdexcept>

using Lines = std::vector<std::string>;

TEST(Transfers, ReadCompareDeliversTheEepromContents) {
    SimulatedStation s;
    std::vector<std::uint8_t> buffer(300);
    std::string msg = "untouched";
    ASSERT_TRUE(s.driver.ReadCompare(0x7F00, buffer.data(), 300, msg));
    for (std::size_t i = 0; i < buffer.size(); ++i)
        ASSERT_EQ(buffer[i], s.At((0x7F00 + i) % Eeprom::Size)) << i;
    EXPECT_EQ(msg, "untouched");
}

TEST(Transfers, SequentialReadWrapsAtTheEndOfTheMemory) {
    SimulatedStation s;
    std::uint8_t buffer[4];
    s.driver.RandomRead(0x7FFE, buffer, 4);
    EXPECT_EQ(buffer[0], s.At(0x7FFE));
    EXPECT_EQ(buffer[1], s.At(0x7FFF));
    EXPECT_EQ(buffer[2], s.At(0));
    EXPECT_EQ(buffer[3], s.At(1));
}

TEST(Transfers, ReadCompareLogsEachDifferingByte) {
    SimulatedStation s;
    s.driver.MeasureAdapter(); // its line is not what this test is about
    LogCapture log;
    s.port->eeprom().FlipBitOnRead(0x0102, 0x01);
    s.port->eeprom().FlipBitOnRead(0x0105, 0x80);
    std::vector<std::uint8_t> buffer(8);
    std::string msg = "untouched";
    EXPECT_FALSE(s.driver.ReadCompare(0x0100, buffer.data(), 8, msg));
    EXPECT_EQ(msg, "untouched");

    char first[64], second[64];
    std::snprintf(first, sizeof first, "0x%X!=0x%X index 2", s.At(0x102) ^ 0x01, s.At(0x102));
    std::snprintf(second, sizeof second, "0x%X!=0x%X index 5", s.At(0x105) ^ 0x80, s.At(0x105));
    EXPECT_EQ(log.Lines(), (Lines{"Reading from 0x100, 8 bytes", "Reading block from 0x100, 8 bytes",
                                  "Reading block from 0x100, 8 bytes failed: Compare failed!", first, second,
                                  "Reading from 0x100, 8 bytes failed"}));
}

TEST(Transfers, DeviceThatNeverAcknowledges) {
    SimulatedStation s;
    s.port->eeprom().SetAcknowledging(false);
    std::uint8_t buffer[2];
    std::string msg;
    EXPECT_FALSE(s.driver.ReadCompare(11, buffer, 2, msg));
    EXPECT_EQ(msg, "Acknowledge polling failed in CI2CDriver::Read");

    LogCapture log;
    const std::uint8_t data[2] = {0, 0};
    EXPECT_FALSE(s.driver.WriteCompare(9, data, 2));
    const Lines lines = log.Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "Writing to 0x9, 2 bytes failed after 10 retries");
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.find(", retry ") != std::string::npos; }),
              10);
}

TEST(Transfers, WriteCompareSucceedsAtTheThirdAttempt) {
    SimulatedStation s;
    s.driver.MeasureAdapter();
    LogCapture log;
    // The read-back of the first two attempts is disturbed.
    s.port->eeprom().FlipBitOnRead(81 + 3, 0x10, 2);
    std::vector<std::uint8_t> record(16);
    for (std::size_t i = 0; i < record.size(); ++i)
        record[i] = static_cast<std::uint8_t>(0xC0 + i);
    EXPECT_TRUE(s.driver.WriteCompare(81, record.data(), 16));
    EXPECT_TRUE(std::equal(record.begin(), record.end(), s.port->eeprom().bytes().begin() + 81));
    EXPECT_EQ(log.Lines(), (Lines{"===========================", "Writing to 0x51, 16 bytes",
                                  "Writing to 0x51, 16 bytes, retry 1 failed: Compare error",
                                  "Writing to 0x51, 16 bytes, retry 2 failed: Compare error",
                                  "Writing finished after 2 retries"}));
}

TEST(Transfers, PageWriteWaitsForTheWriteCycle) {
    SimulatedStation s;
    std::vector<std::uint8_t> data(130, 0x5A);
    s.driver.Write(0x0000, data.data(), 130);
    EXPECT_EQ(s.port->eeprom().PageWrites(), 3);
    EXPECT_TRUE(s.port->eeprom().Busy(s.port->now())) << "the last page is still being written";
    std::vector<std::uint8_t> back(130);
    s.driver.RandomRead(0, back.data(), 130); // acknowledge polling waits the cycle out
    EXPECT_EQ(back, data);
    EXPECT_EQ(s.At(130), static_cast<std::uint8_t>(130 * 7));
}

TEST(Transfers, PageWriteRollsOverInsideThePage) {
    SimulatedStation s;
    // One transaction of four bytes at 0x3E, past the page end: the device wraps to 0x00.
    s.driver.ReleaseLines();
    ASSERT_TRUE(s.driver.PollAcknowledge(0xA0));
    for (std::uint8_t b : {0x00, 0x3E, 1, 2, 3, 4}) {
        s.driver.PutByte(b);
        ASSERT_TRUE(s.driver.GetAck());
    }
    s.driver.StopCondition();
    EXPECT_EQ(s.At(0x3E), 1);
    EXPECT_EQ(s.At(0x3F), 2);
    EXPECT_EQ(s.At(0x00), 3);
    EXPECT_EQ(s.At(0x01), 4);
    EXPECT_NE(s.At(0x40), 3);
}

TEST(Transfers, BaseUnitTalkingDuringATransferIsCaught) {
    SimulatedStation s;
    // The base unit holds SCL low for 2 ms a little after the transfer started.
    s.port->baseUnit().DriveSclLow(s.port->now() + 3'000'000, s.port->now() + 5'000'000, s.port->now());
    std::vector<std::uint8_t> buffer(200);
    std::string msg;
    EXPECT_FALSE(s.driver.ReadCompare(0x0200, buffer.data(), 200, msg));
    // Once the base unit lets go, the bus recovers.
    s.port->sleep(5);
    EXPECT_TRUE(s.driver.ReadCompare(0x0200, buffer.data(), 200, msg)) << msg;
}

TEST(Transfers, VanishedPortRaisesWithTheLineText) {
    SimulatedStation s;
    s.port->SetVanished(true);
    try {
        s.driver.Sda(CI2CDriver::SdaLow);
        FAIL() << "no error";
    } catch (const os_error& e) {
        EXPECT_NE(std::string(e.what()).find("Call to EscapeCommFunction in CI2CDriver::Sda(SdaLow) failed."),
                  std::string::npos)
            << e.what();
    }
    EXPECT_THROW(s.driver.Scl(), os_error);
    std::uint8_t buffer[4];
    std::string msg;
    EXPECT_FALSE(s.driver.ReadCompare(0, buffer, 4, msg));
    EXPECT_NE(msg.find("Call to"), std::string::npos) << msg;
    EXPECT_THROW(s.driver.ReFillBuffer(), os_error);
}
