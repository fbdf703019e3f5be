#include "TempDir.h"

#include "simulator/EepromImageFile.h"
#include "simulator/SimulatedSerialPort.h"
#include "station/RingBuffer.h"
#include "station/SimulatedStation.h"

#include <gtest/gtest.h>

namespace {

EepromImage LoadImage(const std::filesystem::path& path) {
    EepromImage image{};
    EXPECT_TRUE(LoadEepromImage(path, image));
    return image;
}

} // namespace

TEST(SimulatedStation, MissingImageStartsAsDemoDataEndingNow) {
    TempDir dir;
    const auto now = std::chrono::system_clock::now();
    auto port = MakeStationPort("sim:" + (dir / "demo.img").string(), {});
    port->open("sim", 300);
    port->close();
    const EepromImage image = LoadImage(dir / "demo.img");
    EXPECT_EQ(image, CreateStationImage(DemoStationSpec(now)));
    const StationImageSummary s = SummarizeStationImage(image);
    EXPECT_EQ(s.transmitters, 3);
    const CDateTime newest = DecodeDateTime(image.data() + s.layout->SlotAddress(s.newestSlot));
    EXPECT_EQ(newest, StationTimeOf(now));
}

TEST(SimulatedStation, BaseUnitRecordsOnItsScheduleOnlyWhenAsked) {
    TempDir dir;
    StationImageSpec spec;
    spec.transmitters = 2;
    spec.measurements = 10;
    SaveEepromImage(dir / "a.img", CreateStationImage(spec));
    SaveEepromImage(dir / "b.img", CreateStationImage(spec));

    for (int interval : {0, 5}) {
        const auto file = dir / (interval ? "a.img" : "b.img");
        SimulatedStationSetup setup;
        setup.recordingIntervalMinutes = interval;
        auto port = MakeStationPort("sim:" + file.string(), setup);
        port->open("sim", 300);
        port->sleep(11 * 60 * 1000); // virtual: two recordings are due
        port->close();
        const StationImageSummary s = SummarizeStationImage(LoadImage(file));
        EXPECT_EQ(s.unread, interval ? 12 : 10) << interval;
        EXPECT_EQ(s.endMarkerSlot, interval ? 12 : 10) << interval;
    }
}

TEST(SimulatedStation, RecordingNeedsAnImageTheBaseUnitCanWriteTo) {
    EepromImage blank;
    blank.fill(0xFF); // no transmitter count
    EXPECT_FALSE(RecordMeasurement(blank, CDateTime(2005, 1, 17, 14, 35, 0), 1));
    EXPECT_TRUE(std::all_of(blank.begin(), blank.end(), [](std::uint8_t b) { return b == 0xFF; }));

    StationImageSpec spec;
    spec.measurements = 3;
    EepromImage image = CreateStationImage(spec);
    ASSERT_TRUE(RecordMeasurement(image, CDateTime(2005, 1, 17, 15, 0, 0), 1));
    EXPECT_EQ(SummarizeStationImage(image).unread, 4);
}
