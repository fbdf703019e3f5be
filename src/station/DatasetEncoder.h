#pragma once

#include "station/Dataset.h"

#include <cstdint>
#include <span>

namespace Hardware {
class RingBuffer;
}

// The inverse of the station decoding: writes a dataset as the base unit stores it in one slot
// (layout.DatasetSize() bytes). Not-available values become 0xA digits, overflowed or
// unrepresentable ones 0xF digits (temperatures outside -30.0..69.9, humidities outside 0..99);
// an invalid date-time or a year outside 2000..2099 is written with 0xA digits. Unused nibbles
// are 0.
void EncodeStationDataset(const CDataset& dataset, const Hardware::RingBuffer& layout,
                          std::span<std::uint8_t> slot);

// Digit encoders, least significant digit first (the inverses of the decoders).
void EncodeTemperatureDigits(float celsius, int digits[3]);
void EncodeHumidityDigits(float humidity, int digits[2]);
void SetNibble(std::uint8_t* bytes, int n, int value);
