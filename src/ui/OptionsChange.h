#pragma once

// What the options command changed: the bits of the word the options dialog returns and the main
// window passes on to its views. Declared once; every view tests the same bits.
namespace OptionsChange {
constexpr int Language = 1;
constexpr int Format = 2;
constexpr int Port = 4;
constexpr int HistoryFile = 8;
} // namespace OptionsChange
