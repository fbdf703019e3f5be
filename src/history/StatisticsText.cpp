#include "history/StatisticsText.h"

#include "history/CsvField.h"

#include <cstdio>
#include <cstdlib>

namespace {

std::string Digits(int value, int width) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*d", width, value);
    return buffer;
}

// n / d in hundredths, rounded half away from zero, as "-12.35".
std::string Hundredths(std::int64_t numerator, std::int64_t denominator) {
    const std::int64_t magnitude = std::llabs(numerator);
    const std::int64_t rounded = (2 * magnitude + denominator) / (2 * denominator);
    std::string text = numerator < 0 && rounded != 0 ? "-" : "";
    text += std::to_string(rounded / 100);
    text += '.';
    text += Digits(int(rounded % 100), 2);
    return text;
}

} // namespace

std::string PeriodKey(const Period& period) {
    switch (period.kind) {
    case PeriodKind::Day:
        return Digits(period.year, 4) + "-" + Digits(period.month, 2) + "-" + Digits(period.day, 2);
    case PeriodKind::Week: {
        const IsoWeek week = IsoWeekOf(period);
        return Digits(week.year, 4) + "-W" + Digits(week.week, 2);
    }
    case PeriodKind::Month:
        return Digits(period.year, 4) + "-" + Digits(period.month, 2);
    case PeriodKind::Year:
        break;
    }
    return Digits(period.year, 4);
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

std::string MeanText(const Summary& summary, bool fahrenheit) {
    const auto count = std::int64_t(summary.count);
    if (count == 0)
        return {};
    if (fahrenheit && summary.quantity.kind == ChartQuantity::Temperature)
        // F = C * 9 / 5 + 32, in ten-thousandths: (9 * sum + 5 * 320000 * count) / (5 * count).
        return Hundredths(9 * summary.sumTenThousandths + 1600000 * count, 500 * count);
    return Hundredths(summary.sumTenThousandths, 100 * count);
}

const std::string_view StatisticsCsvHeader = "period,quantity,unit,count,min,min_at,max,max_at,mean\r\n";

std::string StatisticsCsv(std::span<const Summary> summaries, bool fahrenheit) {
    std::string out(StatisticsCsvHeader);
    AppendStatisticsCsvLines(out, summaries, fahrenheit);
    return out;
}

void AppendStatisticsCsvLines(std::string& out, std::span<const Summary> summaries, bool fahrenheit) {
    static constexpr std::string_view IsoMinute = "%Y-%m-%dT%H:%M";
    out.reserve(out.size() + 80 * summaries.size()); // a line is rarely longer
    for (const Summary& s : summaries) {
        const std::string fields[] = {PeriodKey(s.period),
                                      QuantityKey(s.quantity),
                                      QuantityUnit(s.quantity, fahrenheit),
                                      std::to_string(s.count),
                                      SummaryValueText(s.min, s.quantity, fahrenheit),
                                      s.minAt.Format(IsoMinute),
                                      SummaryValueText(s.max, s.quantity, fahrenheit),
                                      s.maxAt.Format(IsoMinute),
                                      MeanText(s, fahrenheit)};
        for (std::size_t i = 0; i < std::size(fields); ++i) {
            if (i > 0)
                out += ',';
            AppendCsvField(out, fields[i]);
        }
        out += "\r\n";
    }
}
