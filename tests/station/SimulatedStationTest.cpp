#include "TempDir.h"

#include "simulator/EepromImageFile.h"
#include "simulator/SimulatedSerialPort.h"
#include "station/RingBuffer.h"
#include "station/SimulatedStation.h"

#include <gtest/gtest.h>

#include <ctime>

namespace {

EepromImage LoadImage(const std::filesystem::path& path) {
    EepromImage image{};
    EXPECT_TRUE(LoadEepromImage(path, image));
    return image;
}

} // namespace

TEST(SimulatedStation, MissingImageStartsAsDemoDataEndingNow) {
    TempDir dir;
    std::tm local{};
    local.tm_year = 2005 - 1900;
    local.tm_mon = 0;
    local.tm_mday = 17;
    local.tm_hour = 14;
    local.tm_min = 35;
    local.tm_sec = 20;
    local.tm_isdst = -1;
    const auto now = std::chrono::system_clock::from_time_t(std::mktime(&local));
    SimulatedStationSetup setup;
    setup.wallClock = [now] { return now; };
    auto port = MakeStationPort("sim:" + (dir / "demo.img").string(), setup);
    port->open("sim", 300);
    port->close();

    // Three transmitters, two days of 5-minute measurements, the newest at the clock's minute.
    const EepromImage image = LoadImage(dir / "demo.img");
    const StationImageSummary s = SummarizeStationImage(image);
    EXPECT_EQ(s.transmitters, 3);
    EXPECT_EQ(s.unread, 576);
    EXPECT_EQ(s.endMarkerSlot, 576);
    const auto at = [&](int slot) { return DecodeDateTime(image.data() + s.layout->SlotAddress(slot)); };
    EXPECT_EQ(at(s.newestSlot), CDateTime(2005, 1, 17, 14, 35, 0));
    EXPECT_EQ(at(0), CDateTime(2005, 1, 15, 14, 40, 0));
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
