#pragma once

#include "station/RingBufferConfig.h"
#include "station/RingBufferImage.h"
#include "station/RingBufferParse.h"

#include <functional>

// Reads what the import needs from the ring buffer and parses it, with exactly the result that
// ParseRingBuffer gives on the whole ring buffer.
//
// When the image is not complete yet and the read-position record still matches the station,
// only the slots after the last read dataset are read, in blocks that double, starting from what
// unreadCount (the station's unread counter, a hint only) suggests, until the end-marker search
// over the read bytes picks a valid marker: the first valid candidate wins, and every candidate
// before it was judged with both its neighbours read, so the search over the whole rest of the
// ring would pick the same. A block ends with the date-time of the slot after its last whole
// slot: that is all the search needs of it. In every other case the rest of the ring buffer is read and
// parsed as a whole. abortPoint is called between the steps.
RingBufferParse ReadAndParseRingBuffer(RingBufferImage& image, const Hardware::RingBuffer& layout, bool full,
                                       const RingBufferConfig& config,
                                       const std::function<unsigned()>& unreadCount,
                                       const std::function<void()>& abortPoint = {});
