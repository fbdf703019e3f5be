#pragma once

#include <cstdint>

// The station EEPROM addresses the program touches and the transmitter count.
namespace Hardware {

// Counter of datasets not yet read by the PC (2 bytes, cleared after a read).
constexpr std::uint16_t EE_EEPROM_UNREAD_GL = 0x09;
// Station flags; bit 2 of the low nibble set = the ring buffer has wrapped.
constexpr std::uint16_t EE_EEPROM_FLAGS_1 = 0x0B;
constexpr std::uint16_t EE_EEPROM_FLAGS_1_SIZE = 1;
// Number of outdoor transmitters in the low nibble.
constexpr std::uint16_t EE_NUMBER_OF_TRANSMITTERS = 0x0C;
constexpr std::uint16_t EE_NUMBER_OF_TRANSMITTERS_SIZE = 1;
// Area left to the PC for its read-position record.
constexpr std::uint16_t EE_PC_BEGIN = 0x51;
constexpr std::uint16_t EE_PC_SIZE = 16;
// The dataset ring buffer; the PC reads exactly this many bytes from its start.
constexpr std::uint16_t EE_START_OF_RINGBUFFER = 0x64;
constexpr std::uint16_t EE_RINGBUFFER_SIZE = 0x7F93;
// Size of the whole EEPROM.
constexpr std::uint32_t EE_EEPROM_SIZE = 32768;

constexpr std::uint8_t EE_FLAG_RINGBUFFER_FULL = 0x04;

enum NrOfTransmitters { ntOne = 1, ntTwo = 2, ntThree = 3, ntFour = 4, ntFive = 5, ntErr = 6 };

// Only the low nibble of the flags byte carries flags.
constexpr std::uint8_t FlagsOf(std::uint8_t flagsByte) {
    return flagsByte & 0x0F;
}
constexpr bool IsRingBufferFull(std::uint8_t flagsByte) {
    return (flagsByte & EE_FLAG_RINGBUFFER_FULL) != 0;
}
// The high nibble of the transmitter byte is ignored.
constexpr int TransmitterCountOf(std::uint8_t transmitterByte) {
    return transmitterByte & 0x0F;
}
constexpr bool IsValidTransmitterCount(int count) {
    return count >= ntOne && count < ntErr;
}

} // namespace Hardware
