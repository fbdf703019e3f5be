#pragma once

#include <string>
#include <string_view>

// What a corrected table cell may hold: a number the station could have measured (a comma counts
// as the decimal point, as German and French users type it), or the marks "---" and "OFL".
struct CellInput {
    // Why a text was refused; the window says it in the user's language.
    enum class Problem { None, NotANumber, Temperature, Humidity, NotEditable };
    bool accepted = false;
    std::string value; // the text to store: the number with a decimal point, or the mark
    Problem problem = Problem::None;
};

// The English text of a problem (the log's, and the fallback of the language files).
std::string ProblemText(CellInput::Problem problem, bool fahrenheit);

// Checks the text typed into a temperature (in the unit shown) or humidity column.
CellInput CheckCellInput(int column, std::string_view text, bool fahrenheit);
