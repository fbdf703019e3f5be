#pragma once

#include "history/Statistics.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// Texts of the summaries: the fixed names of the comma-separated file, and the texts a reader
// sees in the formats of the options.

// "2025-03-01" (day), "2025-W09" (ISO week), "2025-03" (month), "2025" (year).
std::string PeriodKey(const Period& period);
// "indoor_temperature", "outdoor3_humidity".
std::string QuantityKey(const ChartQuantity& quantity);
// "°C" or "°F" for a temperature, "%" for a humidity.
std::string QuantityUnit(const ChartQuantity& quantity, bool fahrenheit);

// The date part of a combined date-time pattern ("%d.%m.%Y %H:%M" -> "%d.%m.%Y").
std::string DatePattern(std::string_view dateTimePattern);
// A date pattern without its day ("%d.%m.%Y" -> "%m.%Y", "%Y-%m-%d" -> "%Y-%m").
std::string MonthPattern(std::string_view datePattern);
// A period as a reader names it: a day in the date pattern, a month in the date pattern without
// the day, a week as its ISO name, a year as its number.
std::string PeriodText(const Period& period, std::string_view datePattern);

// A minimum or maximum as the table shows values: one decimal in the unit for temperatures,
// whole for humidities.
std::string SummaryValueText(float value, const ChartQuantity& quantity, bool fahrenheit);
// The mean with two decimals, rounded half away from zero from the exact sum.
std::string MeanText(const Summary& summary, bool fahrenheit);
// The same mean in hundredths of the unit (never negative when it rounds to zero); none without
// a measurement. WriteHundredths writes such a number as MeanText does ("-12.35") at out and
// returns the end of what it wrote (at most 24 bytes).
std::optional<std::int64_t> MeanHundredths(const Summary& summary, bool fahrenheit);
char* WriteHundredths(char* out, std::int64_t hundredths);

// The summaries as RFC 4180 text with CRLF line ends: the header
// "period,quantity,unit,count,min,min_at,max,max_at,mean", then one line per summary; the unit
// is that of min, max and mean.
std::string StatisticsCsv(std::span<const Summary> summaries, bool fahrenheit);
// StatisticsCsv's header line, and its lines of the summaries appended to out.
extern const std::string_view StatisticsCsvHeader;
void AppendStatisticsCsvLines(std::string& out, std::span<const Summary> summaries, bool fahrenheit);
