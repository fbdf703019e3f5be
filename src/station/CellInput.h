#pragma once

#include <string>
#include <string_view>

// What a corrected table cell may hold: a number the station could have measured (a comma counts
// as the decimal point, as German and French users type it), or the marks "---" and "OFL".
struct CellInput {
    bool accepted = false;
    std::string value;   // the text to store: the number with a decimal point, or the mark
    std::string problem; // why the text was refused, for the user
};

// Checks the text typed into a temperature (in the unit shown) or humidity column.
CellInput CheckCellInput(int column, std::string_view text, bool fahrenheit);
