#pragma once

#include <string>
#include <string_view>
#include <vector>

// Rows of cells as a text table: columns as wide as their widest cell on screen (UTF-8 signs count
// once), two blanks between columns, no trailing blanks, lines ending in "\n". The titles form the
// first line; a column is right-aligned where rightAligned says so.
std::string FormatAlignedTable(const std::vector<std::string>& titles,
                               const std::vector<std::vector<std::string>>& rows,
                               const std::vector<bool>& rightAligned);

// The pieces of that table for one written a part at a time: a text's width on screen, one
// line of cells in columns of the given widths appended to out, and one cell padded to its
// column's width (the blanks in front when it is right-aligned).
std::size_t DisplayWidth(std::string_view text);
void AppendAlignedLine(std::string& out, const std::vector<std::string>& cells,
                       const std::vector<std::size_t>& widths, const std::vector<bool>& rightAligned);
void AppendPadded(std::string& out, std::string_view text, std::size_t width, bool rightAligned);
