#pragma once

#include "history/ExportFormat.h"
#include "history/ExportFormatWriter.h"
#include "station/Dataset.h"

#include <filesystem>
#include <ostream>
#include <span>

// Writes the datasets into a file in the format: every format into a new file beside the target
// that replaces it once complete (FileReplacement), so a failure leaves an existing file whole;
// SQLite starts from a copy of an existing database, keeping its other tables. Columns cover the
// transmitters that have a value. Throws ExportError with the reason.
void WriteExportFile(const std::filesystem::path& file, ExportFormat exportFormat,
                     std::span<const CDataset> datasets, const ColumnFormat& format);

// Writes the datasets as text or CSV into a stream (standard output). SQLite needs a file and
// throws ExportError.
void WriteExportStream(std::ostream& out, ExportFormat exportFormat, std::span<const CDataset> datasets,
                       const ColumnFormat& format);
