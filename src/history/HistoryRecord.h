#pragma once

#include "station/Dataset.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

// One dataset in a history file: 56 bytes, little-endian, no padding. The date as a DATE double,
// then per sensor its temperature and humidity as floats (interleaved, unlike the in-memory
// dataset). Encoded byte by byte so a file reads the same on any host.
constexpr std::size_t HistoryRecordSize = 56;

void EncodeHistoryRecord(const CDataset& dataset, std::uint8_t* record);
// Every record read from a file has a valid date-time.
void DecodeHistoryRecord(const std::uint8_t* record, CDataset& dataset);
// Whether two datasets are the same record: date-time and every value, bit for bit. CDataset's
// operator== compares only the date-time, and two datasets may share one.
bool IsSameRecord(const CDataset& a, const CDataset& b);

// A total order that agrees with CDataset's operator< on valid dates and also places invalid
// statuses and NaN values, so sorting a file with odd records cannot go wrong.
// Inline: a file read checks every neighbouring pair with it.
inline bool HistoryOrder(const CDataset& a, const CDataset& b) {
    const auto sa = a.GetDateTime().GetStatus(), sb = b.GetDateTime().GetStatus();
    if (sa != sb)
        return sa < sb;
    const double x = a.GetDateTime().Value(), y = b.GetDateTime().Value();
    const bool xNan = std::isnan(x), yNan = std::isnan(y);
    if (xNan || yNan)
        return !xNan && yNan; // numbers first, NaN last
    return x < y;
}
