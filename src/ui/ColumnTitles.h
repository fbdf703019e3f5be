#pragma once

#include <string>
#include <vector>

class LoadMultiLangXml;

// The words the table's column titles are made of, in one language.
struct ColumnWords {
    std::string temperature; // 100000
    std::string humidity;    // 100001
    std::string indoor;      // 100002
    std::string number;      // 100003
    std::string dateTime;    // 100004
    std::string unit;        // 100006 for Fahrenheit, else 100005
};

ColumnWords ReadColumnWords(const LoadMultiLangXml& texts, bool fahrenheit);

// Row number, date-time, indoor pair, then a pair per outdoor transmitter. A count of 6 (none read
// yet) or any value outside 0 to 5 gives no outdoor pairs.
std::vector<std::string> ColumnTitles(const ColumnWords& words, int nrOfTransmitters);

// The widest blank-separated word of a title, by the given measure.
template <typename Measure> int WidestWord(const std::string& title, Measure measure) {
    int widest = 0;
    std::size_t start = 0;
    while (start <= title.size()) {
        const std::size_t end = std::min(title.find(' ', start), title.size());
        widest = std::max(widest, measure(title.substr(start, end - start)));
        start = end + 1;
    }
    return widest;
}

// 31 December 1999, 23:59:59 in the combined date-time pattern: the width sample of the date column.
std::string SampleDateTime(const std::string& pattern);
