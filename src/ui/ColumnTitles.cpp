#include "ui/ColumnTitles.h"

#include "settings/LangXml.h"

#include <ctime>

ColumnWords ReadColumnWords(const LoadMultiLangXml& texts, bool fahrenheit) {
    return {texts.Text(100000), texts.Text(100001), texts.Text(100002),
            texts.Text(100003), texts.Text(100004), texts.Text(fahrenheit ? 100006 : 100005)};
}

std::vector<std::string> ColumnTitles(const ColumnWords& words, int nrOfTransmitters) {
    std::vector<std::string> titles = {
        words.number,
        words.dateTime,
        words.temperature + " " + words.indoor + " (" + words.unit + ")",
        words.humidity + " " + words.indoor + " (%" + ")",
    };
    const int pairs = nrOfTransmitters >= 0 && nrOfTransmitters <= 5 ? nrOfTransmitters : 0;
    for (int j = 1; j <= pairs; ++j) {
        titles.push_back(words.temperature + " " + std::to_string(j) + " (" + words.unit + ")");
        titles.push_back(words.humidity + " " + std::to_string(j) + " (%)");
    }
    return titles;
}

std::string SampleDateTime(const std::string& pattern) {
    std::tm sample{};
    sample.tm_year = 99;
    sample.tm_mon = 11;
    sample.tm_mday = 31;
    sample.tm_hour = 23;
    sample.tm_min = 59;
    sample.tm_sec = 59;
    sample.tm_wday = 5;
    sample.tm_yday = 364;
    char text[128] = {};
    const std::size_t length = std::strftime(text, sizeof text, pattern.c_str(), &sample);
    return std::string(text, length);
}
