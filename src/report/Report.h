#pragma once

#include "station/Dataset.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// The web report of a history file: a folder of static pages (the newest measurements, the
// current week, every month and year with its climate summary, the records) and their SVG
// charts, in one language, unit and date format.

struct ReportSetup {
    std::uint16_t languageId = 1033;
    ColumnFormat format;
};

struct ReportOutcome {
    std::size_t written = 0, unchanged = 0;
    std::vector<std::string> leftAlone; // files in the folder the report did not write before
};

// Reads the history file once, in date-time order, and writes the report into the folder
// (created when missing); only files whose content changed are replaced. ReportError when the
// history cannot be read, holds no measurement, or a file cannot be written.
ReportOutcome WriteReport(const std::filesystem::path& history, const std::filesystem::path& folder,
                          const ReportSetup& setup);
