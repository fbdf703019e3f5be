#pragma once

#include "station/DateTime.h"
#include "station/RingBuffer.h"

#include <array>
#include <cstdint>

// The PC's read position, kept in the station's PC area: the date-time and slot of the newest
// dataset the PC has taken over, and the transmitter count of the layout that slot refers to.
// 16 bytes little-endian: DATE (8), LastReadIndex (4), LastNrOfTransmitters (4).
struct RingBufferConfig {
    using Bytes = std::array<std::uint8_t, 16>;

    CDateTime LastReadDateTime;
    std::int32_t LastReadIndex = 9999;
    std::int32_t LastNrOfTransmitters = 6;

    RingBufferConfig() { Reset(); }

    void Reset();
    bool IsValid(const Hardware::RingBuffer& layout) const;
    // The record as the station's bytes hold it, not checked.
    static RingBufferConfig Decode(const std::uint8_t* bytes);
    // Takes the record from the station's bytes; one that is not valid for the layout is reset.
    void ReadFromBuffer(const std::uint8_t* bytes, const Hardware::RingBuffer& layout);
    Bytes ToBytes() const;
};
