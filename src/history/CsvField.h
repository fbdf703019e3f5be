#pragma once

#include <string>
#include <string_view>

// Appends one field of a comma-separated file (RFC 4180): as it is, or in double quotes with
// inner quotes doubled when it holds a comma, a quote, a line break or leading or trailing blanks.
void AppendCsvField(std::string& out, std::string_view field);
