#pragma once

#include "history/HistoryDamage.h"
#include "station/Dataset.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

class CliSession;
class HistoryWorkspace;

// What reading a file of that many records found: a damaged history file is still used, with a
// warning on standard error; a file that is no history at all raises CliFailure.
void CheckHistoryContent(const std::filesystem::path& file, const HistoryDamage& damage, std::size_t records);

// Makes file the workspace's recording file and reads it; raises CliFailure when it cannot be read,
// also when memory does not suffice ("not enough memory to read 'h.nvh' (76695844 records)").
void ReadRecordingHistory(HistoryWorkspace& workspace, const std::filesystem::path& file);

// Writes text to stdout; raises CliFailure when it cannot be written completely.
void WriteToStdout(const std::string& text);

// The text export of the history file to out ("-" or empty: stdout). A file is written beside the
// target and renamed over it, so a failed export leaves the old file as it was.
int RunExport(CliSession& session, const std::string& out, const std::string& format = "text");

// The history (its last `last` datasets when given) as an aligned table on stdout.
int RunShow(CliSession& session, std::optional<std::size_t> last);
