#pragma once

#include "history/ChartPoints.h"

#include <array>
#include <cstdint>
#include <string>

// The web report's texts in one language. They live in the program rather than in the language
// files: a page must never come out with an empty heading because a text file is old or missing.
struct ReportTexts {
    const char* language; // the page's lang attribute: "en", "de", "fr"
    const char* site;
    const char *now, *week, *archive, *records;
    const char *newest, *measuredAt;
    const char *today, *yesterday;
    const char *last24Hours, *last7Days;
    const char *thisMonth, *thisYear;
    const char *measurement, *value, *minimum, *maximum, *mean, *at;
    const char *day, *month;
    const char* climateSummary;
    const char *allTime, *highest, *lowest;
    const char* weekOf;  // "%s" stands for the ISO week, "2025-W09"
    const char* indoor;  // a sensor's short name in legends and headings
    const char* outdoor; // "%d" stands for the transmitter number
    const char *temperature, *humidity;
    const char* chartDescription; // "%1" and "%2" stand for the first and last date
    const char* noData;
    const char* years;
    std::array<const char*, 12> monthNames;
    std::array<const char*, 12> monthShortNames;
};

// The texts of a language id of the options (1031 German, 1036 French); English for any other.
const ReportTexts& ReportTextsFor(std::uint16_t languageId);

// "Indoor", "Outdoor 3".
std::string SensorName(const ReportTexts& texts, int sensor);
// "Indoor temperature", "Outdoor humidity 3" in the language's word order.
std::string QuantityName(const ReportTexts& texts, const ChartQuantity& quantity);
