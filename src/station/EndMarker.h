#pragma once

#include "station/RingBuffer.h"

#include <cstdint>

// Lead bytes the station writes into the slot after its newest dataset.
constexpr bool IsEndMarkerByte(std::uint8_t byte) {
    return byte == 0xFF || byte == 0xFE;
}

// Finds the station's end marker in a window of the ring buffer image that starts at a slot
// boundary. Every candidate slot is judged by the date-times of its neighbours and logged.
// Returns the chosen marker's offset from window (a multiple of the slot size), or -1.
//
// ringStart, when given, says that the window ends where the ring buffer ends: a candidate in
// the window's last slot then has the ring's first slot as its neighbour after, as the station
// sees it, instead of being out of bounds.
int FindEndMarker(const std::uint8_t* window, unsigned length, const Hardware::RingBuffer& layout, bool full,
                  const std::uint8_t* ringStart = nullptr);
