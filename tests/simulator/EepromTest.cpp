// The simulated EEPROM on its pins: what commits a page write, what abandons it, how a read ends.
#include "simulator/Eeprom.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

// A master on the EEPROM's pins, one level change at a time. SDA is the wired-AND of both.
struct Pins {
    Eeprom eeprom;
    bool sda = true, scl = true;
    Eeprom::Nanos now = 0;

    bool Sda() const { return sda && !eeprom.SdaLow(); }
    void Drive(bool sdaHigh, bool sclHigh) {
        sda = sdaHigh;
        scl = sclHigh;
        now += 10'000;
        eeprom.OnBus(Sda(), scl, now);
    }
    void Start() {
        Drive(sda, true);
        Drive(true, true);
        Drive(false, true);
        Drive(false, false);
    }
    void Stop() {
        Drive(false, false);
        Drive(false, true);
        Drive(true, true);
    }
    // One clock with SDA at the given level; the level SDA had on the high clock.
    bool Clock(bool sdaHigh) {
        Drive(sdaHigh, false);
        Drive(sdaHigh, true);
        const bool seen = Sda();
        Drive(sdaHigh, false);
        return seen;
    }
    void Byte(std::uint8_t value) {
        for (int bit = 7; bit >= 0; --bit)
            Clock(((value >> bit) & 1) != 0);
        acknowledged = !Clock(true);
    }
    std::uint8_t Read(bool acknowledge) {
        std::uint8_t value = 0;
        for (int bit = 7; bit >= 0; --bit)
            value = static_cast<std::uint8_t>(value << 1 | (Clock(true) ? 1 : 0));
        Clock(!acknowledge);
        return value;
    }

    // Plays a script: S start, P stop, a hex byte (eight bits and the acknowledge clock), bNNN
    // single bits without an acknowledge clock, R / N a byte read with / without acknowledge.
    std::string Play(const std::string& script) {
        std::istringstream in(script);
        std::ostringstream read;
        for (std::string token; in >> token;) {
            if (token == "S")
                Start();
            else if (token == "P")
                Stop();
            else if (token == "R" || token == "N")
                read << std::hex << int(Read(token == "R")) << ' ';
            else if (token[0] == 'b')
                for (char bit : token.substr(1))
                    Clock(bit == '1');
            else
                Byte(static_cast<std::uint8_t>(std::stoi(token, nullptr, 16)));
        }
        return read.str();
    }

    bool acknowledged = false;
};

struct WriteCase {
    const char* name;
    const char* script;
    bool written; // 0x5A reached address 0x0140
};

void PrintTo(const WriteCase& c, std::ostream* out) {
    *out << c.script;
}

class EepromWrite : public ::testing::TestWithParam<WriteCase> {};

} // namespace

TEST_P(EepromWrite, OnlyAStopRightAfterAnAcknowledgedByteWrites) {
    const WriteCase& c = GetParam();
    Pins pins;
    pins.eeprom.bytes()[0x0140] = 0x11;
    pins.Play(c.script);
    EXPECT_EQ(pins.eeprom.bytes()[0x0140], c.written ? 0x5A : 0x11);
    EXPECT_EQ(pins.eeprom.PageWrites(), c.written ? 1 : 0);
    EXPECT_TRUE(pins.Sda()) << "SDA is released afterwards";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EepromWrite,
    ::testing::Values(WriteCase{"StopAfterAcknowledge", "S A0 01 40 5A P", true},
                      WriteCase{"LaterByteCompleteToo", "S A0 01 40 5A 33 P", true},
                      WriteCase{"StopAfterOneBitOfTheNextByte", "S A0 01 40 5A b0 P", false},
                      WriteCase{"StopInTheMiddleOfAByte", "S A0 01 40 5A b1011 P", false},
                      WriteCase{"StopAfterSevenBits", "S A0 01 40 5A b1111111 P", false},
                      WriteCase{"StopAfterTheWordAddressOnly", "S A0 01 40 P", false},
                      WriteCase{"StartAfterAcknowledgeThenStop", "S A0 01 40 5A S P", false},
                      WriteCase{"StartInTheMiddleOfAByteThenStop", "S A0 01 40 5A b101 S P", false},
                      WriteCase{"StartThenAReadThenStop", "S A0 01 40 5A S A1 N P", false},
                      WriteCase{"OtherDeviceAddress", "S A4 01 40 5A P", false}),
    [](const ::testing::TestParamInfo<WriteCase>& info) { return std::string(info.param.name); });

TEST(Eeprom, ReadEndsAtTheMastersNotAcknowledge) {
    Pins pins;
    pins.eeprom.bytes()[0x0200] = 0x00;
    pins.eeprom.bytes()[0x0201] = 0x00;
    pins.eeprom.bytes()[0x0202] = 0x42;
    EXPECT_EQ(pins.Play("S A0 02 00 S A1 R N"), "0 0 ");
    // After the not-acknowledge the device sends nothing more: SDA stays free on every clock.
    for (int clock = 0; clock < 9; ++clock)
        EXPECT_TRUE(pins.Clock(true)) << "clock " << clock;
    pins.Stop();
    // The address counter stands after the last byte sent.
    EXPECT_EQ(pins.Play("S A1 N P"), "42 ");
    EXPECT_EQ(pins.eeprom.PageWrites(), 0);
}

TEST(Eeprom, NoAcknowledgeDuringTheWriteCycle) {
    Pins pins;
    pins.Play("S A0 01 40 5A P");
    pins.Play("S A0");
    EXPECT_FALSE(pins.acknowledged);
    pins.now += Eeprom::DefaultWriteCycle;
    pins.Play("S A0");
    EXPECT_TRUE(pins.acknowledged);
}

// The bus as the EEPROM saw it in a soak import whose ring-buffer read lost clocks to the base
// unit: after the START and its device address it took every later byte for a write (the master's
// read clocks with SDA released, the master's acknowledge as a zero bit), and the read's closing
// STOP came three bits into a byte. That STOP used to write the page at 0x5FC0.
TEST(Eeprom, StopOfAReadThatLostItsClocksWritesNothing) {
    Pins pins;
    std::string script = "S A0";
    for (int i = 0; i < 1472; ++i)
        script += " DF";
    script += " b11 P";
    const auto before = pins.eeprom.bytes();
    pins.Play(script);
    EXPECT_EQ(pins.eeprom.PageWrites(), 0);
    EXPECT_TRUE(pins.eeprom.bytes() == before);
}
