#pragma once

#include <string>
#include <vector>

// Rows of cells as a text table: columns as wide as their widest cell on screen (UTF-8 signs count
// once), two blanks between columns, no trailing blanks, lines ending in "\n". The titles form the
// first line; a column is right-aligned where rightAligned says so.
std::string FormatAlignedTable(const std::vector<std::string>& titles,
                               const std::vector<std::vector<std::string>>& rows,
                               const std::vector<bool>& rightAligned);

// The pieces of that table for one written a part at a time: a text's width on screen, and one
// line of cells in columns of the given widths appended to out.
std::size_t DisplayWidth(const std::string& text);
void AppendAlignedLine(std::string& out, const std::vector<std::string>& cells,
                       const std::vector<std::size_t>& widths, const std::vector<bool>& rightAligned);
