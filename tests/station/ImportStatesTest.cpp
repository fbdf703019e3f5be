#include "station/DatasetEncoder.h"
#include "station/Hardware.h"
#include "station/LayoutChange.h"
#include "station/RingBuffer.h"
#include "station/RingBufferParse.h"
#include "station/StationImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

// The station states that once lost or invented data, at the level of the station's bytes: what
// the parse, the newest-slot check and the cleaning take from an image, against a history that
// holds what was imported before.
namespace {

constexpr int Interval = 5;

class ImportSinkOf : public ImportSink {
public:
    explicit ImportSinkOf(std::vector<CDataset> held) : m_held(std::move(held)) {}
    void RemoveKnown(std::vector<CDataset>& datasets) const override {
        std::erase_if(datasets, [&](const CDataset& d) {
            return std::any_of(m_held.begin(), m_held.end(),
                               [&](const CDataset& h) { return SameMeasurement(h, d); });
        });
    }
    bool Store(const std::vector<CDataset>&) override { return true; }
    std::string Name() const override { return "memory"; }

private:
    std::vector<CDataset> m_held;
};

// A station image, what was imported from it, and what it recorded since.
struct State {
    EepromImage image{};
    const Hardware::RingBuffer* layout = nullptr;
    std::vector<CDataset> imported, fresh; // fresh: what a complete import takes now
    int writeSlot = 0;
    CDateTime last;

    State(int transmitters, int measurements) {
        StationImageSpec spec;
        spec.transmitters = transmitters;
        spec.measurements = measurements;
        spec.intervalMinutes = Interval;
        image = CreateStationImage(spec);
        layout = Hardware::RingBuffer::GetConfig(transmitters);
        const int slots = layout->DatasetCount();
        for (int i = std::max(0, measurements - (slots - 1)); i < measurements; ++i)
            imported.push_back(MakeMeasurement(At(spec.start, i * Interval), transmitters, spec.seed));
        writeSlot = measurements % slots;
        last = imported.back().GetDateTime();
        const auto record = EncodeReadPosition(last.Value(), SlotOf(1), transmitters);
        std::copy(record.begin(), record.end(), image.begin() + Hardware::EE_PC_BEGIN);
        SetUnread(0);
    }
    static CDateTime At(const CDateTime& from, int minutes) {
        CDateTime::Fields f;
        CDateTime(from.Value() + minutes / 1440.0).GetFields(f);
        return CDateTime(f.year, f.month, f.day, f.hour, f.minute, 0);
    }
    int SlotOf(int recent) const {
        const int slots = layout->DatasetCount();
        return ((writeSlot - recent) % slots + slots) % slots;
    }
    std::uint8_t* Slot(int slot) { return image.data() + layout->SlotAddress(slot); }
    void SetUnread(unsigned count) {
        image[Hardware::EE_EEPROM_UNREAD_GL] = static_cast<std::uint8_t>(count & 0xFF);
        image[Hardware::EE_EEPROM_UNREAD_GL + 1] = static_cast<std::uint8_t>(count >> 8);
    }
    unsigned Unread() const {
        return image[Hardware::EE_EEPROM_UNREAD_GL] | image[Hardware::EE_EEPROM_UNREAD_GL + 1] << 8u;
    }
    void Write(const CDataset& dataset) {
        WriteMeasurementAt(image, writeSlot, dataset);
        writeSlot = (writeSlot + 1) % layout->DatasetCount();
        fresh.push_back(dataset);
        last = dataset.GetDateTime();
    }
    void Record(int count, std::uint32_t seed = 1) {
        for (int i = 0; i < count; ++i)
            Write(MakeMeasurement(At(last, Interval), layout->NrOfTransmitters(), seed));
    }
    void Damage(int recent, std::uint8_t lead) { // the lead byte of a fresh dataset: it is lost
        Slot(SlotOf(recent))[0] = lead;
        fresh.erase(fresh.end() - recent);
    }
};

struct Taken {
    std::vector<std::string> datasets;
    bool newestLeft = false;
    CleanCounts counts;
};

std::string Text(const CDataset& d) {
    std::string text = d.GetDateTime().LogText();
    for (int v = 0; v < 2 * CDataset::SensorCount; ++v)
        text += " " + std::to_string(d.Values()[v] + 0.0f);
    return text;
}

std::vector<std::string> Texts(const std::vector<CDataset>& datasets) {
    std::vector<std::string> texts;
    for (const CDataset& d : datasets)
        texts.push_back(Text(d));
    return texts;
}

// What an import takes from the state, the whole ring buffer in hand.
Taken Import(const State& s) {
    const int transmitters = Hardware::TransmitterCountOf(s.image[Hardware::EE_NUMBER_OF_TRANSMITTERS]);
    const Hardware::RingBuffer& layout = *Hardware::RingBuffer::GetConfig(transmitters);
    const bool full = Hardware::IsRingBufferFull(s.image[Hardware::EE_EEPROM_FLAGS_1]);
    const std::span<const std::uint8_t> ring{s.image.data() + Hardware::EE_START_OF_RINGBUFFER,
                                             Hardware::EE_EEPROM_SIZE - Hardware::EE_START_OF_RINGBUFFER};
    const RingBufferConfig stored = RingBufferConfig::Decode(s.image.data() + Hardware::EE_PC_BEGIN);
    RingBufferConfig config;
    config.ReadFromBuffer(s.image.data() + Hardware::EE_PC_BEGIN, layout);
    RingBufferParse parse = LayoutChanged(stored, layout)
                                ? ParseAfterLayoutChange(ring, layout, full, stored).parse
                                : ParseRingBuffer(ring, layout, full, config);
    Taken taken;
    taken.newestLeft = LeaveIncompleteNewest(parse, ring, layout, [&] { return s.Unread(); });
    taken.counts = CleanDatasets(parse.datasets, ImportSinkOf(s.imported));
    taken.datasets = Texts(parse.datasets);
    return taken;
}

struct Case {
    const char* name;
    std::function<State()> make;
    bool newestLeft = false;
    int damagedValues = 0;
};

class ImportStates : public ::testing::TestWithParam<Case> {};

TEST_P(ImportStates, TakeExactlyWhatTheStationMeasured) {
    const Case& c = GetParam();
    const State state = c.make();
    const Taken taken = Import(state);
    EXPECT_EQ(taken.datasets, Texts(state.fresh));
    EXPECT_EQ(taken.newestLeft, c.newestLeft);
    EXPECT_EQ(taken.counts.damagedValues, c.damagedValues);
}

const int FullRing = 2177 + 100; // three transmitters: 2177 slots

// A stray lead byte among ten fresh datasets.
std::function<State()> Stray(int measurements, int damagedRecent, std::uint8_t lead) {
    return [=] {
        State s(3, measurements);
        s.Record(10);
        s.Damage(damagedRecent, lead);
        return s;
    };
}

// The base unit marked the next slot and wrote the first bytes of the newest; the unread counter
// counts it only once it is complete.
std::function<State()> HalfWritten(int written, bool counted) {
    return [=] {
        State s(3, 100);
        s.Record(4);
        s.Record(1);
        const unsigned S = s.layout->DatasetSize();
        std::fill(s.Slot(s.SlotOf(1)) + written, s.Slot(s.SlotOf(1)) + S, std::uint8_t{0xFF});
        s.SetUnread(counted ? 5 : 4);
        if (counted) // a real measurement whose last values overflowed: taken as it stands
            s.fresh.back().DecodeStation(s.Slot(s.SlotOf(1)), *s.layout);
        else
            s.fresh.pop_back();
        return s;
    };
}

INSTANTIATE_TEST_SUITE_P(
    Station, ImportStates,
    ::testing::Values(Case{"StrayFfFirstAfterTheLastImport", Stray(100, 10, 0xFF)},
                      Case{"StrayFeFirstAfterTheLastImport", Stray(100, 10, 0xFE)},
                      Case{"StrayFfLater", Stray(100, 6, 0xFF)}, Case{"StrayFeLater", Stray(100, 6, 0xFE)},
                      Case{"FullRingStrayFfFirstAfterTheLastImport", Stray(FullRing, 10, 0xFF)},
                      Case{"FullRingStrayFeLater", Stray(FullRing, 6, 0xFE)},
                      Case{"HalfWrittenDateTimeOnly", HalfWritten(5, false), true},
                      Case{"HalfWrittenSomeValues", HalfWritten(12, false), true},
                      Case{"HalfWrittenButCountedIsComplete", HalfWritten(12, true)},
                      Case{"CompletedSlot",
                           [] {
                               State s(3, 100);
                               s.Record(5);
                               return s;
                           }},
                      Case{"RealMeasurementWithEveryValueOutOfRange",
                           [] {
                               State s(3, 100);
                               s.Record(2);
                               CDataset overflow = MakeMeasurement(State::At(s.last, Interval), 3, 1);
                               for (int sensor = 0; sensor <= 3; ++sensor) {
                                   overflow.SetTemperature(sensor, CDataset::TemperatureOverflow);
                                   overflow.SetHumidity(sensor, CDataset::HumidityOverflow);
                               }
                               s.Write(overflow);
                               return s;
                           }},
                      Case{"RepeatedHour",
                           [] {
                               State s(3, 36); // 14:35 to 17:30
                               s.last = State::At(s.last, -60 - Interval);
                               s.Record(19, 2); // 16:30 to 18:00 with other values
                               return s;
                           }},
                      Case{"LayoutChangeThreeToFive",
                           [] {
                               State s(3, 100);
                               s.Record(5);
                               const int oldMarker = s.writeSlot * static_cast<int>(s.layout->DatasetSize());
                               s.image[Hardware::EE_NUMBER_OF_TRANSMITTERS] = 5;
                               s.layout = Hardware::RingBuffer::GetConfig(5);
                               s.writeSlot = (oldMarker + 19) / 20;
                               s.Record(10);
                               return s;
                           }},
                      Case{"DamagedValueDigits",
                           [] {
                               State s(3, 100);
                               s.Record(5);
                               std::uint8_t* slot = s.Slot(s.SlotOf(3));
                               SetNibble(slot, 12, 0xC); // indoor temperature tens
                               slot[8] = 0xC5;           // indoor humidity
                               CDataset& d = s.fresh[s.fresh.size() - 3];
                               d.SetTemperature(0, CDataset::TemperatureNotAvailable);
                               d.SetHumidity(0, CDataset::HumidityNotAvailable);
                               return s;
                           },
                           false, 2}),
    [](const ::testing::TestParamInfo<Case>& info) { return info.param.name; });

} // namespace
