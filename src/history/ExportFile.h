#pragma once

#include "history/ExportFormat.h"
#include "history/ExportFormatWriter.h"
#include "station/Dataset.h"

#include <filesystem>
#include <ostream>
#include <span>

// Writes the datasets into a file in the format. Text and CSV are written beside the file and
// renamed over it, so a failure leaves an existing file whole; SQLite replaces its table inside
// the database in one transaction. Columns cover the transmitters that have a value. Throws
// ExportError with the reason.
void WriteExportFile(const std::filesystem::path& file, ExportFormat exportFormat,
                     std::span<const CDataset> datasets, const ColumnFormat& format);

// Writes the datasets as text or CSV into a stream (standard output). SQLite needs a file and
// throws ExportError.
void WriteExportStream(std::ostream& out, ExportFormat exportFormat, std::span<const CDataset> datasets,
                       const ColumnFormat& format);
