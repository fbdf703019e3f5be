#pragma once

#include "history/TransmittersPresent.h"
#include "station/Dataset.h"

#include <span>
#include <string>

// The datasets as an aligned text table: the date-time left-aligned, then temperature and humidity
// of the indoor sensor and of outdoor transmitters 1..transmitters, right-aligned, in the column
// texts of the format. Lines end in "\n".
std::string FormatHistoryTable(std::span<const CDataset> datasets, const ColumnFormat& format,
                               int transmitters);
