#include "cli/DateTimeArgument.h"

#include <cctype>
#include <cstdio>

std::optional<CDateTime> ParseIsoDateTime(const std::string& text) {
    // Digits and separators in fixed places: sscanf alone would accept signs and blanks.
    static const std::string shapes[] = {"dddd-dd-dd", "dddd-dd-ddTdd:dd", "dddd-dd-ddTdd:dd:dd"};
    bool shaped = false;
    for (const std::string& shape : shapes) {
        if (text.size() != shape.size())
            continue;
        shaped = true;
        for (std::size_t i = 0; i < shape.size() && shaped; ++i) {
            const char c = text[i];
            if (shape[i] == 'd')
                shaped = std::isdigit(static_cast<unsigned char>(c)) != 0;
            else if (shape[i] == 'T')
                shaped = c == 'T' || c == 't' || c == ' ';
            else
                shaped = c == shape[i];
        }
        if (shaped)
            break;
    }
    if (!shaped)
        return std::nullopt;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    std::sscanf(text.c_str(), "%4d-%2d-%2d", &year, &month, &day);
    if (text.size() > 10)
        std::sscanf(text.c_str() + 11, "%2d:%2d", &hour, &minute);
    if (text.size() > 16)
        std::sscanf(text.c_str() + 17, "%2d", &second);
    CDateTime result;
    result.SetDateTime(year, month, day, hour, minute, second);
    if (result.GetStatus() != CDateTime::valid)
        return std::nullopt;
    return result;
}
