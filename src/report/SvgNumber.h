#pragma once

#include <cstddef>
#include <string>

// The numbers of a chart's SVG text: a coordinate or value to a tenth, halves away from zero,
// without a trailing ".0" ("12", "12.3", "-0.5"); a value that is not finite or beyond 1e15 either
// way is written as 0. A chart holds hundreds of thousands of them, so they are written straight
// into memory: the coordinates of the drawing area come from a table.

// The room WriteSvgNumber needs at out: the longest number and some slack it may overwrite.
inline constexpr std::size_t SvgNumberRoom = 32;

// Writes the number at out and returns the end of it.
char* WriteSvgNumber(char* out, double value);
void AppendSvgNumber(std::string& text, double value);
