#include "cli/SimCommands.h"

#include "cli/CliFailure.h"
#include "cli/DateTimeArgument.h"
#include "simulator/EepromImageFile.h"
#include "simulator/EepromImageLock.h"
#include "station/RingBuffer.h"
#include "station/SimulatedStation.h"
#include "station/StationImage.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <stdexcept>

namespace fs = std::filesystem;
using namespace Hardware;

namespace {

constexpr const char* TimePattern = "%Y-%m-%d %H:%M";

EepromImage LoadImage(const std::string& path) {
    EepromImage image;
    bool found = false;
    try {
        found = LoadEepromImage(path, image);
    } catch (const std::exception& e) {
        throw CliFailure(std::string("station image: ") + e.what());
    }
    if (!found)
        throw CliFailure("station image " + Quoted(path) + " does not exist");
    return image;
}

// Not while a program holds the station: it would write its own image over this one.
void Hold(EepromImageLock& lock, const std::string& path) {
    if (const int error = lock.Acquire(path))
        throw CliFailure("station image: " + EepromImageLock::Reason(path, error));
}

void SaveImage(const std::string& path, const EepromImage& image) {
    try {
        SaveEepromImage(path, image);
    } catch (const std::exception& e) {
        throw CliFailure(std::string("station image: ") + e.what());
    }
}

CDateTime SlotDateTime(const EepromImage& image, const RingBuffer& layout, int slot) {
    return DecodeDateTime(image.data() + layout.SlotAddress(slot));
}

// The gap in whole minutes between the two newest datasets; nothing when there are not two.
std::optional<int> RecordedInterval(const EepromImage& image, const StationImageSummary& summary) {
    if (!summary.layout || summary.newestSlot < 0)
        return std::nullopt;
    const int slots = summary.layout->DatasetCount();
    const int previous = (summary.newestSlot + slots - 1) % slots;
    const std::uint8_t lead = image[summary.layout->SlotAddress(previous)];
    if (lead == 0xFF || lead == 0xFE)
        return std::nullopt;
    const CDateTime older = SlotDateTime(image, *summary.layout, previous);
    const CDateTime newer = SlotDateTime(image, *summary.layout, summary.newestSlot);
    if (older.GetStatus() != CDateTime::valid || newer.GetStatus() != CDateTime::valid)
        return std::nullopt;
    const auto minutes = std::llround((newer.Value() - older.Value()) * 1440.0);
    if (minutes < 1 || minutes > 24 * 60)
        return std::nullopt;
    return static_cast<int>(minutes);
}

std::string Counted(long count, const std::string& noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

std::string Hex(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

std::string ReadPositionText(const StationImageSummary& summary) {
    bool erased = true;
    for (std::uint8_t b : summary.readPosition)
        erased = erased && b == 0xFF;
    if (erased)
        return "erased (no import yet)";
    const CDateTime when(summary.lastReadDateTime);
    std::string text = "LastReadDateTime " + when.Format(TimePattern) + ", LastReadIndex " +
                       std::to_string(summary.lastReadIndex) + ", LastNrOfTransmitters " +
                       std::to_string(summary.lastNrOfTransmitters);
    const bool valid = summary.layout && when.GetStatus() == CDateTime::valid &&
                       static_cast<std::uint32_t>(summary.lastReadIndex) <
                           static_cast<std::uint32_t>(summary.layout->DatasetCount()) &&
                       IsValidTransmitterCount(summary.lastNrOfTransmitters);
    return text + (valid ? "" : " (not valid for this layout: the next import reads everything)");
}

} // namespace

int RunSimCreate(const SimCreateArgs& args) {
    if (!args.force && fs::exists(args.image))
        throw CliFailure("station image " + Quoted(args.image) + " exists already; use --force to replace it",
                         ExitUsage);
    StationImageSpec spec;
    spec.transmitters = args.transmitters;
    spec.measurements = args.datasets;
    spec.intervalMinutes = args.intervalMinutes;
    spec.seed = args.seed;
    if (!args.start.empty()) {
        const auto start = ParseIsoDateTime(args.start);
        if (!start)
            throw CliFailure("--start " + Quoted(args.start) + " is not a date-time like 2005-01-17T14:35",
                             ExitUsage);
        spec.start = *start;
    } else {
        // The newest measurement is now.
        const CDateTime now = StationTimeOf(std::chrono::system_clock::now());
        const double back =
            std::max(0, args.datasets - 1) * static_cast<double>(args.intervalMinutes) / 1440.0;
        CDateTime::Fields f;
        CDateTime(now.Value() - back).GetFields(f);
        spec.start.SetDateTime(f.year, f.month, f.day, f.hour, f.minute, 0);
    }
    EepromImage image;
    try {
        image = CreateStationImage(spec);
    } catch (const std::invalid_argument& e) {
        throw CliFailure(std::string("cannot create station image: ") + e.what(), ExitUsage);
    }
    EepromImageLock lock;
    Hold(lock, args.image);
    SaveImage(args.image, image);
    const StationImageSummary summary = SummarizeStationImage(image);
    std::cout << "Created " << args.image << ": " << Counted(summary.transmitters, "transmitter") << ", "
              << Counted(args.datasets, "measurement");
    if (summary.full)
        std::cout << ", ring buffer wrapped, " << summary.unread << " datasets kept";
    std::cout << std::endl;
    return ExitSuccess;
}

int RunSimInfo(const std::string& path) {
    const EepromImage image = LoadImage(path);
    const StationImageSummary s = SummarizeStationImage(image);
    std::cout << "Image:            " << path << "\n";
    std::cout << "Flags:            " << Hex(s.flags)
              << (s.full ? " (ring buffer full)" : " (ring buffer not full)") << "\n";
    std::cout << "Transmitters:     " << s.transmitters << (s.layout ? "" : " (not a valid count)") << "\n";
    if (s.layout) {
        const RingBuffer& l = *s.layout;
        std::cout << "Layout:           start " << Hex(l.Start()) << ", end " << Hex(l.End()) << ", "
                  << l.DatasetSize() << " bytes per dataset, " << l.DatasetCount() << " slots\n";
        if (s.endMarkerSlot >= 0)
            std::cout << "End marker slot:  " << s.endMarkerSlot << " (address "
                      << Hex(l.SlotAddress(s.endMarkerSlot)) << ")\n";
        else
            std::cout << "End marker slot:  none\n";
        if (s.newestSlot >= 0)
            std::cout << "Newest dataset:   slot " << s.newestSlot << ", "
                      << SlotDateTime(image, l, s.newestSlot).Format(TimePattern) << "\n";
        else
            std::cout << "Newest dataset:   none\n";
    }
    std::cout << "Read position:    " << ReadPositionText(s) << "\n";
    std::cout << "Unread datasets:  " << s.unread << std::endl;
    return ExitSuccess;
}

int RunSimAdd(const SimAddArgs& args) {
    EepromImageLock lock;
    if (fs::exists(args.image))
        Hold(lock, args.image);
    EepromImage image = LoadImage(args.image);
    const StationImageSummary summary = SummarizeStationImage(image);
    if (!summary.layout)
        throw CliFailure("station image " + Quoted(args.image) + " has no valid number of transmitters (" +
                         std::to_string(summary.transmitters) + ")");
    const int interval = args.intervalMinutes.value_or(RecordedInterval(image, summary).value_or(5));
    try {
        for (int i = 0; i < args.datasets; ++i)
            AppendMeasurement(image, NextMeasurement(image, interval, args.seed));
    } catch (const std::invalid_argument& e) {
        throw CliFailure("station image " + Quoted(args.image) + ": " + e.what());
    }
    SaveImage(args.image, image);
    const StationImageSummary after = SummarizeStationImage(image);
    std::cout << "Added " << Counted(args.datasets, "measurement") << " to " << args.image << ", newest "
              << SlotDateTime(image, *after.layout, after.newestSlot).Format(TimePattern) << ", "
              << after.unread << " unread" << std::endl;
    return ExitSuccess;
}
