// A transfer cut short leaves the EEPROM in the middle of something; the bus clear brings it back
// to standby without a write, and the next transfer succeeds.
#include "SimulatorFixture.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

struct LeftState {
    const char* name;
    std::function<void(CI2CDriver&)> cut; // the transfer up to where it was cut
};

// Addresses the EEPROM for a write at 0x0300 (the word address sent and acknowledged).
void AddressForWrite(CI2CDriver& d) {
    d.ReleaseLines();
    ASSERT_TRUE(d.PollAcknowledge(0xA0));
    d.PutByte(0x03);
    ASSERT_TRUE(d.GetAck());
    d.PutByte(0x00);
    ASSERT_TRUE(d.GetAck());
}

void Clocks(CI2CDriver& d, int count) {
    for (int i = 0; i < count; ++i) {
        d.Scl(CI2CDriver::SclHigh);
        d.Scl(CI2CDriver::SclLow);
    }
}

void PrintTo(const LeftState& state, std::ostream* out) {
    *out << state.name;
}

class BusClear : public ::testing::TestWithParam<LeftState> {};

} // namespace

TEST_P(BusClear, LeavesNoWriteAndTheNextTransferSucceeds) {
    SimulatedStation s;
    // Zero bits everywhere: a device still sending holds SDA low.
    std::fill(s.port->eeprom().bytes().begin(), s.port->eeprom().bytes().end(), 0x00);
    const auto before = s.port->eeprom().bytes();
    GetParam().cut(s.driver);

    EXPECT_TRUE(s.driver.ClearBus());
    EXPECT_EQ(s.port->eeprom().PageWrites(), 0);
    EXPECT_TRUE(s.port->eeprom().bytes() == before) << "the EEPROM is unchanged";
    std::uint8_t buffer[8];
    std::string msg;
    EXPECT_TRUE(s.driver.ReadCompare(0x0300, buffer, sizeof buffer, msg)) << msg;
    EXPECT_EQ(s.port->eeprom().PageWrites(), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, BusClear,
                         ::testing::Values(LeftState{"SendingInTheMiddleOfAByte",
                                                     [](CI2CDriver& d) {
                                                         AddressForWrite(d);
                                                         d.StartCondition();
                                                         d.PutByte(0xA1);
                                                         ASSERT_TRUE(d.GetAck());
                                                         Clocks(d, 3);
                                                     }},
                                           LeftState{"ReceivingInTheMiddleOfADataByte",
                                                     [](CI2CDriver& d) {
                                                         AddressForWrite(d);
                                                         d.PutByte(0x5A);
                                                         ASSERT_TRUE(d.GetAck());
                                                         d.Sda(CI2CDriver::SdaLow);
                                                         Clocks(d, 5);
                                                     }},
                                           LeftState{"AcknowledgingADataByte",
                                                     [](CI2CDriver& d) {
                                                         AddressForWrite(d);
                                                         d.PutByte(0x5A); // the acknowledge clock never comes
                                                     }},
                                           LeftState{"AfterAnAcknowledgedDataByte",
                                                     [](CI2CDriver& d) {
                                                         AddressForWrite(d);
                                                         d.PutByte(0x5A);
                                                         ASSERT_TRUE(d.GetAck());
                                                     }}),
                         [](const ::testing::TestParamInfo<LeftState>& info) {
                             return std::string(info.param.name);
                         });
