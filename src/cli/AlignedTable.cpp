#include "cli/AlignedTable.h"

#include <algorithm>

namespace {

// Characters on screen, not bytes: the unit sign is two bytes in UTF-8.
std::size_t DisplayWidth(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(
        text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

void Pad(std::string& line, const std::string& text, std::size_t width, bool right) {
    const std::string fill(width - std::min(width, DisplayWidth(text)), ' ');
    line += right ? fill + text : text + fill;
}

} // namespace

std::string FormatAlignedTable(const std::vector<std::string>& titles,
                               const std::vector<std::vector<std::string>>& rows,
                               const std::vector<bool>& rightAligned) {
    std::vector<std::size_t> widths;
    for (const std::string& title : titles)
        widths.push_back(DisplayWidth(title));
    for (const auto& row : rows)
        for (std::size_t c = 0; c < row.size() && c < widths.size(); ++c)
            widths[c] = std::max(widths[c], DisplayWidth(row[c]));

    std::string out;
    auto emit = [&](const std::vector<std::string>& row) {
        std::string line;
        for (std::size_t c = 0; c < row.size() && c < widths.size(); ++c) {
            if (c > 0)
                line += "  ";
            Pad(line, row[c], widths[c], c < rightAligned.size() && rightAligned[c]);
        }
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        out += line;
        out += '\n';
    };
    emit(titles);
    for (const auto& row : rows)
        emit(row);
    return out;
}
