#pragma once

#include "station/Dataset.h"
#include "station/DateTime.h"
#include "station/Hardware.h"

#include <array>
#include <cstdint>
#include <optional>

namespace Hardware {
class RingBuffer;
}

// A whole station EEPROM as the base unit leaves it.
using EepromImage = std::array<std::uint8_t, Hardware::EE_EEPROM_SIZE>;
using ReadPositionBytes = std::array<std::uint8_t, Hardware::EE_PC_SIZE>;

// The PC's read-position record: 8-byte DATE, 32-bit index, 32-bit transmitter count, little-endian.
ReadPositionBytes EncodeReadPosition(DATE lastReadDateTime, std::int32_t lastReadIndex,
                                     std::int32_t lastNrOfTransmitters);

struct StationImageSpec {
    int transmitters = 1; // 1..5
    int measurements = 0; // datasets the base unit has written since it was cleared
    CDateTime start{2005, 1, 17, 14, 35, 0};
    int intervalMinutes = 5;                       // >= 1
    std::uint32_t seed = 1;                        // selects the plausible values, same seed same image
    std::optional<ReadPositionBytes> readPosition; // erased (0xFF) when not given
    std::uint8_t endMarker = 0xFF;                 // lead byte of the end-marker slot: 0xFF or 0xFE
};

// Plausible values for one measurement (daily temperature cycle with seeded noise); sensors the
// layout does not have keep their not-available values.
CDataset MakeMeasurement(const CDateTime& when, int transmitters, std::uint32_t seed);

// An image after spec.measurements measurements: the transmitter count at 12, the flags at 11 (full
// once the ring has wrapped), the unread counter at 9, the datasets from 100 in the layout with the
// slot after the newest erased as end marker. Raises std::invalid_argument for an impossible spec.
EepromImage CreateStationImage(const StationImageSpec& spec);

// Writes one more measurement into the end-marker slot, moves the marker to the next slot (wrapping
// sets the full flag) and counts it as unread. Raises std::invalid_argument when the image has no
// valid transmitter count or no end marker.
void AppendMeasurement(EepromImage& image, const CDataset& dataset, std::uint8_t endMarker = 0xFF);
// The same into a given slot, as a base unit that keeps its own write position does (one that
// does not search for its end marker, so a damaged lead byte elsewhere does not mislead it).
void WriteMeasurementAt(EepromImage& image, int slot, const CDataset& dataset, std::uint8_t endMarker = 0xFF);
// The next measurement intervalMinutes after the newest dataset (after the newest valid one and the
// invalid ones that followed it; 2005-01-17 14:35 in an empty ring).
CDataset NextMeasurement(const EepromImage& image, int intervalMinutes, std::uint32_t seed);

struct StationImageSummary {
    std::uint8_t flags = 0; // low nibble of the flags byte
    bool full = false;
    int transmitters = 0;                         // low nibble of the transmitter byte
    const Hardware::RingBuffer* layout = nullptr; // null for a count outside 1..5
    int endMarkerSlot = -1;                       // -1 when none is found
    int newestSlot = -1;                          // slot of the newest dataset, -1 in an empty ring
    std::uint16_t unread = 0;
    ReadPositionBytes readPosition{};
    DATE lastReadDateTime = 0.0;
    std::int32_t lastReadIndex = 0;
    std::int32_t lastNrOfTransmitters = 0;
};

StationImageSummary SummarizeStationImage(const EepromImage& image);

// The slot where the base unit will write next: the first slot starting 0xFF/0xFE whose cyclic
// predecessor holds a valid date-time, else the first such slot; -1 when there is none.
int FindImageEndMarkerSlot(const EepromImage& image, const Hardware::RingBuffer& layout);
