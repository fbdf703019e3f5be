#include "history/CsvField.h"

void AppendCsvField(std::string& out, std::string_view field) {
    const bool quoted = field.find_first_of(",\"\r\n") != std::string_view::npos ||
                        (!field.empty() && (field.front() == ' ' || field.back() == ' '));
    if (!quoted) {
        out += field;
        return;
    }
    out += '"';
    for (const char c : field) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}
