#pragma once

#include "history/Statistics.h"
#include "report/ChartBands.h"
#include "report/Report.h"
#include "station/Dataset.h"

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// How far a report has come through the datasets in date-time order, at the start of a month:
// what the months and years before it left for the pages still to come. A refresh after an
// import carries on from the newest month's start instead of reading the whole history again.
struct ReportProgress {
    std::vector<Summary> yearly; // the summaries of the years done
    std::vector<Period> months;  // the months done, oldest first
    Period year;                 // the year being read
    std::optional<ChartColumns> yearChart;
    std::vector<Summary> yearMonths; // the summaries of that year's months done
    std::deque<CDataset> tail;       // the datasets of the last eight days
    Period month;                    // the month being read
    DATE monthLow = 0, monthHigh = 0;
};

// The history file as a report read it: its identity, its whole records, and a hash of them.
struct HistoryFingerprint {
    std::uint64_t device = 0, inode = 0, records = 0, hash = 0;
    bool operator==(const HistoryFingerprint&) const = default;
};

// What a report keeps beside its pages: the setup it was written in, the history it read, and
// its progress at the start of the newest month with the index of that month's first record.
struct ReportCheckpoint {
    ReportSetup setup;
    HistoryFingerprint history;
    std::uint64_t record = 0;
    ReportProgress progress;
};

// The checkpoint as bytes for this build of the program, and back; none when the bytes are not
// such a checkpoint (another version, cut short).
std::string SavedCheckpoint(const ReportCheckpoint& checkpoint);
std::optional<ReportCheckpoint> LoadCheckpoint(std::string_view bytes);

// Reads a history file's whole records (a trailing incomplete record makes it damaged) and
// hashes them; hashOfFirst is the hash of the first `mark` records when the file has that many.
struct HistoryScan {
    HistoryFingerprint whole;
    std::optional<std::uint64_t> hashOfFirst;
    std::optional<CDataset> last; // the last whole record
    bool damaged = false;
};
// visit, when given, is handed the whole records decoded as they are read, a block at a time, so
// one pass over the file both reads and fingerprints it; when it returns false the reading stops
// (the scan then covers what was read). None when the file cannot be read (errno tells why).
std::optional<HistoryScan> ScanHistory(const std::filesystem::path& file, std::uint64_t mark,
                                       const std::function<bool(std::span<const CDataset>)>& visit = {});
// The file's last whole record, by its size; none when it has none or cannot be read.
std::optional<CDataset> LastHistoryRecord(const std::filesystem::path& file);
