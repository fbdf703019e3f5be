#pragma once

#include "station/Dataset.h"

#include <span>

// The highest outdoor transmitter (0..5) that has a value in any of the datasets.
int TransmittersWithValues(std::span<const CDataset> datasets);
