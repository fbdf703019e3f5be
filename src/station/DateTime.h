#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// OLE Automation date: days since 1899-12-30 00:00, the fraction being the time of day. Before
// that day the value is negative and its fraction still counts forward from midnight, so -1.25 is
// 1899-12-29 06:00. Carries a status next to the value.
using DATE = double;

constexpr unsigned long LANG_USER_DEFAULT = 0x400;

class CDateTime {
public:
    enum DateTimeStatus { valid = 0, invalid = 1, null = 2 };

    // Calendar fields of a date-time.
    struct Fields {
        int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
        bool operator==(const Fields&) const = default;
    };

    // Representable range, years 100 to 9999.
    static constexpr DATE MinDate = -657434.0;
    static constexpr DATE MaxDate = 2958465.999988426;

    CDateTime() = default;
    explicit CDateTime(DATE value) : m_dt(value), m_status(valid) {}
    CDateTime(int year, int month, int day, int hour, int minute, int second) {
        SetDateTime(year, month, day, hour, minute, second);
    }

    CDateTime& operator=(DATE value) {
        m_dt = value;
        m_status = valid;
        return *this;
    }

    // Valid when every field lies in its range (no carrying: day 32, hour 24 or minute 60 are
    // rejected), else invalid with value 0.
    int SetDateTime(int year, int month, int day, int hour, int minute, int second);

    DateTimeStatus GetStatus() const { return static_cast<DateTimeStatus>(m_status); }
    void SetStatus(DateTimeStatus status) { m_status = static_cast<unsigned char>(status); }
    DATE Value() const { return m_dt; }

    // The calendar fields, rounded to the second; false when the value is not a representable date.
    bool GetFields(Fields& fields) const;

    bool operator==(const CDateTime& other) const;
    bool operator!=(const CDateTime& other) const { return !(*this == other); }
    bool operator<(const CDateTime& other) const;
    bool operator>(const CDateTime& other) const;
    bool operator<=(const CDateTime& other) const { return *this < other || *this == other; }
    bool operator>=(const CDateTime& other) const { return *this > other || *this == other; }

    // Display text with a strftime-style pattern (%d %m %Y %y %H %M %S %I %p %%, "AM"/"PM"
    // whatever the locale): "" when null, "Invalid DateTime" when invalid or not a date.
    std::string Format(std::string_view pattern) const;
    // Appends the display text to out (the export formats a million of these).
    void FormatTo(std::string& out, std::string_view pattern) const;
    // Log text, "2005-01-17 14:35:00"; same rules for null and invalid.
    std::string LogText() const;
    std::string Format(unsigned long /*flags*/, unsigned long /*locale*/) const { return LogText(); }

private:
    DATE m_dt = 0.0;
    unsigned char m_status = valid;
};

// Calendar fields to the day count and back; the pure core of CDateTime.
bool IsValidDateFields(const CDateTime::Fields& fields);
DATE DateFromFields(const CDateTime::Fields& fields);
bool FieldsFromDate(DATE value, CDateTime::Fields& fields);
// FieldsFromDate in two steps, for code that converts many date-times of one day (a history read
// in order): a value's day number and second of that day (false where FieldsFromDate is for the
// range), and a day number's calendar date, whose year must still be at most 9999.
bool DayAndSecondOfDate(DATE value, std::int64_t& day, int& second);
void CalendarDateOfDay(std::int64_t day, int& year, int& month, int& dayOfMonth);
