#include "history/ExportFile.h"

#include "history/CsvExport.h"
#include "history/SqliteExport.h"
#include "history/TextExport.h"
#include "history/TransmittersPresent.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

void WriteStreamed(std::ostream& out, ExportFormat exportFormat, std::span<const CDataset> datasets,
                   const ColumnFormat& format) {
    if (exportFormat == ExportFormat::Csv) {
        CsvExportWriter writer(out, TransmittersWithValues(datasets), format.fahrenheit);
        for (const CDataset& dataset : datasets)
            writer.Add(dataset);
        writer.Finish();
        return;
    }
    std::string text = ExportHeader;
    text += ExportLineEnd;
    for (const CDataset& dataset : datasets)
        AppendExportLine(text, dataset, format);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.flush();
    if (!out)
        throw ExportError("the text could not be written");
}

[[noreturn]] void FailFile(const fs::path& file, const std::string& reason) {
    throw ExportError("export file '" + file.string() + "' cannot be written: " + reason);
}

void WriteBesideAndRename(const fs::path& file, ExportFormat exportFormat, std::span<const CDataset> datasets,
                          const ColumnFormat& format) {
    const fs::path temporary = file.string() + ".tmp";
    bool written = false;
    if (exportFormat == ExportFormat::Text) {
        written = WriteTextExport(temporary, datasets, format);
    } else {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (out) {
            try {
                WriteStreamed(out, exportFormat, datasets, format);
            } catch (const ExportError&) {
                // The stream is failed now; its errno is the reason given below.
            }
            out.close();
        }
        written = static_cast<bool>(out);
    }
    std::error_code ignored;
    if (!written) {
        const std::string reason = std::strerror(errno);
        fs::remove(temporary, ignored);
        FailFile(file, reason);
    }
    std::error_code error;
    fs::rename(temporary, file, error);
    if (error) {
        fs::remove(temporary, ignored);
        FailFile(file, error.message());
    }
}

} // namespace

void WriteExportFile(const fs::path& file, ExportFormat exportFormat, std::span<const CDataset> datasets,
                     const ColumnFormat& format) {
    if (exportFormat != ExportFormat::Sqlite) {
        WriteBesideAndRename(file, exportFormat, datasets, format);
        return;
    }
    SqliteExportWriter writer(file, TransmittersWithValues(datasets), format.fahrenheit);
    for (const CDataset& dataset : datasets)
        writer.Add(dataset);
    writer.Finish();
}

void WriteExportStream(std::ostream& out, ExportFormat exportFormat, std::span<const CDataset> datasets,
                       const ColumnFormat& format) {
    if (exportFormat == ExportFormat::Sqlite)
        throw ExportError("an SQLite export needs a file");
    WriteStreamed(out, exportFormat, datasets, format);
}
