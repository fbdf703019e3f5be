#pragma once

#include "station/Dataset.h"
#include "station/ImportSink.h"
#include "station/RingBufferConfig.h"

#include <cstdint>
#include <functional>
#include <span>
#include <stdexcept>
#include <vector>

// What the station's ring buffer image yields: the new datasets, oldest first, ending right
// before the end marker, and the marker's offset in the image.
struct RingBufferParse {
    std::vector<CDataset> datasets;
    int endMarkerOffset = -1;
};

// No end marker was found because the station's newest dataset has an invalid date-time: the
// marker after it is only accepted once the station has recorded a valid dataset there.
class NewestDatasetInvalid : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Chooses the part of the ring buffer that holds data not read yet (all of it when the record
// does not match), finds the end marker and parses the datasets before it. ringBuffer holds the
// layout's ByteSize() bytes from its Start(). Raises std::runtime_error when there is no end
// marker (NewestDatasetInvalid when the newest dataset's date-time hides it). abortPoint is called between
// the steps.
RingBufferParse ParseRingBuffer(std::span<const std::uint8_t> ringBuffer, const Hardware::RingBuffer& layout,
                                bool full, const RingBufferConfig& config,
                                const std::function<void()>& abortPoint = {});

// Decodes consecutive datasets from bytes (a multiple of the slot size), one per slot: a slot
// with a lead byte 0xFF or 0xFE among them is a damaged dataset and gives an invalid one.
std::vector<CDataset> ParseDatasets(std::span<const std::uint8_t> bytes, const Hardware::RingBuffer& layout);

// The base unit marks the slot after a new dataset first, then writes the dataset byte by byte,
// its date-time first and its last byte last, and counts it as unread once it is complete. A
// newest dataset whose last byte is still erased (0xFF) while the unread counter does not count
// it (fewer unread than parsed datasets, or a saturated counter that cannot tell) is still being
// written: it is taken out of the parse, and the end marker offset moves to its slot, so the read
// position stays before it. A real measurement whose last value overflowed looks the same; the
// counter counts it, at the latest once this import has written 1 there (see the request).
// unreadCount is asked only when a slot looks incomplete. Returns whether the slot was left.
bool LeaveIncompleteNewest(RingBufferParse& parse, std::span<const std::uint8_t> ringBuffer,
                           const Hardware::RingBuffer& layout, const std::function<unsigned()>& unreadCount);

// The slot of the newest valid dataset: datasets pair from the end with the slots before the
// end marker at endMarkerOffset, wrapping at the ring's start. -1 when none is valid or there is
// no end marker (-1).
int NewLastReadIndex(const std::vector<CDataset>& datasets, int endMarkerOffset,
                     const Hardware::RingBuffer& layout, CDateTime& newLastReadDateTime);

struct CleanCounts {
    int invalid = 0;
    int readDoubles = 0;
    int known = 0;
    int damaged = 0;       // datasets with a value or date no station records
    int damagedValues = 0; // of those values, stored as missing
};

// Removes invalid datasets, neighbouring doubles and measurements the sink already holds, keeping
// the order of the rest. Damage is never stored: a value no station records becomes missing, a
// dataset dated outside the station's years is left out (both counted as damaged).
CleanCounts CleanDatasets(std::vector<CDataset>& datasets, const ImportSink& sink);
