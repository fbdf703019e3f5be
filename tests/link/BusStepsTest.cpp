// The driver's exact line steps, against a port that records them.
#include "RecordingPort.h"
#include "link/I2CDriver.h"

#include <gtest/gtest.h>

#include <memory>
#include <numeric>

namespace {

using Steps = std::vector<std::string>;

struct Recorded {
    std::shared_ptr<RecordingPort> port = std::make_shared<RecordingPort>();
    CI2CDriver driver{port};
    Recorded() {
        driver.Open("COM1", 300, 0xA0, false);
        driver.MeasureAdapter(); // as the first contact does
        port->steps.clear();
        port->settles = 0;
    }
};

// The transactions (START ... STOP) on the bus as the PC drives it: bytes of 8 bits, each
// followed by its acknowledge clock.
std::vector<std::vector<std::uint8_t>> Transactions(const Steps& steps) {
    std::vector<std::vector<std::uint8_t>> result;
    std::vector<int> bits;
    bool sda = true, scl = true;
    for (const std::string& step : steps) {
        if (step == "SdaLow" || step == "SdaHigh") {
            const bool high = step == "SdaHigh";
            if (scl && sda && !high)
                bits.clear(); // start
            if (scl && !sda && high) {
                std::vector<std::uint8_t> bytes;
                for (std::size_t i = 0; i + 9 <= bits.size(); i += 9)
                    bytes.push_back(static_cast<std::uint8_t>(std::accumulate(
                        bits.begin() + static_cast<long>(i), bits.begin() + static_cast<long>(i) + 8, 0,
                        [](int a, int b) { return a * 2 + b; })));
                result.push_back(bytes);
            }
            sda = high;
        } else if (step == "SclHigh" || step == "SclLow") {
            const bool high = step == "SclHigh";
            if (high && !scl)
                bits.push_back(sda ? 1 : 0);
            scl = high;
        }
    }
    return result;
}

// A byte as PutByte gives it: each bit set, clocked and the clock looked at.
Steps Bits(std::uint8_t byte) {
    Steps steps;
    for (int bit = 7; bit >= 0; --bit) {
        steps.push_back((byte >> bit) & 1 ? "SdaHigh" : "SdaLow");
        steps.push_back("SclHigh");
        steps.push_back("read");
        steps.push_back("SclLow");
    }
    return steps;
}

// The SDA levels a random read of size bytes meets, one per read of the lines, in order: the
// look at the released bus, the START (SDA free before it falls), the bytes it sends (their clocks looked
// at), the slave's acknowledges (low), the data bits (low), the master's acknowledges, then SDA at the
// not-acknowledge clock and the STOP's clock.
std::vector<bool> RandomReadScript(std::uint32_t size, bool sdaAtNotAcknowledge) {
    std::vector<bool> script{false}; // the bus is free before the transfer
    const auto start = [&] { script.insert(script.end(), {false, false, false}); };
    const auto byteAndAck = [&] {
        script.insert(script.end(), 8, false);
        script.insert(script.end(), {true, false});
    };
    start();
    byteAndAck(); // device address
    byteAndAck(); // word address, high byte
    byteAndAck(); // low byte
    start();
    byteAndAck(); // read address
    for (std::uint32_t i = 0; i < size; ++i) {
        script.insert(script.end(), 8, true);
        if (i + 1 < size)
            script.push_back(false); // the master's acknowledge clock
    }
    if (size > 0)
        script.push_back(sdaAtNotAcknowledge);
    return script;
}

} // namespace

TEST(BusSteps, PutByteSendsBit7FirstAndReleasesSda) {
    Recorded r;
    r.driver.PutByte(0xA0);
    Steps expected = Bits(0xA0);
    EXPECT_EQ(expected[0], "SdaHigh");
    EXPECT_EQ(expected[4], "SdaLow");
    expected.push_back("SdaHigh");
    EXPECT_EQ(r.port->steps, expected);
    EXPECT_EQ(r.port->settles, 25) << "every line change waits the settle delay";

    r.port->steps.clear();
    r.port->sclReadsLow = true;
    EXPECT_THROW(r.driver.PutByte(0xA0), std::runtime_error) << "another device holds the clock";
    EXPECT_EQ(r.port->steps, (Steps{"SdaHigh", "SclHigh", "read"})) << "nothing more after the held clock";
}

TEST(BusSteps, GetAckWithoutAcknowledgeGivesNoClockAndAHeldClockFails) {
    Recorded r;
    r.driver.Scl(CI2CDriver::SclLow); // as a byte sent leaves it
    r.port->steps.clear();
    r.port->sdaReadsLow = false;
    EXPECT_FALSE(r.driver.GetAck());
    EXPECT_EQ(r.port->steps, Steps{"read"});

    r.port->steps.clear();
    r.port->sdaReadsLow = true;
    EXPECT_TRUE(r.driver.GetAck());
    EXPECT_EQ(r.port->steps, (Steps{"read", "SclHigh", "read", "SclLow"})) << "SCL is looked at on the clock";

    r.port->steps.clear();
    r.port->sclReadsLow = true;
    EXPECT_THROW(r.driver.GetAck(), std::runtime_error) << "another device holds the clock";
    EXPECT_EQ(r.port->steps, (Steps{"read", "SclHigh", "read", "SclLow"}));
}

TEST(BusSteps, ConditionsAndAcknowledge) {
    Recorded r;
    r.driver.StartCondition();
    r.driver.StopCondition();
    r.driver.PutAck();
    r.driver.ReleaseLines();
    // The clock is looked at after every rise, SDA before the START's fall and SCL after it.
    EXPECT_EQ(r.port->steps, (Steps{"SclHigh", "read", "SdaHigh", "read", "SdaLow", "read", "SclLow",
                                    "SdaHigh", "SdaLow", "SclHigh", "read", "SdaHigh", "SdaLow", "SclHigh",
                                    "read", "SclLow", "SdaHigh", "SdaHigh", "SclHigh"}));
}

TEST(BusSteps, NoStartWhileAnotherDeviceHoldsALine) {
    // A START the EEPROM does not see would leave it in the command before.
    struct Case {
        const char* name;
        std::vector<bool> sdaLow; // per read
        bool sdaHeld;             // after those
        bool sclLow;
        Steps steps;
    } cases[] = {
        {"SDA held (a slave in its acknowledge)",
         {false},
         true,
         false,
         {"SclHigh", "read", "SdaHigh", "read"}},
        {"SCL held", {}, false, true, {"SclHigh", "read"}},
    };
    for (const Case& c : cases) {
        Recorded r;
        r.port->scriptedSdaLow = c.sdaLow;
        r.port->sdaHeld = c.sdaHeld;
        r.port->sclReadsLow = c.sclLow;
        EXPECT_THROW(r.driver.StartCondition(), std::runtime_error) << c.name;
        EXPECT_EQ(r.port->steps, c.steps) << c.name << ": SDA never falls";
    }
}

TEST(BusSteps, PollAcknowledgeGivesUpAfterTenTriesWithoutStop) {
    Recorded r;
    r.port->sdaReadsLow = false;
    EXPECT_FALSE(r.driver.PollAcknowledge(0xA0));
    EXPECT_EQ(std::count(r.port->steps.begin(), r.port->steps.end(), "sleep"), 10);
    EXPECT_EQ(Transactions(r.port->steps).size(), 0u) << "no stop between tries";
}

TEST(BusSteps, ResetBusClocksUntilSdaIsFree) {
    Recorded r;
    r.port->scriptedSdaLow.assign(2 * 9, true); // the clock's look and SDA's, nine times
    EXPECT_FALSE(r.driver.ResetBus());
    EXPECT_EQ(std::count(r.port->steps.begin(), r.port->steps.end(), "SclLow"), 9);
    EXPECT_EQ(r.port->steps.back(), "read");
}

struct WriteCase {
    std::uint16_t address;
    std::uint32_t size;
    std::vector<std::pair<std::uint16_t, std::size_t>> pages; // address and byte count
};

class WritePages : public ::testing::TestWithParam<WriteCase> {};

TEST_P(WritePages, NoTransactionCrossesAPage) {
    const WriteCase& c = GetParam();
    Recorded r;
    std::vector<std::uint8_t> data(c.size);
    std::iota(data.begin(), data.end(), std::uint8_t{1});
    r.driver.Write(c.address, data.data(), c.size);

    const auto transactions = Transactions(r.port->steps);
    ASSERT_EQ(transactions.size(), c.pages.size());
    std::size_t offset = 0;
    for (std::size_t i = 0; i < transactions.size(); ++i) {
        const auto& t = transactions[i];
        ASSERT_EQ(t.size(), 3 + c.pages[i].second) << "transaction " << i;
        EXPECT_EQ(t[0], 0xA0);
        EXPECT_EQ((t[1] << 8) | t[2], c.pages[i].first);
        EXPECT_TRUE(std::equal(t.begin() + 3, t.end(), data.begin() + static_cast<long>(offset)));
        offset += c.pages[i].second;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, WritePages,
                         ::testing::Values(WriteCase{0x003A, 10, {{0x003A, 6}, {0x0040, 4}}},
                                           WriteCase{0x0040, 64, {{0x0040, 64}}},
                                           WriteCase{0x0000, 130, {{0x0000, 64}, {0x0040, 64}, {0x0080, 2}}},
                                           WriteCase{0xFFF0, 20, {{0xFFF0, 16}, {0x0000, 4}}}));

class RandomReadAcks : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(RandomReadAcks, MasterAcknowledgesAllButTheLastByteAndEndsWithANotAcknowledge) {
    const std::uint32_t size = GetParam();
    Recorded r;
    // SDA is free for the not-acknowledge.
    r.port->scriptedSdaLow = RandomReadScript(size, false);
    std::vector<std::uint8_t> buffer(size + 1, 0x77);
    r.driver.RandomRead(0x1234, buffer.data(), size);

    // After the read address and its acknowledge: the bytes, the master acknowledges, the stop.
    Steps tail = Bits(0xA1);
    tail.push_back("SdaHigh");
    for (const char* s : {"read", "SclHigh", "read", "SclLow"})
        tail.push_back(s);
    for (std::uint32_t i = 0; i < size; ++i) {
        for (int bit = 0; bit < 8; ++bit)
            for (const char* s : {"SclHigh", "read", "SclLow"})
                tail.push_back(s);
        if (i + 1 < size)
            for (const char* s : {"SdaLow", "SclHigh", "read", "SclLow", "SdaHigh"})
                tail.push_back(s);
    }
    if (size > 0) // the not-acknowledge clock, SDA released, looked at
        for (const char* s : {"SclHigh", "read", "SclLow"})
            tail.push_back(s);
    for (const char* s : {"SdaLow", "SclHigh", "read", "SdaHigh"})
        tail.push_back(s);
    ASSERT_GE(r.port->steps.size(), tail.size());
    EXPECT_EQ(Steps(r.port->steps.end() - static_cast<long>(tail.size()), r.port->steps.end()), tail);
    EXPECT_EQ(buffer[size], 0x77) << "nothing written past the buffer";
    for (std::uint32_t i = 0; i < size; ++i)
        EXPECT_EQ(buffer[i], 0x00) << "the data bits read low";

    const auto transactions = Transactions(r.port->steps);
    ASSERT_EQ(transactions.size(), 1u);
    EXPECT_EQ(transactions[0][0], 0xA1) << "repeated start before the read address";
}

INSTANTIATE_TEST_SUITE_P(Sizes, RandomReadAcks, ::testing::Values(1u, 3u, 0u));

TEST(BusSteps, ReadEndsWithStartAndBusClearWhenSdaIsHeldAtTheNotAcknowledge) {
    Recorded r;
    // A receiving slave acknowledges on the not-acknowledge clock: no STOP may follow it.
    r.port->scriptedSdaLow = RandomReadScript(1, true);
    r.port->sdaReadsLow = false; // free afterwards
    std::uint8_t byte = 0;
    EXPECT_THROW(r.driver.RandomRead(0x1234, &byte, 1), std::runtime_error);

    // The not-acknowledge clock sees SDA low; a START instead of a STOP; the bus clear: nine
    // clocks, SDA looked at, START and STOP.
    const Steps start{"SclHigh", "read", "SdaHigh", "read", "SdaLow", "read", "SclLow", "SdaHigh"};
    Steps tail{"SclHigh", "read", "SclLow"};
    tail.insert(tail.end(), start.begin(), start.end());
    tail.push_back("SdaHigh");
    for (int clock = 0; clock < 9; ++clock)
        for (const char* s : {"SclLow", "SclHigh", "read"})
            tail.push_back(s);
    tail.push_back("read");
    tail.insert(tail.end(), start.begin(), start.end());
    for (const char* s : {"SdaLow", "SclHigh", "read", "SdaHigh"})
        tail.push_back(s);
    const Steps& steps = r.port->steps;
    ASSERT_GE(steps.size(), tail.size());
    EXPECT_EQ(Steps(steps.end() - static_cast<long>(tail.size()), steps.end()), tail);
}
