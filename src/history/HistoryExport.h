#pragma once

#include "history/HistoryOutcome.h"
#include "station/Dataset.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>

// Where an export is written: a descriptor open for writing (the new file beside the target, or
// standard output) and, for a file, the new file's path and the file it replaces (the target with
// its links followed), which need not exist yet.
struct ExportDestination {
    int fd = -1;
    std::filesystem::path file;
    std::filesystem::path replaced;
};

// One export format (text, CSV, SQLite): it is fed the datasets one at a time, in the history's
// order, and owns how they reach its file.
class ExportWriter {
public:
    virtual ~ExportWriter() = default;
    // Starts writing into a new, empty file; the descriptor stays the caller's.
    virtual HistoryOutcome Open(const ExportDestination& destination) = 0;
    // False stops the export (the file could not take it); Close then says why.
    virtual bool Write(const CDataset& dataset) = 0;
    // Finishes the file; a failure says why, so a full disk is reported, not hidden.
    virtual HistoryOutcome Close() = 0;
};

// Feeds every dataset to write, stopping when it returns false; false when it stopped.
using ExportSource = std::function<bool(const std::function<bool(const CDataset&)>& write)>;

// Why target may not take an export: it is one of the history files (an export over the file
// being recorded or shown would destroy it), or it exists and is no regular file. None when the
// export may go there.
std::optional<std::string> RefusedExportTarget(const std::filesystem::path& target,
                                               std::span<const std::filesystem::path> historyFiles);

// The one export routine of the desktop and the command line, for every format: refuses the
// history files, writes the source's datasets through the writer into a file beside the target
// and renames it over the target (FileReplacement: a link stays a link and its file gets the
// content; not synced, as an export can always be made again from the history). A failure leaves
// an existing target as it was and removes the new file.
HistoryOutcome ExportHistory(const std::filesystem::path& target,
                             std::span<const std::filesystem::path> historyFiles, ExportWriter& writer,
                             const ExportSource& source);
