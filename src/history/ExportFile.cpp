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

// Writes the whole export into path; false with errno set when not every byte reached it.
bool WriteWhole(const fs::path& path, ExportFormat exportFormat, std::span<const CDataset> datasets,
                const ColumnFormat& format) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out) {
        try {
            WriteStreamed(out, exportFormat, datasets, format);
        } catch (const ExportError&) {
            // The stream is failed now; errno holds the reason.
        }
        out.close();
    }
    return static_cast<bool>(out);
}

void WriteInPlace(const fs::path& file, ExportFormat exportFormat, std::span<const CDataset> datasets,
                  const ColumnFormat& format) {
    if (!WriteWhole(file, exportFormat, datasets, format))
        FailFile(file, std::strerror(errno));
}

void WriteBesideAndRename(const fs::path& file, ExportFormat exportFormat, std::span<const CDataset> datasets,
                          const ColumnFormat& format) {
    const fs::path temporary = file.string() + ".tmp";
    const bool written = WriteWhole(temporary, exportFormat, datasets, format);
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
        std::error_code error;
        const fs::file_status status = fs::status(file, error);
        if (!fs::exists(status)) {
            WriteBesideAndRename(file, exportFormat, datasets, format);
        } else if (fs::is_regular_file(status)) {
            // Through a link, the file it points to is replaced and the link stays.
            const fs::path target = fs::canonical(file, error);
            WriteBesideAndRename(error ? file : target, exportFormat, datasets, format);
        } else {
            // A device or a pipe cannot be replaced by renaming; it gets the bytes directly.
            WriteInPlace(file, exportFormat, datasets, format);
        }
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
