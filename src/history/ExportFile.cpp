#include "history/ExportFile.h"

#include "base/FileReplacement.h"
#include "history/CsvExport.h"
#include "history/SqliteExport.h"
#include "history/TextExport.h"
#include "history/TransmittersPresent.h"

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

void WriteReplacing(const fs::path& file, ExportFormat exportFormat, std::span<const CDataset> datasets,
                    const ColumnFormat& format) {
    FileReplacement replacement(file);
    if (!replacement.Started())
        FailFile(file, replacement.Reason());
    try {
        WriteStreamed(replacement.Stream(), exportFormat, datasets, format);
    } catch (const ExportError& e) {
        replacement.Fail(e.what()); // a stream failure has given its reason already
    }
    if (!replacement.Commit(false))
        FailFile(file, replacement.Reason());
}

} // namespace

void WriteExportFile(const fs::path& file, ExportFormat exportFormat, std::span<const CDataset> datasets,
                     const ColumnFormat& format) {
    if (exportFormat != ExportFormat::Sqlite) {
        WriteReplacing(file, exportFormat, datasets, format);
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
