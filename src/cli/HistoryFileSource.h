#pragma once

#include "station/Dataset.h"

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <span>

// Reads of a history file for the commands that do not change it, a block at a time, so memory
// does not grow with the file. Each raises CliFailure when the file is missing, cannot be read or
// is no history file, and warns on standard error about damage, as reading the whole file does.

class CliFailure;

// "not enough memory to read 'h.nvh' (76695844 records)", the records counted from its size.
CliFailure NotEnoughMemory(const std::filesystem::path& file);

// Visits every block of the file once, in file order, under the file's shared lock; the content
// is checked after the last block. Returns the number of records.
std::size_t StreamHistoryFile(const std::filesystem::path& file,
                              const std::function<void(std::span<const CDataset>)>& visit);

// As StreamHistoryFile, until visit returns false: then the reading stops, the content is not
// checked and the result is none.
std::optional<std::size_t>
StreamHistoryFileWhile(const std::filesystem::path& file,
                       const std::function<bool(std::span<const CDataset>)>& visit);

// The file's datasets in date-time order for an export. A first pass counts the records, checks
// their order and finds the transmitters that have values (the CSV and SQLite columns); a file in
// order (the usual case) is then streamed again, and only a file out of order is sorted in memory.
// The file is locked (shared) only for the first pass: the records counted then are all the export
// reads, from the file opened then, so a reader that stops reading (a pager) never holds up a
// writer. Appends only add behind them, and a rewrite renames a new file over the path, leaving
// the open one as it was.
class HistoryFileSource {
public:
    explicit HistoryFileSource(const std::filesystem::path& file);

    // The outdoor transmitters up to the highest one with a value.
    int Transmitters() const { return m_transmitters; }
    // Feeds every dataset to write in date-time order until it returns false; false when it did,
    // or when the file could not be read again.
    bool Feed(const std::function<bool(const CDataset&)>& write);

private:
    std::filesystem::path m_file;
    std::ifstream m_in;
    std::size_t m_records = 0;
    bool m_inOrder = true;
    int m_transmitters = 0;
};
