#include "history/CsvExport.h"

#include "history/CsvField.h"

CsvExportWriter::CsvExportWriter(int transmitters, bool fahrenheit)
    : m_columns(ExportColumns(transmitters)), m_fahrenheit(fahrenheit),
      m_values(ColumnFormat{"%Y-%m-%dT%H:%M:%S", fahrenheit}) {}

std::string CsvExportWriter::Header() const {
    std::string header;
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        if (i != 0)
            header += ',';
        AppendCsvField(header, ExportColumnTitle(m_columns[i], m_fahrenheit));
    }
    return header + "\r\n";
}

std::size_t CsvExportWriter::MaxLineSize() const {
    return m_values.MaxLineSize(); // the text line's quotes and semicolons are more than commas
}

char* CsvExportWriter::FormatLine(char* out, const CDataset& dataset) {
    for (const ExportColumn& column : m_columns) {
        switch (column.kind) {
        case ExportColumn::Kind::DateTime:
            if (dataset.GetDateTime().GetStatus() == CDateTime::valid)
                out = m_values.WriteDateTime(out, dataset.GetDateTime());
            continue; // the first column: no comma before it
        case ExportColumn::Kind::Temperature:
            *out++ = ',';
            if (const float t = dataset.GetTemperature(column.sensor); t != CDataset::TemperatureNotAvailable)
                out = m_values.WriteTemperature(out, t);
            break;
        case ExportColumn::Kind::Humidity:
            *out++ = ',';
            if (const float h = dataset.GetHumidity(column.sensor); h != CDataset::HumidityNotAvailable)
                out = m_values.WriteHumidity(out, h);
            break;
        }
    }
    *out++ = '\r';
    *out++ = '\n';
    return out;
}
