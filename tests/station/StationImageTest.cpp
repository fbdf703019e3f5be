#include "station/StationImage.h"
#include "station/DatasetEncoder.h"
#include "station/RingBuffer.h"

#include <gtest/gtest.h>
#include <sstream>
#include <vector>

using namespace Hardware;

namespace {

CDataset DecodeSlot(const EepromImage& image, const RingBuffer& layout, int slot) {
    CDataset dataset;
    dataset.DecodeStation(image.data() + layout.SlotAddress(slot), layout);
    return dataset;
}

void ExpectSameValues(const CDataset& a, const CDataset& b, int transmitters) {
    EXPECT_EQ(a.GetDateTime(), b.GetDateTime());
    for (int s = 0; s <= transmitters; ++s) {
        EXPECT_NEAR(a.GetTemperature(s), b.GetTemperature(s), 1e-4) << s;
        EXPECT_EQ(a.GetHumidity(s), b.GetHumidity(s)) << s;
    }
}

} // namespace

TEST(DatasetEncoder, ReproducesTheStationExample) {
    CDataset dataset;
    dataset.SetDateTime(CDateTime(2005, 1, 17, 14, 35, 0));
    dataset.SetTemperature(0, 21.5f);
    dataset.SetTemperature(1, -3.2f);
    dataset.SetHumidity(0, 45.0f);
    dataset.SetHumidity(1, 87.0f);
    std::vector<std::uint8_t> slot(10);
    EncodeStationDataset(dataset, *RingBuffer::GetConfig(1), slot);
    EXPECT_EQ(slot, (std::vector<std::uint8_t>{0x35, 0x14, 0x17, 0x01, 0x05, 0x15, 0x85, 0x26, 0x45, 0x87}));
}

TEST(DatasetEncoder, RoundTripsEveryLayoutAndSpecialValue) {
    for (int transmitters = 1; transmitters <= 5; ++transmitters) {
        const RingBuffer& layout = *RingBuffer::GetConfig(transmitters);
        CDataset dataset = MakeMeasurement(CDateTime(2099, 12, 31, 23, 59, 0), transmitters, 7);
        dataset.SetTemperature(0, -30.0f);
        dataset.SetTemperature(transmitters, 69.9f);
        dataset.SetHumidity(0, 0.0f);
        dataset.SetHumidity(1, 121.0f);
        dataset.SetTemperature(1, 81.1f);
        if (transmitters > 1)
            dataset.SetTemperature(2, 136.0f), dataset.SetHumidity(2, 110.0f);
        std::vector<std::uint8_t> slot(layout.DatasetSize());
        EncodeStationDataset(dataset, layout, slot);
        std::istringstream in(std::string(slot.begin(), slot.end()));
        CDataset back;
        back.ReadFromStation(in, layout);
        ExpectSameValues(back, dataset, transmitters);
        for (int s = transmitters + 1; s < 6; ++s)
            EXPECT_EQ(back.GetTemperature(s), 81.1f);
    }
    CDataset invalid;
    std::vector<std::uint8_t> slot(10);
    EncodeStationDataset(invalid, *RingBuffer::GetConfig(1), slot);
    EXPECT_EQ(DecodeDateTime(slot.data()).GetStatus(), CDateTime::invalid);
}

TEST(StationImage, FreshRingAfterSomeMeasurements) {
    StationImageSpec spec;
    spec.transmitters = 3;
    spec.measurements = 10;
    spec.intervalMinutes = 15;
    const EepromImage image = CreateStationImage(spec);
    const RingBuffer& layout = *RingBuffer::GetConfig(3);

    EXPECT_EQ(image[EE_NUMBER_OF_TRANSMITTERS], 3);
    EXPECT_EQ(image[EE_EEPROM_FLAGS_1], 0);
    EXPECT_EQ(image[EE_EEPROM_UNREAD_GL], 10);
    EXPECT_EQ(image[EE_EEPROM_UNREAD_GL + 1], 0);
    for (int i = 0; i < EE_PC_SIZE; ++i)
        EXPECT_EQ(image[EE_PC_BEGIN + i], 0xFF);
    for (int slot = 0; slot < 10; ++slot) {
        const CDataset d = DecodeSlot(image, layout, slot);
        CDateTime::Fields f;
        ASSERT_TRUE(d.GetDateTime().GetFields(f));
        EXPECT_EQ(f, (CDateTime::Fields{2005, 1, 17, 14 + (35 + slot * 15) / 60, (35 + slot * 15) % 60, 0}))
            << slot;
    }
    EXPECT_EQ(DecodeSlot(image, layout, 1).GetDateTime().LogText(), "2005-01-17 14:50:00");
    EXPECT_EQ(image[layout.SlotAddress(10)], 0xFF);
    EXPECT_TRUE(DecodeSlot(image, layout, 10).IsInvalid());

    const StationImageSummary summary = SummarizeStationImage(image);
    EXPECT_EQ(summary.layout, &layout);
    EXPECT_EQ(summary.endMarkerSlot, 10);
    EXPECT_EQ(summary.newestSlot, 9);
    EXPECT_FALSE(summary.full);
    EXPECT_EQ(summary.unread, 10);

    EXPECT_EQ(CreateStationImage(spec), image); // same seed, same image
    spec.seed = 2;
    EXPECT_NE(CreateStationImage(spec), image);
}

TEST(StationImage, WrappedRingKeepsTheNewestAndSetsFull) {
    const RingBuffer& layout = *RingBuffer::GetConfig(5);
    StationImageSpec spec;
    spec.transmitters = 5;
    spec.measurements = layout.DatasetCount() + 100;
    spec.readPosition = EncodeReadPosition(38369.5, 42, 5);
    spec.endMarker = 0xFE;
    const EepromImage image = CreateStationImage(spec);
    const StationImageSummary summary = SummarizeStationImage(image);
    EXPECT_TRUE(summary.full);
    EXPECT_EQ(summary.endMarkerSlot, 100);
    EXPECT_EQ(image[layout.SlotAddress(100)], 0xFE);
    EXPECT_EQ(summary.newestSlot, 99);
    EXPECT_EQ(summary.lastReadDateTime, 38369.5);
    EXPECT_EQ(summary.lastReadIndex, 42);
    EXPECT_EQ(summary.lastNrOfTransmitters, 5);
    EXPECT_EQ(summary.unread, layout.DatasetCount() - 1);
    // Newest before the marker, oldest right after it.
    EXPECT_TRUE(DecodeSlot(image, layout, 101).GetDateTime() < DecodeSlot(image, layout, 99).GetDateTime());
}

TEST(StationImage, AppendMovesTheMarkerAndWraps) {
    const RingBuffer& layout = *RingBuffer::GetConfig(1);
    StationImageSpec spec;
    spec.measurements = layout.DatasetCount() - 1; // marker in the last slot
    EepromImage image = CreateStationImage(spec);
    EXPECT_EQ(SummarizeStationImage(image).endMarkerSlot, layout.DatasetCount() - 1);

    const CDataset next = NextMeasurement(image, 5, 1);
    EXPECT_EQ(
        next.GetDateTime().Value(),
        CDateTime(CDateTime(2005, 1, 17, 14, 35, 0).Value() + (spec.measurements * 5) / 1440.0).Value());
    AppendMeasurement(image, next);
    StationImageSummary summary = SummarizeStationImage(image);
    EXPECT_EQ(summary.endMarkerSlot, 0);
    EXPECT_EQ(summary.newestSlot, layout.DatasetCount() - 1);
    EXPECT_TRUE(summary.full);
    ExpectSameValues(DecodeSlot(image, layout, layout.DatasetCount() - 1), next, 1);

    AppendMeasurement(image, NextMeasurement(image, 5, 1));
    summary = SummarizeStationImage(image);
    EXPECT_EQ(summary.endMarkerSlot, 1);
    EXPECT_EQ(summary.unread, layout.DatasetCount() - 1);
}

TEST(StationImage, EmptyRingAndBadSpecs) {
    StationImageSpec spec;
    spec.transmitters = 2;
    EepromImage image = CreateStationImage(spec);
    EXPECT_EQ(SummarizeStationImage(image).endMarkerSlot, 0);
    EXPECT_EQ(SummarizeStationImage(image).newestSlot, -1);
    AppendMeasurement(image, NextMeasurement(image, 5, 1));
    EXPECT_EQ(SummarizeStationImage(image).newestSlot, 0);
    EXPECT_EQ(SummarizeStationImage(image).unread, 1);

    for (auto change : std::vector<void (*)(StationImageSpec&)>{
             [](StationImageSpec& s) { s.transmitters = 0; }, [](StationImageSpec& s) { s.transmitters = 6; },
             [](StationImageSpec& s) { s.measurements = -1; },
             [](StationImageSpec& s) { s.intervalMinutes = 0; },
             [](StationImageSpec& s) { s.start = CDateTime(1999, 12, 31, 0, 0, 0); },
             [](StationImageSpec& s) { s.endMarker = 0x00; }}) {
        StationImageSpec bad;
        change(bad);
        EXPECT_THROW(CreateStationImage(bad), std::invalid_argument);
    }
    image[EE_NUMBER_OF_TRANSMITTERS] = 0x07;
    EXPECT_THROW(AppendMeasurement(image, CDataset()), std::invalid_argument);
    EXPECT_EQ(SummarizeStationImage(image).layout, nullptr);
}
