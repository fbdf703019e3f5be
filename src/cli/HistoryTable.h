#pragma once

#include "station/Dataset.h"

#include <span>
#include <string>

// The highest outdoor transmitter (0..5) that has a value in any of the datasets.
int TransmittersWithValues(std::span<const CDataset> datasets);

// The datasets as an aligned text table: the date-time left-aligned, then temperature and humidity
// of the indoor sensor and of outdoor transmitters 1..transmitters, right-aligned, in the column
// texts of the format. Lines end in "\n".
std::string FormatHistoryTable(std::span<const CDataset> datasets, const ColumnFormat& format,
                               int transmitters);
