#include "history/TextExport.h"

#include <cstdio>

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

bool WriteTextExport(const std::filesystem::path& path, std::span<const CDataset> datasets,
                     const ColumnFormat& format) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    constexpr std::size_t Chunk = 1 << 16;
    std::string buffer;
    buffer.reserve(Chunk + 512);
    buffer += ExportHeader;
    buffer += ExportLineEnd;
    bool ok = true;
    for (const CDataset& dataset : datasets) {
        AppendExportLine(buffer, dataset, format);
        if (buffer.size() >= Chunk) {
            ok = std::fwrite(buffer.data(), 1, buffer.size(), file) == buffer.size();
            buffer.clear();
            if (!ok)
                break;
        }
    }
    if (ok && !buffer.empty())
        ok = std::fwrite(buffer.data(), 1, buffer.size(), file) == buffer.size();
    ok = std::fflush(file) == 0 && ok && !std::ferror(file);
    return std::fclose(file) == 0 && ok;
}
