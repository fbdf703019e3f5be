#include "station/DateTime.h"

#include <cmath>
#include <cstdint>

namespace {

constexpr const char* InvalidText = "Invalid DateTime";

bool IsLeap(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeap(year) ? 29 : days[month - 1];
}

// Days since 1970-01-01 of a proleptic Gregorian date, and back (era-based, valid for all years).
constexpr std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2));
}

// Constant-initialised, so date-times built during static initialisation are right too.
constexpr std::int64_t OleEpoch = DaysFromCivil(1899, 12, 30);

void Append2(std::string& out, int value) {
    out.push_back(static_cast<char>('0' + value / 10 % 10));
    out.push_back(static_cast<char>('0' + value % 10));
}

void Append4(std::string& out, int value) {
    Append2(out, value / 100);
    Append2(out, value % 100);
}

} // namespace

bool IsValidDateFields(const CDateTime::Fields& f) {
    return f.year >= 100 && f.year <= 9999 && f.month >= 1 && f.month <= 12 && f.day >= 1 &&
           f.day <= DaysInMonth(f.year, f.month) && f.hour >= 0 && f.hour <= 23 && f.minute >= 0 &&
           f.minute <= 59 && f.second >= 0 && f.second <= 59;
}

DATE DateFromFields(const CDateTime::Fields& f) {
    const double day = static_cast<double>(
        DaysFromCivil(f.year, static_cast<unsigned>(f.month), static_cast<unsigned>(f.day)) - OleEpoch);
    const double time = (f.hour * 3600 + f.minute * 60 + f.second) / 86400.0;
    // Before the epoch the time of day still counts forward: subtract it from the negative day.
    return day < 0 ? day - time : day + time;
}

bool DayAndSecondOfDate(DATE value, std::int64_t& day, int& second) {
    if (!(value >= CDateTime::MinDate && value <= CDateTime::MaxDate))
        return false; // also NaN
    const double whole = std::trunc(value);
    const double fraction = std::fabs(value - whole);
    day = static_cast<std::int64_t>(whole);
    // Rounded half up, as std::llround rounds a number that is not negative (without its call):
    // taking the whole seconds off is exact.
    const double exact = fraction * 86400.0;
    std::int64_t seconds = static_cast<std::int64_t>(exact);
    if (exact - static_cast<double>(seconds) >= 0.5)
        ++seconds;
    if (seconds >= 86400) { // rounded up to the next midnight
        seconds -= 86400;
        day += 1;
    }
    second = static_cast<int>(seconds);
    return true;
}

void CalendarDateOfDay(std::int64_t day, int& year, int& month, int& dayOfMonth) {
    CivilFromDays(day + OleEpoch, year, month, dayOfMonth);
}

bool FieldsFromDate(DATE value, CDateTime::Fields& f) {
    std::int64_t day = 0;
    int seconds = 0;
    if (!DayAndSecondOfDate(value, day, seconds))
        return false;
    CalendarDateOfDay(day, f.year, f.month, f.day);
    f.hour = seconds / 3600;
    f.minute = seconds / 60 % 60;
    f.second = seconds % 60;
    return f.year <= 9999;
}

int CDateTime::SetDateTime(int year, int month, int day, int hour, int minute, int second) {
    const Fields fields{year, month, day, hour, minute, second};
    if (IsValidDateFields(fields)) {
        m_dt = DateFromFields(fields);
        m_status = valid;
    } else {
        m_dt = 0.0;
        m_status = invalid;
    }
    return 0;
}

bool CDateTime::GetFields(Fields& fields) const {
    return m_status == valid && FieldsFromDate(m_dt, fields);
}

bool CDateTime::operator==(const CDateTime& other) const {
    if (m_status != other.m_status)
        return false;
    if (m_status == valid)
        return m_dt == other.m_dt;
    return m_status == null;
}

bool CDateTime::operator<(const CDateTime& other) const {
    return m_status == valid && other.m_status == valid && m_dt < other.m_dt;
}

bool CDateTime::operator>(const CDateTime& other) const {
    return m_status == valid && other.m_status == valid && m_dt > other.m_dt;
}

void CDateTime::FormatTo(std::string& out, std::string_view pattern) const {
    if (m_status == null)
        return;
    Fields f;
    if (!GetFields(f)) {
        out += InvalidText;
        return;
    }
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c != '%' || i + 1 == pattern.size()) {
            out.push_back(c);
            continue;
        }
        switch (pattern[++i]) {
        case 'd':
            Append2(out, f.day);
            break;
        case 'm':
            Append2(out, f.month);
            break;
        case 'Y':
            Append4(out, f.year);
            break;
        case 'y':
            Append2(out, f.year % 100);
            break;
        case 'H':
            Append2(out, f.hour);
            break;
        case 'M':
            Append2(out, f.minute);
            break;
        case 'S':
            Append2(out, f.second);
            break;
        case 'I':
            Append2(out, f.hour % 12 == 0 ? 12 : f.hour % 12);
            break;
        case 'p':
            out += f.hour < 12 ? "AM" : "PM";
            break;
        case '%':
            out.push_back('%');
            break;
        default: // unknown conversions are kept as written
            out.push_back('%');
            out.push_back(pattern[i]);
            break;
        }
    }
}

std::string CDateTime::Format(std::string_view pattern) const {
    std::string out;
    FormatTo(out, pattern);
    return out;
}

std::string CDateTime::LogText() const {
    return Format("%Y-%m-%d %H:%M:%S");
}
