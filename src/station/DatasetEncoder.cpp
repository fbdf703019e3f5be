#include "station/DatasetEncoder.h"

#include "base/Check.h"
#include "station/RingBuffer.h"

#include <algorithm>
#include <cmath>

void SetNibble(std::uint8_t* bytes, int n, int value) {
    std::uint8_t& byte = bytes[n / 2];
    if (n % 2 == 0)
        byte = static_cast<std::uint8_t>((byte & 0xF0) | (value & 0x0F));
    else
        byte = static_cast<std::uint8_t>((byte & 0x0F) | ((value & 0x0F) << 4));
}

void EncodeTemperatureDigits(float celsius, int digits[3]) {
    if (celsius == CDataset::TemperatureNotAvailable) {
        digits[0] = digits[1] = digits[2] = 0xA;
        return;
    }
    const double tenths = std::round((static_cast<double>(celsius) + 30.0) * 10.0);
    if (celsius == CDataset::TemperatureOverflow || !(tenths >= 0.0 && tenths <= 999.0)) {
        digits[0] = digits[1] = digits[2] = 0xF;
        return;
    }
    const int n = static_cast<int>(tenths);
    digits[0] = n % 10;
    digits[1] = n / 10 % 10;
    digits[2] = n / 100;
}

void EncodeHumidityDigits(float humidity, int digits[2]) {
    if (humidity == CDataset::HumidityNotAvailable) {
        digits[0] = digits[1] = 0xA;
        return;
    }
    const double rounded = std::round(static_cast<double>(humidity));
    if (humidity == CDataset::HumidityOverflow || !(rounded >= 0.0 && rounded <= 99.0)) {
        digits[0] = digits[1] = 0xF;
        return;
    }
    const int n = static_cast<int>(rounded);
    digits[0] = n % 10;
    digits[1] = n / 10;
}

namespace {

std::uint8_t Bcd(int value) {
    return static_cast<std::uint8_t>((value / 10) << 4 | value % 10);
}

} // namespace

void EncodeStationDataset(const CDataset& dataset, const Hardware::RingBuffer& layout,
                          std::span<std::uint8_t> slot) {
    Check(slot.size() >= layout.DatasetSize()) << "Slot of " << slot.size() << " bytes is too small";
    std::uint8_t* bytes = slot.data();
    std::fill_n(bytes, layout.DatasetSize(), std::uint8_t{0});

    CDateTime::Fields f;
    if (dataset.GetDateTime().GetFields(f) && f.year >= 2000 && f.year <= 2099) {
        bytes[0] = Bcd(f.minute);
        bytes[1] = Bcd(f.hour);
        bytes[2] = Bcd(f.day);
        bytes[3] = Bcd(f.month);
        bytes[4] = Bcd(f.year - 2000);
    } else {
        std::fill_n(bytes, 5, std::uint8_t{0xAA});
    }

    const int sensors = std::min(layout.NrOfTransmitters() + 1, CDataset::SensorCount);
    for (int sensor = 0; sensor < sensors; ++sensor) {
        const SensorNibbles& at = StationSensorNibbles[sensor];
        int t[3], h[2];
        EncodeTemperatureDigits(dataset.GetTemperature(sensor), t);
        EncodeHumidityDigits(dataset.GetHumidity(sensor), h);
        for (int i = 0; i < 3; ++i)
            SetNibble(bytes, at.temperature + i, t[i]);
        for (int i = 0; i < 2; ++i)
            SetNibble(bytes, at.humidity + i, h[i]);
    }
}
