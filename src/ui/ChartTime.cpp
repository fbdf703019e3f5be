#include "ui/ChartTime.h"

#include <QDateTime>
#include <QTimeZone>

#include <cmath>

namespace {

// 1970-01-01 as a day count since 1899-12-30.
constexpr double EpochDays = 25569.0;
constexpr double MsecsPerDay = 86400000.0;

} // namespace

double LinearDays(DATE date) {
    if (date >= 0)
        return date;
    const double day = std::trunc(date);
    return day + (day - date);
}

DATE FromLinearDays(double days) {
    if (days >= 0)
        return days;
    const double day = std::floor(days);
    const double fraction = days - day;
    return fraction == 0 ? day : day - fraction;
}

qint64 ChartClock::ToMsecs(DATE date) {
    const double wall = (LinearDays(date) - EpochDays) * MsecsPerDay; // local time read as UTC
    const auto hour = static_cast<qint64>(std::floor(wall / 3600000.0));
    auto found = m_offsets.find(hour);
    if (found == m_offsets.end()) {
        const QDateTime utc = QDateTime::fromMSecsSinceEpoch(hour * 3600000, QTimeZone::utc());
        const QDateTime local(utc.date(), utc.time(), Qt::LocalTime);
        found = m_offsets.emplace(hour, local.isValid() ? local.offsetFromUtc() : 0).first;
    }
    return static_cast<qint64>(std::llround(wall)) - qint64(found->second) * 1000;
}

DATE ChartClock::FromMsecs(qint64 msecs) const {
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(msecs, Qt::LocalTime);
    const qint64 wall = msecs + qint64(local.offsetFromUtc()) * 1000;
    return FromLinearDays(double(wall) / MsecsPerDay + EpochDays);
}

QString QtDateTimeFormat(std::string_view pattern) {
    QString format;
    QString literal;
    const auto flushLiteral = [&] {
        if (literal.isEmpty())
            return;
        format += QLatin1Char('\'') + QString(literal).replace(QLatin1Char('\''), QStringLiteral("''")) +
                  QLatin1Char('\'');
        literal.clear();
    };
    const auto field = [&](const char* qt) {
        flushLiteral();
        format += QLatin1String(qt);
    };
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%' || i + 1 == pattern.size()) {
            literal += QLatin1Char(pattern[i]);
            continue;
        }
        switch (pattern[++i]) {
        case 'd':
            field("dd");
            break;
        case 'm':
            field("MM");
            break;
        case 'Y':
            field("yyyy");
            break;
        case 'y':
            field("yy");
            break;
        case 'H':
            field("HH");
            break;
        case 'M':
            field("mm");
            break;
        case 'S':
            field("ss");
            break;
        case 'I':
            field("hh");
            break;
        case 'p':
            field("AP");
            break;
        case '%':
            literal += QLatin1Char('%');
            break;
        default:
            literal += QLatin1Char('%');
            literal += QLatin1Char(pattern[i]);
            break;
        }
    }
    flushLiteral();
    return format;
}
