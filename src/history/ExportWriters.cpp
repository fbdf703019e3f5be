#include "history/ExportWriters.h"

#include "history/CsvExport.h"
#include "history/SqliteExport.h"
#include "history/TextExport.h"

std::unique_ptr<ExportWriter> MakeExportWriter(ExportFormat exportFormat, const ColumnFormat& format,
                                               int transmitters) {
    switch (exportFormat) {
    case ExportFormat::Csv:
        return std::make_unique<CsvExportWriter>(transmitters, format.fahrenheit);
    case ExportFormat::Sqlite:
        return std::make_unique<SqliteExportWriter>(transmitters, format.fahrenheit);
    case ExportFormat::Text:
        break;
    }
    return std::make_unique<TextExportWriter>(format);
}
