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
        port->steps.clear();
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

Steps Bits(std::uint8_t byte) {
    Steps steps;
    for (int bit = 7; bit >= 0; --bit) {
        steps.push_back((byte >> bit) & 1 ? "SdaHigh" : "SdaLow");
        steps.push_back("SclHigh");
        steps.push_back("SclLow");
    }
    return steps;
}

} // namespace

TEST(BusSteps, PutByteSendsBit7FirstAndReleasesSda) {
    Recorded r;
    r.driver.PutByte(0xA0);
    const Steps expected = {"SdaHigh", "SclHigh", "SclLow",  "SdaLow",  "SclHigh", "SclLow",  "SdaHigh",
                            "SclHigh", "SclLow",  "SdaLow",  "SclHigh", "SclLow",  "SdaLow",  "SclHigh",
                            "SclLow",  "SdaLow",  "SclHigh", "SclLow",  "SdaLow",  "SclHigh", "SclLow",
                            "SdaLow",  "SclHigh", "SclLow",  "SdaHigh"};
    EXPECT_EQ(r.port->steps, expected);
    EXPECT_EQ(r.port->settles, 25) << "every line change waits the settle delay";
}

TEST(BusSteps, GetAckWithoutAcknowledgeGivesNoClockAndAHeldClockFails) {
    Recorded r;
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
    EXPECT_EQ(r.port->steps,
              (Steps{"SclHigh", "SdaHigh", "SdaLow", "SclLow", "SdaHigh", "SdaLow", "SclHigh", "SdaHigh",
                     "SdaLow", "SclHigh", "SclLow", "SdaHigh", "SdaHigh", "SclHigh"}));
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
    r.port->sdaReadsLow = true;
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
    // Four acknowledges (SDA and SCL looked at) and the data bits read low; SDA is free for the
    // not-acknowledge.
    r.port->scriptedSdaLow.assign(8 + 8 * size, true);
    r.port->scriptedSdaLow.push_back(false);
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
            for (const char* s : {"SdaLow", "SclHigh", "SclLow", "SdaHigh"})
                tail.push_back(s);
    }
    if (size > 0) // the not-acknowledge clock, SDA released, looked at
        for (const char* s : {"SclHigh", "read", "SclLow"})
            tail.push_back(s);
    for (const char* s : {"SdaLow", "SclHigh", "SdaHigh"})
        tail.push_back(s);
    ASSERT_GE(r.port->steps.size(), tail.size());
    EXPECT_EQ(Steps(r.port->steps.end() - static_cast<long>(tail.size()), r.port->steps.end()), tail);
    EXPECT_EQ(buffer[size], 0x77) << "nothing written past the buffer";

    const auto transactions = Transactions(r.port->steps);
    ASSERT_EQ(transactions.size(), 1u);
    EXPECT_EQ(transactions[0][0], 0xA1) << "repeated start before the read address";
}

INSTANTIATE_TEST_SUITE_P(Sizes, RandomReadAcks, ::testing::Values(1u, 3u, 0u));

TEST(BusSteps, ReadEndsWithStartAndBusClearWhenSdaIsHeldAtTheNotAcknowledge) {
    Recorded r;
    // A receiving slave acknowledges on the not-acknowledge clock: no STOP may follow it.
    r.port->scriptedSdaLow.assign(8 + 8, true);
    r.port->scriptedSdaLow.push_back(true);
    r.port->sdaReadsLow = false; // free afterwards
    std::uint8_t byte = 0;
    EXPECT_THROW(r.driver.RandomRead(0x1234, &byte, 1), std::runtime_error);

    // The not-acknowledge clock sees SDA low; a START instead of a STOP; the bus clear: nine
    // clocks, SDA looked at, START and STOP.
    Steps tail{"SclHigh", "read", "SclLow", "SclHigh", "SdaHigh", "SdaLow", "SclLow", "SdaHigh", "SdaHigh"};
    for (int clock = 0; clock < 9; ++clock) {
        tail.push_back("SclLow");
        tail.push_back("SclHigh");
    }
    for (const char* s :
         {"read", "SclHigh", "SdaHigh", "SdaLow", "SclLow", "SdaHigh", "SdaLow", "SclHigh", "SdaHigh"})
        tail.push_back(s);
    const Steps& steps = r.port->steps;
    ASSERT_GE(steps.size(), tail.size());
    EXPECT_EQ(Steps(steps.end() - static_cast<long>(tail.size()), steps.end()), tail);
}
