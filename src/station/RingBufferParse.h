#pragma once

#include "station/Dataset.h"
#include "station/ImportSink.h"
#include "station/RingBufferConfig.h"

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

// What the station's ring buffer image yields: the new datasets, oldest first, ending right
// before the end marker, and the marker's offset in the image.
struct RingBufferParse {
    std::vector<CDataset> datasets;
    int endMarkerOffset = -1;
};

// Chooses the part of the ring buffer that holds data not read yet (all of it when the record
// does not match), finds the end marker and parses the datasets before it. ringBuffer holds the
// layout's ByteSize() bytes from its Start(). Raises std::runtime_error when there is no end
// marker. abortPoint is called between the steps.
RingBufferParse ParseRingBuffer(std::span<const std::uint8_t> ringBuffer, const Hardware::RingBuffer& layout,
                                bool full, const RingBufferConfig& config,
                                const std::function<void()>& abortPoint = {});

// Decodes consecutive datasets from bytes (a multiple of the slot size), stopping after a
// dataset that is followed by a lead byte 0xFF or 0xFE.
std::vector<CDataset> ParseDatasets(std::span<const std::uint8_t> bytes, const Hardware::RingBuffer& layout);

// The slot of the newest valid dataset: datasets pair from the end with the slots before the
// end marker at endMarkerOffset, wrapping at the ring's start. -1 when none is valid.
int NewLastReadIndex(const std::vector<CDataset>& datasets, int endMarkerOffset,
                     const Hardware::RingBuffer& layout, CDateTime& newLastReadDateTime);

struct CleanCounts {
    int invalid = 0;
    int readDoubles = 0;
    int known = 0;
};

// Removes invalid datasets, neighbouring doubles and datasets the sink already holds, keeping the
// order of the rest.
CleanCounts CleanDatasets(std::vector<CDataset>& datasets, const ImportSink& sink);
