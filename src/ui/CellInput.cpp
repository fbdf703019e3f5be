#include "ui/CellInput.h"

#include "station/Dataset.h"
#include "station/StationRange.h"

#include <charconv>
#include <cmath>

namespace {

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

CellInput Refused(CellInput::Problem problem) {
    return {false, {}, problem};
}

} // namespace

CellInput CheckCellInput(int column, std::string_view text, bool fahrenheit) {
    const bool temperature = CDataset::IsTemperatureColumn(column);
    if (!temperature && !CDataset::IsHumidityColumn(column))
        return Refused(CellInput::Problem::NotEditable);
    text = Trimmed(text);
    if (text == "---" || text == "OFL")
        return {true, std::string(text), CellInput::Problem::None};

    std::string number(text);
    if (const auto comma = number.find(',');
        comma != std::string::npos && number.find('.') == std::string::npos)
        number[comma] = '.';
    const char* begin = number.data();
    const char* end = begin + number.size();
    if (begin != end && *begin == '+')
        ++begin;
    double value = 0.0;
    const auto parsed = std::from_chars(begin, end, value, std::chars_format::fixed);
    if (begin == end || parsed.ec != std::errc() || parsed.ptr != end || !std::isfinite(value))
        return Refused(CellInput::Problem::NotANumber);

    const double tenths = std::round(value * 10.0) / 10.0;
    if (temperature) {
        const double celsius = fahrenheit ? (tenths - 32.0) * 5.0 / 9.0 : tenths;
        // The station's range in the unit shown: -30.0 to 69.9 °C, -22.0 to 157.8 °F.
        const double lowest = fahrenheit ? -22.0 : StationTemperatureMin;
        const double highest = fahrenheit ? 157.8 : StationTemperatureMax;
        if (tenths < lowest - 1e-9 || tenths > highest + 1e-9 || !IsStationTemperature(celsius))
            return Refused(CellInput::Problem::Temperature);
    } else if (tenths < StationHumidityMin || tenths > StationHumidityMax) {
        return Refused(CellInput::Problem::Humidity);
    }
    return {true, number.substr(std::size_t(begin - number.data())), CellInput::Problem::None};
}

std::string ProblemText(CellInput::Problem problem, bool fahrenheit) {
    switch (problem) {
    case CellInput::Problem::None:
        return {};
    case CellInput::Problem::NotANumber:
        return "Please type a number, --- or OFL.";
    case CellInput::Problem::Temperature:
        return fahrenheit ? "A temperature lies between -22.0 and 157.8 °F, or is --- or OFL."
                          : "A temperature lies between -30.0 and 69.9 °C, or is --- or OFL.";
    case CellInput::Problem::Humidity:
        return "A humidity lies between 0 and 99 %, or is --- or OFL.";
    case CellInput::Problem::NotEditable:
        return "This column cannot be changed.";
    }
    return {};
}
