#include "history/TextExport.h"

const char* const ExportHeader =
    "\"Date\";\"Indoor Temperature\";\"Indoor Humidity\";\"Outdoor Temperature 1\";\"Outdoor Humidity 1\";"
    "\"Outdoor Temperature 2\";\"Outdoor Humidity 2\";\"Outdoor Temperature 3\";\"Outdoor Humidity 3\";"
    "\"Outdoor Temperature 4\";\"Outdoor Humidity 4\";\"Outdoor Temperature 5\";\"Outdoor Humidity 5\"";

void AppendExportLine(std::string& out, const CDataset& dataset, const ColumnFormat& format) {
    for (int column = dcDate; column <= DatasetColumnCount; ++column) {
        if (column != dcDate)
            out.push_back(';');
        out.push_back('"');
        dataset.AppendColumnText(out, column, format);
        out.push_back('"');
    }
    out += ExportLineEnd;
}

TextExportWriter::TextExportWriter(ColumnFormat format) : m_formatter(format) {}

std::string TextExportWriter::Header() const {
    return std::string(ExportHeader) + ExportLineEnd;
}

std::size_t TextExportWriter::MaxLineSize() const {
    return m_formatter.MaxLineSize();
}

char* TextExportWriter::FormatLine(char* out, const CDataset& dataset) {
    return m_formatter.Write(out, dataset);
}
