#include "history/HistoryRecord.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <iterator>

namespace {

void Put32(std::uint8_t* at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void Put64(std::uint8_t* at, std::uint64_t v) {
    for (int i = 0; i < 8; ++i)
        at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t Get32(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
           static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

std::uint64_t Get64(const std::uint8_t* at) {
    return static_cast<std::uint64_t>(Get32(at)) | static_cast<std::uint64_t>(Get32(at + 4)) << 32;
}

} // namespace

void EncodeHistoryRecord(const CDataset& dataset, std::uint8_t* record) {
    Put64(record, std::bit_cast<std::uint64_t>(dataset.GetDateTime().Value()));
    for (int i = 0; i < CDataset::SensorCount; ++i) {
        Put32(record + 8 + 8 * i, std::bit_cast<std::uint32_t>(dataset.GetTemperature(i)));
        Put32(record + 12 + 8 * i, std::bit_cast<std::uint32_t>(dataset.GetHumidity(i)));
    }
}

void DecodeHistoryRecord(const std::uint8_t* record, CDataset& dataset) {
    dataset.SetDateTime(CDateTime(std::bit_cast<double>(Get64(record))));
    for (int i = 0; i < CDataset::SensorCount; ++i) {
        dataset.SetTemperature(i, std::bit_cast<float>(Get32(record + 8 + 8 * i)));
        dataset.SetHumidity(i, std::bit_cast<float>(Get32(record + 12 + 8 * i)));
    }
}

bool IsSameRecord(const CDataset& a, const CDataset& b) {
    std::uint8_t ra[HistoryRecordSize], rb[HistoryRecordSize];
    EncodeHistoryRecord(a, ra);
    EncodeHistoryRecord(b, rb);
    return std::equal(std::begin(ra), std::end(ra), std::begin(rb));
}
