#include "history/CsvExport.h"

namespace {

constexpr std::size_t FlushSize = 1 << 16;
constexpr const char* LineEnd = "\r\n";

} // namespace

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

CsvExportWriter::CsvExportWriter(std::ostream& out, int transmitters, bool fahrenheit)
    : m_out(out), m_columns(ExportColumns(transmitters)), m_fahrenheit(fahrenheit) {
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        if (i != 0)
            m_buffer += ',';
        m_buffer += CsvField(ExportColumnTitle(m_columns[i], m_fahrenheit));
    }
    m_buffer += LineEnd;
}

void CsvExportWriter::Add(const CDataset& dataset) {
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        if (i != 0)
            m_buffer += ',';
        const ExportColumn& column = m_columns[i];
        switch (column.kind) {
        case ExportColumn::Kind::DateTime:
            m_buffer += IsoDateTime(dataset.GetDateTime()).value_or("");
            break;
        case ExportColumn::Kind::Temperature:
            if (TemperatureValue(dataset.GetTemperature(column.sensor), m_fahrenheit))
                m_buffer += TemperatureText(dataset.GetTemperature(column.sensor), m_fahrenheit);
            break;
        case ExportColumn::Kind::Humidity:
            if (const auto humidity = HumidityValue(dataset.GetHumidity(column.sensor)))
                m_buffer += std::to_string(*humidity);
            break;
        }
    }
    m_buffer += LineEnd;
    if (m_buffer.size() >= FlushSize)
        Flush();
}

void CsvExportWriter::Finish() {
    Flush();
    m_out.flush();
    if (!m_out)
        throw ExportError("the CSV text could not be written");
}

void CsvExportWriter::Flush() {
    m_out.write(m_buffer.data(), static_cast<std::streamsize>(m_buffer.size()));
    m_buffer.clear();
    if (!m_out)
        throw ExportError("the CSV text could not be written");
}
