#pragma once

#include "station/Dataset.h"

#include <filesystem>
#include <functional>
#include <span>

// Hands the datasets of a history file to `block` in date-time order, a block at a time: a file
// in order (the usual case) is streamed, so memory does not grow with the file; a file out of
// order is read whole and sorted, and handed on again from the start after `restart`. No lock is taken: an
// import only appends behind what is read (a record still being written is not read), and a rewrite renames a
// new file over the path, leaving the open one as it was. ReportError when the file cannot be read.
void ReadHistoryInOrder(const std::filesystem::path& file,
                        const std::function<void(std::span<const CDataset>)>& block,
                        const std::function<void()>& restart);
