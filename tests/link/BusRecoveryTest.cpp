// A transfer cut short leaves the EEPROM in the middle of something; the bus clear brings it back
// to standby without a write, and the next transfer succeeds.
#include "SimulatorFixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

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

namespace {

struct HeldClockCase {
    const char* name;
    std::function<void(CI2CDriver&)> transfer; // may fail; must write nothing but its own bytes
    std::size_t from, to;                      // the bytes the transfer may change
    // How long SCL is held, in line changes: a few bits, a byte and its acknowledge (27), whole
    // bytes; a retried write also meets holds that outlast its bus clear and its polls.
    std::vector<int> lengths = {4, 27, 54, 100, 271};
};

void WriteRecord(CI2CDriver& d) {
    const std::uint8_t record[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    d.Write(0x51, record, sizeof record);
}

void PrintTo(const HeldClockCase& c, std::ostream* out) {
    *out << c.name;
}

class HeldClock : public ::testing::TestWithParam<HeldClockCase> {};

constexpr SimulatedSerialPort::Nanos LineChange = SimulatedSerialPort::SettleTime;

} // namespace

// The base unit holds SCL low for a while, starting at every line change of the transfer in
// turn: the EEPROM loses the clocks of that time. Whatever it made of the rest, nothing outside
// the transfer's own bytes changes.
TEST_P(HeldClock, NeverWritesOutsideTheTransfer) {
    const HeldClockCase& c = GetParam();
    for (const int length : c.lengths) {
        for (int start = 0; start < 700; ++start) {
            SimulatedStation s;
            const auto before = s.port->eeprom().bytes();
            const auto now = s.port->now();
            s.port->baseUnit().DriveSclLow(now + start * LineChange, now + (start + length) * LineChange,
                                           now);
            try {
                c.transfer(s.driver);
            } catch (const std::exception&) {
            }
            s.port->sleep(10); // a write cycle started at the end completes
            const auto& after = s.port->eeprom().bytes();
            for (std::size_t a = 0; a < after.size(); ++a)
                if ((a < c.from || a >= c.to) && after[a] != before[a]) {
                    ADD_FAILURE() << "held from line change " << start << " for " << length
                                  << ": EEPROM changed at " << a;
                    return;
                }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Transfers, HeldClock,
                         ::testing::Values(HeldClockCase{"RandomRead",
                                                         [](CI2CDriver& d) {
                                                             std::uint8_t buffer[24];
                                                             d.RandomRead(0x1FC0, buffer, sizeof buffer);
                                                         },
                                                         0, 0},
                                           HeldClockCase{"Write", WriteRecord, 0x51, 0x61},
                                           HeldClockCase{"WriteCompare",
                                                         [](CI2CDriver& d) {
                                                             const std::uint8_t record[16] = {
                                                                 1, 2,  3,  4,  5,  6,  7,  8,
                                                                 9, 10, 11, 12, 13, 14, 15, 16};
                                                             d.WriteCompare(0x51, record, sizeof record);
                                                         },
                                                         0x51,
                                                         0x61,
                                                         {27, 271, 1000, 2500, 5000}}),
                         [](const ::testing::TestParamInfo<HeldClockCase>& info) {
                             return std::string(info.param.name);
                         });
