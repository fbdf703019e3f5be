#pragma once

#include "history/ExportFormat.h"
#include "history/HistoryExport.h"
#include "station/Dataset.h"

#include <memory>

// The writer of an export format. CSV and SQLite have columns for the indoor sensor and outdoor
// transmitters 1..transmitters; the text always has all five.
std::unique_ptr<ExportWriter> MakeExportWriter(ExportFormat exportFormat, const ColumnFormat& format,
                                               int transmitters);
