#include "station/StationImage.h"

#include "station/DatasetEncoder.h"
#include "station/RingBuffer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>

using namespace Hardware;

namespace {

constexpr double Pi = 3.14159265358979323846;

std::uint32_t Mix(std::uint32_t x) {
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    x ^= x >> 16;
    return x;
}

// Deterministic noise in [-1, 1] for a seed, a minute and a channel.
double Noise(std::uint32_t seed, std::int64_t minute, int channel) {
    const std::uint32_t h = Mix(seed ^ Mix(static_cast<std::uint32_t>(minute) ^
                                           Mix(static_cast<std::uint32_t>(channel) + 0x9E3779B9u)));
    return (h % 2001) / 1000.0 - 1.0;
}

float Tenths(double v) {
    return static_cast<float>(std::round(v * 10.0) / 10.0);
}

std::uint8_t* Slot(EepromImage& image, const RingBuffer& layout, int slot) {
    return image.data() + layout.SlotAddress(slot);
}
const std::uint8_t* Slot(const EepromImage& image, const RingBuffer& layout, int slot) {
    return image.data() + layout.SlotAddress(slot);
}

bool IsMarkerByte(std::uint8_t b) {
    return b == 0xFF || b == 0xFE;
}

void MarkEnd(EepromImage& image, const RingBuffer& layout, int slot, std::uint8_t endMarker) {
    std::uint8_t* bytes = Slot(image, layout, slot);
    std::fill_n(bytes, layout.DatasetSize(), std::uint8_t{0xFF});
    bytes[0] = endMarker;
}

std::uint16_t Unread(const EepromImage& image) {
    return static_cast<std::uint16_t>(image[EE_EEPROM_UNREAD_GL] | image[EE_EEPROM_UNREAD_GL + 1] << 8);
}

void SetUnread(EepromImage& image, unsigned count) {
    const auto value = static_cast<std::uint16_t>(std::min(count, 0xFFFFu));
    image[EE_EEPROM_UNREAD_GL] = static_cast<std::uint8_t>(value & 0xFF);
    image[EE_EEPROM_UNREAD_GL + 1] = static_cast<std::uint8_t>(value >> 8);
}

const RingBuffer& LayoutOf(const EepromImage& image) {
    const int count = TransmitterCountOf(image[EE_NUMBER_OF_TRANSMITTERS]);
    if (!IsValidTransmitterCount(count))
        throw std::invalid_argument("The image has no valid number of transmitters: " +
                                    std::to_string(count));
    return *RingBuffer::GetConfig(count);
}

void CheckMarkerByte(std::uint8_t endMarker) {
    if (!IsMarkerByte(endMarker))
        throw std::invalid_argument("An end marker starts with 0xFF or 0xFE");
}

} // namespace

ReadPositionBytes EncodeReadPosition(DATE lastReadDateTime, std::int32_t lastReadIndex,
                                     std::int32_t lastNrOfTransmitters) {
    ReadPositionBytes bytes{};
    std::uint64_t bits;
    std::memcpy(&bits, &lastReadDateTime, sizeof bits);
    for (int i = 0; i < 8; ++i)
        bytes[i] = static_cast<std::uint8_t>(bits >> (8 * i));
    for (int i = 0; i < 4; ++i) {
        bytes[8 + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(lastReadIndex) >> (8 * i));
        bytes[12 + i] =
            static_cast<std::uint8_t>(static_cast<std::uint32_t>(lastNrOfTransmitters) >> (8 * i));
    }
    return bytes;
}

CDataset MakeMeasurement(const CDateTime& when, int transmitters, std::uint32_t seed) {
    CDataset dataset;
    dataset.SetDateTime(when);
    const std::int64_t minute = std::llround(when.Value() * 1440.0);
    const double hourOfDay = static_cast<double>(((minute % 1440) + 1440) % 1440) / 60.0;
    const double daily = std::sin(2.0 * Pi * (hourOfDay - 9.0) / 24.0); // warmest mid-afternoon
    dataset.SetTemperature(0, Tenths(21.0 + 0.8 * daily + 0.3 * Noise(seed, minute, 0)));
    dataset.SetHumidity(0, static_cast<float>(std::round(45.0 - 3.0 * daily + 2.0 * Noise(seed, minute, 1))));
    for (int t = 1; t <= std::clamp(transmitters, 0, 5); ++t) {
        const double offset = 1.5 * (t - 1);
        dataset.SetTemperature(t, Tenths(6.0 + offset + 6.0 * daily + Noise(seed, minute, 2 * t)));
        dataset.SetHumidity(t, static_cast<float>(std::round(std::clamp(
                                   75.0 - 15.0 * daily + 5.0 * Noise(seed, minute, 2 * t + 1), 1.0, 99.0))));
    }
    return dataset;
}

EepromImage CreateStationImage(const StationImageSpec& spec) {
    if (!IsValidTransmitterCount(spec.transmitters))
        throw std::invalid_argument("Number of transmitters must be 1 to 5, not " +
                                    std::to_string(spec.transmitters));
    if (spec.measurements < 0)
        throw std::invalid_argument("Number of measurements must not be negative");
    if (spec.intervalMinutes < 1)
        throw std::invalid_argument("Interval must be at least one minute");
    if (spec.start.GetStatus() != CDateTime::valid)
        throw std::invalid_argument("Start date-time is not valid");
    CheckMarkerByte(spec.endMarker);

    const RingBuffer& layout = *RingBuffer::GetConfig(spec.transmitters);
    const int slots = layout.DatasetCount();
    CDateTime::Fields last;
    const DATE lastValue = spec.start.Value() + (spec.measurements - 1) * spec.intervalMinutes / 1440.0;
    if (spec.measurements > 0 && (!FieldsFromDate(lastValue, last) || last.year > 2099))
        throw std::invalid_argument("The measurements run past what the station can store (year 2099)");
    CDateTime::Fields first;
    if (!spec.start.GetFields(first) || first.year < 2000)
        throw std::invalid_argument("The station stores years 2000 to 2099 only");

    EepromImage image;
    image.fill(0xFF);
    image[EE_NUMBER_OF_TRANSMITTERS] = static_cast<std::uint8_t>(spec.transmitters);
    const bool wrapped = spec.measurements >= slots;
    image[EE_EEPROM_FLAGS_1] = wrapped ? EE_FLAG_RINGBUFFER_FULL : 0x00;
    if (spec.readPosition)
        std::copy(spec.readPosition->begin(), spec.readPosition->end(), image.begin() + EE_PC_BEGIN);

    // Only the last slots - 1 measurements survive a wrap: the marker always takes one slot.
    const int kept = std::min(spec.measurements, slots - 1);
    for (int i = spec.measurements - kept; i < spec.measurements; ++i) {
        CDateTime when(spec.start.Value() + static_cast<double>(i) * spec.intervalMinutes / 1440.0);
        CDateTime::Fields f;
        when.GetFields(f); // whole minutes, as the station keeps them
        when.SetDateTime(f.year, f.month, f.day, f.hour, f.minute, 0);
        const CDataset dataset = MakeMeasurement(when, spec.transmitters, spec.seed);
        EncodeStationDataset(dataset, layout, {Slot(image, layout, i % slots), layout.DatasetSize()});
    }
    MarkEnd(image, layout, spec.measurements % slots, spec.endMarker);
    SetUnread(image, static_cast<unsigned>(kept));
    return image;
}

int FindImageEndMarkerSlot(const EepromImage& image, const RingBuffer& layout) {
    const int slots = layout.DatasetCount();
    int firstCandidate = -1;
    for (int slot = 0; slot < slots; ++slot) {
        if (!IsMarkerByte(Slot(image, layout, slot)[0]))
            continue;
        if (firstCandidate < 0)
            firstCandidate = slot;
        const int previous = (slot + slots - 1) % slots;
        if (!IsMarkerByte(Slot(image, layout, previous)[0]) &&
            DecodeDateTime(Slot(image, layout, previous)).GetStatus() == CDateTime::valid)
            return slot;
    }
    return firstCandidate;
}

void AppendMeasurement(EepromImage& image, const CDataset& dataset, std::uint8_t endMarker) {
    const RingBuffer& layout = LayoutOf(image);
    const int slot = FindImageEndMarkerSlot(image, layout);
    if (slot < 0)
        throw std::invalid_argument("The image's ring buffer has no end marker");
    WriteMeasurementAt(image, slot, dataset, endMarker);
}

void WriteMeasurementAt(EepromImage& image, int slot, const CDataset& dataset, std::uint8_t endMarker) {
    CheckMarkerByte(endMarker);
    const RingBuffer& layout = LayoutOf(image);
    if (slot < 0 || slot >= layout.DatasetCount())
        throw std::invalid_argument("No slot " + std::to_string(slot) + " in the ring buffer");
    EncodeStationDataset(dataset, layout, {Slot(image, layout, slot), layout.DatasetSize()});
    const int next = (slot + 1) % layout.DatasetCount();
    MarkEnd(image, layout, next, endMarker);
    if (next == 0)
        image[EE_EEPROM_FLAGS_1] |= EE_FLAG_RINGBUFFER_FULL;
    SetUnread(image,
              std::min<unsigned>(Unread(image) + 1u, static_cast<unsigned>(layout.DatasetCount() - 1)));
}

CDataset NextMeasurement(const EepromImage& image, int intervalMinutes, std::uint32_t seed) {
    if (intervalMinutes < 1)
        throw std::invalid_argument("Interval must be at least one minute");
    const RingBuffer& layout = LayoutOf(image);
    const int slot = FindImageEndMarkerSlot(image, layout);
    CDateTime when(2005, 1, 17, 14, 35, 0);
    // The newest valid dataset, counting the slots back to it: datasets whose date-time the clock
    // got wrong still took their interval.
    const int slots = layout.DatasetCount();
    for (int back = 1; slot >= 0 && back < slots; ++back) {
        const int previous = (slot + slots - back) % slots;
        if (IsMarkerByte(Slot(image, layout, previous)[0]))
            break;
        const CDateTime newest = DecodeDateTime(Slot(image, layout, previous));
        if (newest.GetStatus() == CDateTime::valid) {
            CDateTime::Fields f;
            CDateTime(newest.Value() + back * intervalMinutes / 1440.0).GetFields(f);
            when.SetDateTime(f.year, f.month, f.day, f.hour, f.minute, 0);
            break;
        }
    }
    return MakeMeasurement(when, layout.NrOfTransmitters(), seed);
}

StationImageSummary SummarizeStationImage(const EepromImage& image) {
    StationImageSummary summary;
    summary.flags = FlagsOf(image[EE_EEPROM_FLAGS_1]);
    summary.full = IsRingBufferFull(image[EE_EEPROM_FLAGS_1]);
    summary.transmitters = TransmitterCountOf(image[EE_NUMBER_OF_TRANSMITTERS]);
    summary.unread = Unread(image);
    std::copy_n(image.begin() + EE_PC_BEGIN, EE_PC_SIZE, summary.readPosition.begin());
    std::uint64_t bits = 0;
    std::uint32_t index = 0, count = 0;
    for (int i = 0; i < 8; ++i)
        bits |= static_cast<std::uint64_t>(summary.readPosition[i]) << (8 * i);
    for (int i = 0; i < 4; ++i) {
        index |= static_cast<std::uint32_t>(summary.readPosition[8 + i]) << (8 * i);
        count |= static_cast<std::uint32_t>(summary.readPosition[12 + i]) << (8 * i);
    }
    std::memcpy(&summary.lastReadDateTime, &bits, sizeof bits);
    summary.lastReadIndex = static_cast<std::int32_t>(index);
    summary.lastNrOfTransmitters = static_cast<std::int32_t>(count);
    if (IsValidTransmitterCount(summary.transmitters)) {
        summary.layout = RingBuffer::GetConfig(summary.transmitters);
        summary.endMarkerSlot = FindImageEndMarkerSlot(image, *summary.layout);
        if (summary.endMarkerSlot >= 0) {
            const int slots = summary.layout->DatasetCount();
            const int previous = (summary.endMarkerSlot + slots - 1) % slots;
            const std::uint8_t* bytes = Slot(image, *summary.layout, previous);
            if (!IsMarkerByte(bytes[0]) && DecodeDateTime(bytes).GetStatus() == CDateTime::valid)
                summary.newestSlot = previous;
        }
    }
    return summary;
}
