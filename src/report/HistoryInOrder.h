#pragma once

#include "report/ReportProgress.h"
#include "station/Dataset.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <span>

// Hands the datasets of a history file to `block` in date-time order, a block at a time: a file
// in order (the usual case) is streamed, so memory does not grow with the file, and read only
// once: the scan it returns fingerprints what was read. A file out of order is read whole and
// sorted, and handed on again from the start after `restart`; it returns no scan then. No lock is
// taken: an import only appends behind what is read (a record still being written is not read),
// and a rewrite renames a new file over the path, leaving the open one as it was. ReportError
// when the file cannot be read.
std::optional<HistoryScan> ReadHistoryInOrder(const std::filesystem::path& file,
                                              const std::function<void(std::span<const CDataset>)>& block,
                                              const std::function<void()>& restart);
