#include "history/ExportLineFormat.h"

#include "history/TextExport.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace {

// Longest text of a value taken by the general path: a float's 39 integer digits, sign,
// point and decimal.
constexpr std::size_t MaxValueSize = 48;
constexpr std::size_t InvalidDateTimeSize = 16;
// Beyond this many tenths, a value's text is left to the general path.
constexpr float DigitCodeLimit = 1e7f;

char* Copy(char* out, const std::string& text) {
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

char* Copy3(char* out, const char* text) {
    std::memcpy(out, text, 3);
    return out + 3;
}

// Two digits, as the date-time text writes them: the last two of the number.
char* Two(char* out, int value) {
    out[0] = static_cast<char>('0' + value / 10 % 10);
    out[1] = static_cast<char>('0' + value % 10);
    return out + 2;
}

char* Unsigned(char* out, unsigned value) {
    return std::to_chars(out, out + 16, value).ptr;
}

} // namespace

ExportLineFormatter::ExportLineFormatter(const ColumnFormat& format) : m_format(format) {
    const std::string& pattern = m_format.dateTimePattern;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c != '%' || i + 1 == pattern.size()) {
            m_dateTime += c;
            continue;
        }
        const char conversion = pattern[++i];
        if (std::strchr("dmYyHMSIp", conversion) != nullptr) {
            (std::strchr("dmYy", conversion) != nullptr ? m_dateFields : m_timeFields)
                .push_back({conversion, m_dateTime.size()});
            m_dateTime.append(conversion == 'Y' ? 4 : 2, '0');
        } else if (conversion == '%') {
            m_dateTime += '%';
        } else { // unknown conversions are kept as written
            m_dateTime += '%';
            m_dateTime += conversion;
        }
    }
    const std::size_t dateTimeSize = std::max(InvalidDateTimeSize, m_dateTime.size());
    const std::size_t quotesAndSeparators = 2 * DatasetColumnCount + (DatasetColumnCount - 1);
    m_maxLineSize = dateTimeSize + (DatasetColumnCount - 1) * MaxValueSize + quotesAndSeparators +
                    std::strlen(ExportLineEnd);
}

void ExportLineFormatter::FillDateFields(int year, int month, int day) {
    for (const Field& field : m_dateFields) {
        char* at = m_dateTime.data() + field.offset;
        switch (field.conversion) {
        case 'd':
            Two(at, day);
            break;
        case 'm':
            Two(at, month);
            break;
        case 'Y':
            Two(Two(at, year / 100), year % 100);
            break;
        case 'y':
            Two(at, year % 100);
            break;
        }
    }
}

char* ExportLineFormatter::WriteDateTime(char* out, const CDateTime& dateTime) {
    std::int64_t day = 0;
    int second = 0;
    if (dateTime.GetStatus() == CDateTime::valid && DayAndSecondOfDate(dateTime.Value(), day, second)) {
        // The records of a history mostly share their day with the one before.
        if (!m_dayFilled || day != m_day) {
            int year = 0, month = 0, dayOfMonth = 0;
            CalendarDateOfDay(day, year, month, dayOfMonth);
            m_day = day;
            m_dayFilled = true;
            m_dayValid = year <= 9999;
            if (m_dayValid)
                FillDateFields(year, month, dayOfMonth);
        }
        if (m_dayValid) {
            const int hour = second / 3600;
            for (const Field& field : m_timeFields) {
                char* at = m_dateTime.data() + field.offset;
                switch (field.conversion) {
                case 'H':
                    Two(at, hour);
                    break;
                case 'M':
                    Two(at, second / 60 % 60);
                    break;
                case 'S':
                    Two(at, second % 60);
                    break;
                case 'I':
                    Two(at, hour % 12 == 0 ? 12 : hour % 12);
                    break;
                case 'p':
                    at[0] = hour < 12 ? 'A' : 'P';
                    at[1] = 'M';
                    break;
                }
            }
            std::memcpy(out, m_dateTime.data(), m_dateTime.size());
            return out + m_dateTime.size();
        }
    }
    // Empty or invalid: the general text.
    m_scratch.clear();
    dateTime.FormatTo(m_scratch, m_format.dateTimePattern);
    return Copy(out, m_scratch);
}

std::optional<int> ExportLineFormatter::TemperatureTenths(float celsius) const {
    if (celsius == CDataset::TemperatureOverflow || celsius == CDataset::TemperatureNotAvailable)
        return std::nullopt;
    const float v = m_format.fahrenheit ? ToFahrenheit(celsius) : celsius;
    const float tenths = v * 10.0f;
    if (!(std::fabs(tenths) < DigitCodeLimit)) // also NaN
        return std::nullopt;
    // Cut to tenths towards zero, as the conversion does; a value just below zero reads "0.0",
    // not "-0.0".
    return static_cast<int>(tenths);
}

std::optional<int> ExportLineFormatter::WholeHumidity(float humidity) {
    if (humidity == CDataset::HumidityOverflow || humidity == CDataset::HumidityNotAvailable)
        return std::nullopt;
    // Whole, non-negative humidities are all a station gives; the rest take the general path.
    if (humidity >= 0 && !std::signbit(humidity) && humidity < DigitCodeLimit &&
        humidity == static_cast<float>(static_cast<int>(humidity)))
        return static_cast<int>(humidity);
    return std::nullopt;
}

char* ExportLineFormatter::WriteTemperature(char* out, float celsius) const {
    if (celsius == CDataset::TemperatureOverflow)
        return Copy3(out, "OFL");
    if (celsius == CDataset::TemperatureNotAvailable)
        return Copy3(out, "---");
    const std::optional<int> tenths = TemperatureTenths(celsius);
    if (!tenths)
        return Copy(out, TemperatureText(celsius, m_format.fahrenheit));
    int whole = *tenths;
    if (whole < 0) {
        *out++ = '-';
        whole = -whole;
    }
    out = Unsigned(out, static_cast<unsigned>(whole / 10));
    *out++ = '.';
    *out++ = static_cast<char>('0' + whole % 10);
    return out;
}

char* ExportLineFormatter::WriteHumidity(char* out, float humidity) {
    if (humidity == CDataset::HumidityOverflow)
        return Copy3(out, "OFL");
    if (humidity == CDataset::HumidityNotAvailable)
        return Copy3(out, "---");
    if (const std::optional<int> whole = WholeHumidity(humidity))
        return Unsigned(out, static_cast<unsigned>(*whole));
    return Copy(out, HumidityText(humidity));
}

char* ExportLineFormatter::Write(char* out, const CDataset& dataset) {
    *out++ = '"';
    out = WriteDateTime(out, dataset.GetDateTime());
    for (int sensor = 0; sensor < CDataset::SensorCount; ++sensor) {
        out = Copy3(out, "\";\"");
        out = WriteTemperature(out, dataset.GetTemperature(sensor));
        out = Copy3(out, "\";\"");
        out = WriteHumidity(out, dataset.GetHumidity(sensor));
    }
    *out++ = '"';
    *out++ = '\r';
    *out++ = '\n';
    return out;
}
