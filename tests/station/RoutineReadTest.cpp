#include "station/RoutineRead.h"
#include "station/DatasetEncoder.h"
#include "station/Hardware.h"
#include "station/RingBuffer.h"
#include "station/RingBufferImage.h"
#include "station/StationImage.h"

#include "RandomStation.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iostream>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

using Stretch = std::pair<unsigned, unsigned>; // offset, size

TEST(RingBufferImage, ReadsEachByteOnceInStretches) {
    std::vector<Stretch> calls;
    RingBufferImage image(40, [&](unsigned offset, std::span<std::uint8_t> into) {
        calls.emplace_back(offset, static_cast<unsigned>(into.size()));
        for (std::size_t i = 0; i < into.size(); ++i)
            into[i] = static_cast<std::uint8_t>(offset + i);
    });
    image.Read(10, 20);
    image.Read(0, 30);  // around what is known
    image.Read(35, 99); // clipped at the end
    EXPECT_EQ(calls, (std::vector<Stretch>{{10, 10}, {0, 10}, {20, 10}, {35, 5}}));
    EXPECT_EQ(image.BytesRead(), 35u);
    EXPECT_FALSE(image.Complete());
    EXPECT_EQ(image.Bytes()[31], 0xFF); // not read yet
    image.ReadAll();
    EXPECT_EQ(calls.back(), (Stretch{30, 5}));
    EXPECT_TRUE(image.Complete());
    EXPECT_EQ(image.Bytes()[31], 31);
}

TEST(RingBufferImage, AFailedReadLeavesTheStretchUnread) {
    bool fail = true;
    RingBufferImage image(10, [&](unsigned, std::span<std::uint8_t>) {
        if (fail)
            throw std::runtime_error("Read ring buffer failed, aborting");
    });
    EXPECT_THROW(image.Read(0, 10), std::runtime_error);
    EXPECT_EQ(image.BytesRead(), 0u);
    fail = false;
    image.Read(0, 10);
    EXPECT_TRUE(image.Complete());
}

// What the request hands over: the ring buffer part of an EEPROM image and its read-position record.
struct Station {
    EepromImage eeprom;
    const Hardware::RingBuffer& layout() const {
        return *Hardware::RingBuffer::GetConfig(
            Hardware::TransmitterCountOf(eeprom[Hardware::EE_NUMBER_OF_TRANSMITTERS]));
    }
    bool full() const { return Hardware::IsRingBufferFull(eeprom[Hardware::EE_EEPROM_FLAGS_1]); }
    RingBufferConfig config() const {
        RingBufferConfig config;
        config.ReadFromBuffer(eeprom.data() + Hardware::EE_PC_BEGIN, layout());
        return config;
    }
    unsigned unread() const {
        return eeprom[Hardware::EE_EEPROM_UNREAD_GL] | eeprom[Hardware::EE_EEPROM_UNREAD_GL + 1] << 8u;
    }
    std::span<const std::uint8_t> ring() const {
        return {eeprom.data() + Hardware::EE_START_OF_RINGBUFFER,
                Hardware::EE_EEPROM_SIZE - Hardware::EE_START_OF_RINGBUFFER};
    }
};

// The outcome of one way of reading, comparable byte for byte.
struct Outcome {
    std::string error;
    int endMarkerOffset = -1;
    std::vector<std::uint8_t> datasets; // each dataset as the station stores it
    bool operator==(const Outcome&) const = default;
};

Outcome Describe(const RingBufferParse& parse, const Hardware::RingBuffer& layout) {
    Outcome outcome;
    outcome.endMarkerOffset = parse.endMarkerOffset;
    for (const CDataset& dataset : parse.datasets) {
        std::vector<std::uint8_t> slot(layout.DatasetSize());
        EncodeStationDataset(dataset, layout, slot);
        outcome.datasets.insert(outcome.datasets.end(), slot.begin(), slot.end());
        outcome.datasets.push_back(dataset.GetDateTime().GetStatus() == CDateTime::valid);
    }
    return outcome;
}

template <class Parse> Outcome Try(Parse parse, const Hardware::RingBuffer& layout) {
    try {
        return Describe(parse(), layout);
    } catch (const std::exception& e) {
        Outcome failed;
        failed.error = e.what();
        return failed;
    }
}

Outcome ParseWhole(const Station& station) {
    return Try(
        [&] { return ParseRingBuffer(station.ring(), station.layout(), station.full(), station.config()); },
        station.layout());
}

// The routine way; bytesRead tells how much of the ring buffer it read.
Outcome ParseRoutine(const Station& station, unsigned& bytesRead) {
    const unsigned size = std::max<unsigned>(Hardware::EE_RINGBUFFER_SIZE, station.layout().ByteSize());
    RingBufferImage image(size, [&](unsigned offset, std::span<std::uint8_t> into) {
        std::memcpy(into.data(), station.ring().data() + offset, into.size());
    });
    const Outcome outcome = Try(
        [&] {
            return ReadAndParseRingBuffer(image, station.layout(), station.full(), station.config(),
                                          [&] { return station.unread(); });
        },
        station.layout());
    bytesRead = image.BytesRead();
    return outcome;
}

void SetUnread(Station& s, unsigned count) {
    s.eeprom[Hardware::EE_EEPROM_UNREAD_GL] = static_cast<std::uint8_t>(count & 0xFF);
    s.eeprom[Hardware::EE_EEPROM_UNREAD_GL + 1] = static_cast<std::uint8_t>(count >> 8);
}

// A full four-transmitter ring (18-byte slots) read up to measurement 1900, then 12 more.
Station Routine() {
    StationImageSpec spec;
    spec.transmitters = 4;
    spec.measurements = 1900;
    Station station{CreateStationImage(spec)};
    const auto& layout = station.layout();
    const int last = 1899 % layout.DatasetCount();
    const CDateTime at = DecodeDateTime(station.eeprom.data() + layout.SlotAddress(last));
    const ReadPositionBytes record = EncodeReadPosition(at.Value(), last, 4);
    std::copy(record.begin(), record.end(), station.eeprom.begin() + Hardware::EE_PC_BEGIN);
    for (int i = 0; i < 12; ++i)
        AppendMeasurement(station.eeprom, NextMeasurement(station.eeprom, 5, 1));
    SetUnread(station, 12);
    return station;
}

struct Case {
    const char* name;
    void (*change)(Station&);
    unsigned bytesRead; // of the ring buffer, 0 = all of it
    std::size_t datasets;
};

class RoutineReadCases : public ::testing::TestWithParam<Case> {};

TEST_P(RoutineReadCases, ReadsWhatItNeedsAndDecidesAsTheWholeRead) {
    const Case& c = GetParam();
    Station station = Routine();
    c.change(station);
    unsigned bytesRead = 0;
    const Outcome routine = ParseRoutine(station, bytesRead);
    EXPECT_EQ(routine, ParseWhole(station));
    EXPECT_EQ(routine.datasets.size(), c.datasets * 19); // 18 bytes and the validity of each
    EXPECT_EQ(bytesRead, c.bytesRead ? c.bytesRead : Hardware::EE_RINGBUFFER_SIZE);
}

INSTANTIATE_TEST_SUITE_P(
    Station, RoutineReadCases,
    ::testing::Values(
        // The last read date-time (5 bytes), then 12 new, the marker and the next date-time.
        Case{"CounterRight", [](Station&) {}, 5 + 13 * 18 + 5, 12},
        // 1, 2, 4, 8, then 16 slots after the last read one.
        Case{"CounterZeroGrowsTheRead", [](Station& s) { SetUnread(s, 0); }, 5 + 16 * 18 + 5, 12},
        // The marker's lead byte is read, the date-time after it not: 12, then 24 slots.
        Case{"CounterOneShort", [](Station& s) { SetUnread(s, 11); }, 5 + 24 * 18 + 5, 12},
        Case{"CounterHugeReadsTheRest", [](Station& s) { SetUnread(s, 0xFFFF); }, 0, 12},
        Case{"RecordErased",
             [](Station& s) {
                 std::fill_n(s.eeprom.begin() + Hardware::EE_PC_BEGIN, Hardware::EE_PC_SIZE, 0xFF);
             },
             0, 1813},
        // One bit of the recorded date differs.
        Case{"RecordDateDiffers", [](Station& s) { s.eeprom[Hardware::EE_PC_BEGIN] ^= 0x01; }, 0, 1813},
        // The newest dataset's neighbour after the marker is newer: only "possibly valid".
        Case{"OnlyPossiblyValidMarker",
             [](Station& s) {
                 const auto& layout = s.layout();
                 const int after = (1912 + 1) % layout.DatasetCount();
                 EncodeStationDataset(MakeMeasurement(CDateTime(2006, 1, 1, 0, 0, 0), 4, 1), layout,
                                      {s.eeprom.data() + layout.SlotAddress(after), layout.DatasetSize()});
             },
             0, 12}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// The differential: thousands of station states, each parsed from the same memory both ways.
TEST(RoutineReadDifferential, DecidesExactlyAsTheWholeRead) {
    RandomStation random(20050117);
    unsigned routineStates = 0;
    for (int i = 0; i < 3000; ++i) {
        const RandomStation::State state = random.Next();
        const Station station{state.image};
        unsigned bytesRead = 0;
        const Outcome routine = ParseRoutine(station, bytesRead);
        ASSERT_EQ(routine, ParseWhole(station)) << "state " << i << ": " << state.description;
        routineStates += bytesRead < Hardware::EE_RINGBUFFER_SIZE ? 1 : 0;
    }
    std::cout << "[          ] " << routineStates << " of 3000 states read only what is new\n";
    // Both ways are exercised, not only the fallback.
    EXPECT_GT(routineStates, 500u);
    EXPECT_LT(routineStates, 2500u);
}

} // namespace
