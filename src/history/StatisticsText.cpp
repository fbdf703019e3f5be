#include "history/StatisticsText.h"

#include "history/CsvField.h"
#include "history/ExportLineFormat.h"

#include <array>
#include <charconv>
#include <cstdlib>
#include <cstring>

namespace {

// value with at least width digits, zeros in front: "%0*d" for the numbers of a period.
char* WriteDigits(char* out, int value, int width) {
    char digits[16];
    const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    const auto count = static_cast<int>(end - digits);
    for (int i = count; i < width; ++i)
        *out++ = '0';
    std::memcpy(out, digits, static_cast<std::size_t>(count));
    return out + count;
}

// A period's key, at most 16 bytes.
char* WritePeriodKey(char* out, const Period& period) {
    switch (period.kind) {
    case PeriodKind::Day:
        out = WriteDigits(out, period.year, 4);
        *out++ = '-';
        out = WriteDigits(out, period.month, 2);
        *out++ = '-';
        return WriteDigits(out, period.day, 2);
    case PeriodKind::Week: {
        const IsoWeek week = IsoWeekOf(period);
        out = WriteDigits(out, week.year, 4);
        *out++ = '-';
        *out++ = 'W';
        return WriteDigits(out, week.week, 2);
    }
    case PeriodKind::Month:
        out = WriteDigits(out, period.year, 4);
        *out++ = '-';
        return WriteDigits(out, period.month, 2);
    case PeriodKind::Year:
        break;
    }
    return WriteDigits(out, period.year, 4);
}

} // namespace

std::string PeriodKey(const Period& period) {
    char key[32];
    return std::string(key, WritePeriodKey(key, period));
}

std::string QuantityKey(const ChartQuantity& quantity) {
    std::string key = quantity.sensor == 0 ? "indoor" : "outdoor" + std::to_string(quantity.sensor);
    key += quantity.kind == ChartQuantity::Temperature ? "_temperature" : "_humidity";
    return key;
}

std::string QuantityUnit(const ChartQuantity& quantity, bool fahrenheit) {
    if (quantity.kind == ChartQuantity::Humidity)
        return "%";
    return fahrenheit ? "°F" : "°C";
}

std::string DatePattern(std::string_view dateTimePattern) {
    return std::string(dateTimePattern.substr(0, dateTimePattern.find(' ')));
}

std::string MonthPattern(std::string_view datePattern) {
    std::string pattern(datePattern);
    const std::size_t day = pattern.find("%d");
    if (day == std::string::npos)
        return pattern;
    // The day goes with one separator: the one after it, or before it when it comes last.
    if (day + 2 < pattern.size() && pattern[day + 2] != '%')
        pattern.erase(day, 3);
    else if (day > 0 && pattern[day - 1] != '%')
        pattern.erase(day - 1, 3);
    else
        pattern.erase(day, 2);
    return pattern;
}

std::string PeriodText(const Period& period, std::string_view datePattern) {
    const CDateTime first(period.year, period.month, period.day, 0, 0, 0);
    switch (period.kind) {
    case PeriodKind::Day:
        return first.Format(datePattern);
    case PeriodKind::Week:
        return PeriodKey(period);
    case PeriodKind::Month:
        return first.Format(MonthPattern(datePattern));
    case PeriodKind::Year:
        break;
    }
    return PeriodKey(period);
}

std::string SummaryValueText(float value, const ChartQuantity& quantity, bool fahrenheit) {
    return quantity.kind == ChartQuantity::Temperature ? TemperatureText(value, fahrenheit)
                                                       : HumidityText(value);
}

std::optional<std::int64_t> MeanHundredths(const Summary& summary, bool fahrenheit) {
    const auto count = std::int64_t(summary.count);
    if (count == 0)
        return std::nullopt;
    // F = C * 9 / 5 + 32, in ten-thousandths: (9 * sum + 5 * 320000 * count) / (5 * count).
    const bool toFahrenheit = fahrenheit && summary.quantity.kind == ChartQuantity::Temperature;
    const std::int64_t numerator =
        toFahrenheit ? 9 * summary.sumTenThousandths + 1600000 * count : summary.sumTenThousandths;
    const std::int64_t denominator = toFahrenheit ? 500 * count : 100 * count;
    // Rounded half away from zero.
    const std::int64_t rounded = (2 * std::llabs(numerator) + denominator) / (2 * denominator);
    return numerator < 0 ? -rounded : rounded;
}

char* WriteHundredths(char* out, std::int64_t hundredths) {
    if (hundredths < 0) {
        *out++ = '-';
        hundredths = -hundredths;
    }
    out = std::to_chars(out, out + 20, hundredths / 100).ptr;
    *out++ = '.';
    return WriteDigits(out, int(hundredths % 100), 2);
}

std::string MeanText(const Summary& summary, bool fahrenheit) {
    const std::optional<std::int64_t> hundredths = MeanHundredths(summary, fahrenheit);
    if (!hundredths)
        return {};
    char text[32];
    return std::string(text, WriteHundredths(text, *hundredths));
}

const std::string_view StatisticsCsvHeader = "period,quantity,unit,count,min,min_at,max,max_at,mean\r\n";

std::string StatisticsCsv(std::span<const Summary> summaries, bool fahrenheit) {
    std::string out(StatisticsCsvHeader);
    AppendStatisticsCsvLines(out, summaries, fahrenheit);
    return out;
}

void AppendStatisticsCsvLines(std::string& out, std::span<const Summary> summaries, bool fahrenheit) {
    // The fields after the period that depend on the quantity alone, once for each.
    std::array<std::string, StatisticsQuantityCount> quantityFields;
    for (const ChartQuantity& quantity : StatisticsQuantities()) {
        std::string& fields = quantityFields[QuantityIndex(quantity)];
        AppendCsvField(fields, QuantityKey(quantity));
        fields += ',';
        AppendCsvField(fields, QuantityUnit(quantity, fahrenheit));
        fields += ',';
    }
    // Numbers and ISO date-times never need quotes.
    ExportLineFormatter values(ColumnFormat{"%Y-%m-%dT%H:%M", fahrenheit});
    const auto writeValue = [&values](char* at, float value, const ChartQuantity& quantity) {
        return quantity.kind == ChartQuantity::Temperature ? values.WriteTemperature(at, value)
                                                           : ExportLineFormatter::WriteHumidity(at, value);
    };
    // Room for the longest fields: a value of the general text, an invalid date-time.
    char line[320];
    for (const Summary& s : summaries) {
        char* at = WritePeriodKey(line, s.period);
        *at++ = ',';
        const std::string& fields = quantityFields[QuantityIndex(s.quantity)];
        out.append(line, at);
        out += fields;
        at = std::to_chars(line, line + 24, s.count).ptr;
        *at++ = ',';
        at = writeValue(at, s.min, s.quantity);
        *at++ = ',';
        at = values.WriteDateTime(at, s.minAt);
        *at++ = ',';
        at = writeValue(at, s.max, s.quantity);
        *at++ = ',';
        at = values.WriteDateTime(at, s.maxAt);
        *at++ = ',';
        if (const std::optional<std::int64_t> mean = MeanHundredths(s, fahrenheit))
            at = WriteHundredths(at, *mean);
        *at++ = '\r';
        *at++ = '\n';
        out.append(line, at);
    }
}
