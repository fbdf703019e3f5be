#pragma once

#include "station/Dataset.h"

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

// Where a history (in HistoryOrder, as the stores keep it) holds datasets given by value: the same
// date-time and the same values, record for record. One answer per wanted dataset, in its order;
// a position is given out once, so a history holding a dataset twice answers for two of them.
// nullopt for a dataset the history does not hold: a neighbour is never taken for it.
std::vector<std::optional<std::size_t>> FindInHistory(std::span<const CDataset> history,
                                                      std::span<const CDataset> wanted);
