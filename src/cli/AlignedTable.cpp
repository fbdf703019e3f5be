#include "cli/AlignedTable.h"

#include <algorithm>

void AppendPadded(std::string& out, std::string_view text, std::size_t width, bool rightAligned) {
    const std::size_t fill = width - std::min(width, DisplayWidth(text));
    if (rightAligned)
        out.append(fill, ' ');
    out += text;
    if (!rightAligned)
        out.append(fill, ' ');
}

// Characters on screen, not bytes: the unit sign is two bytes in UTF-8.
std::size_t DisplayWidth(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(
        text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

void AppendAlignedLine(std::string& out, const std::vector<std::string>& cells,
                       const std::vector<std::size_t>& widths, const std::vector<bool>& rightAligned) {
    const std::size_t start = out.size();
    for (std::size_t c = 0; c < cells.size() && c < widths.size(); ++c) {
        if (c > 0)
            out += "  ";
        AppendPadded(out, cells[c], widths[c], c < rightAligned.size() && rightAligned[c]);
    }
    while (out.size() > start && out.back() == ' ')
        out.pop_back();
    out += '\n';
}

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
    AppendAlignedLine(out, titles, widths, rightAligned);
    for (const auto& row : rows)
        AppendAlignedLine(out, row, widths, rightAligned);
    return out;
}
