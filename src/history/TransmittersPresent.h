#pragma once

#include "station/Dataset.h"

#include <span>

// The highest outdoor transmitter (0..5) that has a value in any of the datasets.
int TransmittersWithValues(std::span<const CDataset> datasets);

// The outdoor transmitters a view of a history shows: those it holds values of, or, while it holds
// no dataset, the station's count (0..5; anything else, such as 6 for not read yet, counts none).
int DisplayedTransmitters(std::span<const CDataset> datasets, int stationCount);
