#include "ui/ChartTime.h"

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
