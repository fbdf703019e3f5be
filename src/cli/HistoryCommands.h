#pragma once

#include "station/Dataset.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

class CliSession;

// The datasets of a history file, in date-time order. Raises CliFailure when the file is missing
// or cannot be read.
std::vector<CDataset> ReadHistoryFileForCli(const std::filesystem::path& file);

// Writes text to stdout; raises CliFailure when it cannot be written completely.
void WriteToStdout(const std::string& text);

// The text export of the history file to out ("-" or empty: stdout). A file is written beside the
// target and renamed over it, so a failed export leaves the old file as it was.
int RunExport(CliSession& session, const std::string& out, const std::string& format = "text");

// The history (its last `last` datasets when given) as an aligned table on stdout.
int RunShow(CliSession& session, std::optional<std::size_t> last);
