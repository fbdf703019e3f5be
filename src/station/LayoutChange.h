#pragma once

#include "station/RingBufferConfig.h"
#include "station/RingBufferParse.h"

#include <cstdint>
#include <span>
#include <string>

// The station's transmitter count differs from the one the read position was written with: the
// base unit went on with slots of another size without clearing its ring, so bytes of both
// layouts lie side by side. No byte is parsed with a layout it was not written in: only what
// can be proven is taken.
//
// - In the old layout, the datasets after the last read one, while each holds a valid date-time
//   newer than the one before it (the first from the read position); they end where the old
//   layout's end marker was.
// - In the new layout, the run of datasets right before its end marker, each older than the
//   one after it and newer than everything taken before, that lies wholly after the old datasets.
//
// Neither part wraps around the ring's end. endMarkerOffset is the new layout's end marker, -1
// when no dataset of the new layout was taken (the read position then stays as it is).
struct LayoutChangeParse {
    RingBufferParse parse;
    int takenOld = 0;
    int takenNew = 0;
    std::string note; // one line: what was taken, what was left and why
};

// Whether the record was written with another layout than the station's: a count 1 to 5 other
// than the layout's, and an index that fits the layout it was written with.
bool LayoutChanged(const RingBufferConfig& record, const Hardware::RingBuffer& layout);

LayoutChangeParse ParseAfterLayoutChange(std::span<const std::uint8_t> ringBuffer,
                                         const Hardware::RingBuffer& layout, bool full,
                                         const RingBufferConfig& record);
