#include "report/ReportPages.h"

#include "history/StatisticsText.h"
#include "report/SvgChart.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace {

std::string Two(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

std::string PeriodStem(const Period& period) {
    switch (period.kind) {
    case PeriodKind::Year:
        return std::to_string(period.year);
    case PeriodKind::Month:
        return std::to_string(period.year) + "-" + Two(period.month);
    case PeriodKind::Week:
        return "week";
    case PeriodKind::Day:
        break;
    }
    return std::to_string(period.year) + "-" + Two(period.month) + "-" + Two(period.day);
}

std::string Unit(const ChartQuantity& quantity, const ColumnFormat& format) {
    if (quantity.kind == ChartQuantity::Humidity)
        return "\u202f%";
    return format.fahrenheit ? "\u202f°F" : "\u202f°C";
}

std::string ValueCell(float value, const ChartQuantity& quantity, const ColumnFormat& format) {
    return SummaryValueText(value, quantity, format.fahrenheit) + Unit(quantity, format);
}

std::string Time(const CDateTime& at) {
    return at.Format("%H:%M");
}

std::string DateTimeText(const CDateTime& at, const ColumnFormat& format) {
    return at.Format(format.dateTimePattern);
}

std::string Link(std::string_view file, std::string_view text, bool current = false) {
    return "<a href=\"" + std::string(file) + "\"" + (current ? " aria-current=\"page\"" : "") + ">" +
           Escaped(text) + "</a>";
}

std::string Figure(const PageChart& chart) {
    return "<figure class=\"chart\"><img src=\"" + chart.file + "\" alt=\"" + Escaped(chart.title) +
           "\" width=\"800\" height=\"402\"><figcaption>" + Escaped(chart.title) + "</figcaption></figure>\n";
}

// The page around its content: the site's name, the navigation and the style sheet.
std::string Page(const PageSetup& setup, std::string_view title, std::string_view current,
                 std::string_view body) {
    const ReportTexts& t = *setup.texts;
    std::string page = "<!DOCTYPE html>\n<html lang=\"" + std::string(t.language) +
                       "\">\n<head>\n<meta charset=\"utf-8\">\n"
                       "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                       "<meta name=\"color-scheme\" content=\"light dark\">\n"
                       "<meta name=\"generator\" content=\"Nivaro\">\n<title>" +
                       Escaped(title) + " – " + Escaped(t.site) +
                       "</title>\n<link rel=\"stylesheet\" href=\"" + std::string(StyleFile) +
                       "\">\n<link rel=\"icon\" href=\"" + std::string(IconFile) +
                       "\" type=\"image/svg+xml\">\n</head>\n<body>\n<header><p class=\"site\">" +
                       Escaped(t.site) + "</p><nav>";
    const std::pair<std::string_view, const char*> entries[] = {{FrontPageFile, t.now},
                                                                {"week.html", t.week},
                                                                {ArchivePageFile, t.archive},
                                                                {RecordsPageFile, t.records}};
    for (const auto& [file, text] : entries)
        page += Link(file, text, file == current);
    page += "</nav></header>\n<main>\n<h1>" + Escaped(title) + "</h1>\n";
    page += body;
    page += "</main>\n</body>\n</html>\n";
    return page;
}

// The sensors with at least one summary, ascending.
std::vector<int> SensorsOf(std::span<const Summary> summaries) {
    std::vector<int> sensors;
    for (const Summary& s : summaries)
        if (std::find(sensors.begin(), sensors.end(), s.quantity.sensor) == sensors.end())
            sensors.push_back(s.quantity.sensor);
    std::sort(sensors.begin(), sensors.end());
    return sensors;
}

const Summary* Find(std::span<const Summary> summaries, const ChartQuantity& quantity) {
    for (const Summary& s : summaries)
        if (s.quantity == quantity)
            return &s;
    return nullptr;
}

std::string RowTitle(const PageSetup& setup, const Period& period, bool link) {
    std::string text = period.kind == PeriodKind::Month
                           ? std::string(setup.texts->monthNames[std::size_t(period.month - 1)])
                           : PeriodText(period, DatePattern(setup.format.dateTimePattern));
    return link ? Link(PageFile(period), text) : Escaped(text);
}

// One sensor's climate summary: a row per period, minimum, maximum and mean of temperature and
// humidity.
std::string ClimateTable(const PageSetup& setup, std::span<const Summary> rows, int sensor, bool linkRows) {
    const ReportTexts& t = *setup.texts;
    const ChartQuantity temperature{ChartQuantity::Temperature, sensor},
        humidity{ChartQuantity::Humidity, sensor};
    const std::string temperatureUnit = setup.format.fahrenheit ? "°F" : "°C";
    std::string table =
        "<div class=\"table\"><table class=\"climate\" data-sensor=\"" + std::to_string(sensor) +
        "\">\n<caption>" + Escaped(SensorName(t, sensor)) + "</caption>\n<thead><tr><th rowspan=\"2\" " +
        "scope=\"col\">" +
        Escaped(rows.empty() || rows.front().period.kind != PeriodKind::Month ? t.day : t.month) +
        "</th><th colspan=\"3\" scope=\"colgroup\">" + Escaped(t.temperature) + " (" + temperatureUnit +
        ")</th><th colspan=\"3\" scope=\"colgroup\">" + Escaped(t.humidity) + " (%)</th></tr>\n<tr>";
    for (int i = 0; i < 2; ++i)
        table += "<th scope=\"col\">" + Escaped(t.minimum) + "</th><th scope=\"col\">" + Escaped(t.maximum) +
                 "</th><th scope=\"col\">" + Escaped(t.mean) + "</th>";
    table += "</tr></thead>\n<tbody>\n";
    for (std::size_t i = 0; i < rows.size();) {
        const Period period = rows[i].period;
        std::size_t end = i;
        while (end < rows.size() && rows[end].period == period)
            ++end;
        const std::span<const Summary> of = rows.subspan(i, end - i);
        const Summary* values[] = {Find(of, temperature), Find(of, humidity)};
        if (values[0] || values[1]) {
            table += "<tr><th scope=\"row\">" + RowTitle(setup, period, linkRows) + "</th>";
            for (const Summary* s : values)
                if (s)
                    table += "<td>" + SummaryValueText(s->min, s->quantity, setup.format.fahrenheit) +
                             "</td><td>" + SummaryValueText(s->max, s->quantity, setup.format.fahrenheit) +
                             "</td><td>" + MeanText(*s, setup.format.fahrenheit) + "</td>";
                else
                    table += "<td></td><td></td><td></td>";
            table += "</tr>\n";
        }
        i = end;
    }
    table += "</tbody></table></div>\n";
    return table;
}

// Highest and lowest of each quantity with their date-times.
std::string ExtremesTable(const PageSetup& setup, std::span<const Summary> summaries, std::string_view id) {
    const ReportTexts& t = *setup.texts;
    std::string table = "<div class=\"table\"><table class=\"records\" id=\"" + std::string(id) +
                        "\">\n<thead><tr><th scope=\"col\">" + Escaped(t.measurement) +
                        "</th><th scope=\"col\">" + Escaped(t.highest) + "</th><th scope=\"col\">" +
                        Escaped(t.at) + "</th><th scope=\"col\">" + Escaped(t.lowest) +
                        "</th><th scope=\"col\">" + Escaped(t.at) + "</th></tr></thead>\n<tbody>\n";
    for (const Summary& s : summaries)
        table += "<tr><th scope=\"row\">" + Escaped(QuantityName(t, s.quantity)) + "</th><td>" +
                 ValueCell(s.max, s.quantity, setup.format) + "</td><td>" +
                 DateTimeText(s.maxAt, setup.format) + "</td><td>" +
                 ValueCell(s.min, s.quantity, setup.format) + "</td><td>" +
                 DateTimeText(s.minAt, setup.format) + "</td></tr>\n";
    table += "</tbody></table></div>\n";
    return table;
}

} // namespace

std::string PageFile(const Period& period) {
    return PeriodStem(period) + ".html";
}

std::string ChartFile(const Period& period) {
    return PeriodStem(period) + ".svg";
}

std::string PeriodTitle(const ReportTexts& texts, const Period& period) {
    switch (period.kind) {
    case PeriodKind::Year:
        return std::to_string(period.year);
    case PeriodKind::Month:
        return std::string(texts.monthNames[std::size_t(period.month - 1)]) + " " +
               std::to_string(period.year);
    case PeriodKind::Week: {
        std::string text = texts.weekOf;
        return text.replace(text.find("%s"), 2, PeriodKey(period));
    }
    case PeriodKind::Day:
        break;
    }
    return PeriodKey(period);
}

std::string FrontPage(const PageSetup& setup, const FrontPageContent& content) {
    const ReportTexts& t = *setup.texts;
    std::string body = "<section class=\"now\"><h2>" + Escaped(t.newest) + "</h2>\n<p class=\"when\">" +
                       Escaped(t.measuredAt) + " <time>" +
                       DateTimeText(content.newest.GetDateTime(), setup.format) +
                       "</time></p>\n<div class=\"cards\">\n";
    for (int sensor = 0; sensor < CDataset::SensorCount; ++sensor) {
        const float temperature = content.newest.GetTemperature(sensor);
        const float humidity = content.newest.GetHumidity(sensor);
        const bool hasTemperature = IsPlottable(ChartQuantity::Temperature, temperature);
        const bool hasHumidity = IsPlottable(ChartQuantity::Humidity, humidity);
        if (!hasTemperature && !hasHumidity)
            continue;
        body += "<div class=\"card\"><h3>" + Escaped(SensorName(t, sensor)) + "</h3>";
        if (hasTemperature)
            body += "<p class=\"temperature\">" +
                    ValueCell(temperature, {ChartQuantity::Temperature, sensor}, setup.format) + "</p>";
        if (hasHumidity)
            body += "<p class=\"humidity\">" +
                    ValueCell(humidity, {ChartQuantity::Humidity, sensor}, setup.format) + "</p>";
        body += "</div>\n";
    }
    body += "</div>\n<p class=\"more\">" + Link(PageFile(content.month), t.thisMonth) + " · " +
            Link(PageFile(content.year), t.thisYear) + "</p></section>\n";

    // Today's and yesterday's extremes side by side.
    body +=
        "<section><h2>" + Escaped(t.today) + " / " + Escaped(t.yesterday) +
        "</h2>\n<div class=\"table\"><table class=\"days\">\n<thead><tr><th rowspan=\"2\" scope=\"col\">" +
        Escaped(t.measurement) + "</th><th colspan=\"2\" scope=\"colgroup\">" + Escaped(t.today) +
        "</th><th colspan=\"2\" scope=\"colgroup\">" + Escaped(t.yesterday) + "</th></tr>\n<tr>";
    for (int i = 0; i < 2; ++i)
        body += "<th scope=\"col\">" + Escaped(t.minimum) + "</th><th scope=\"col\">" + Escaped(t.maximum) +
                "</th>";
    body += "</tr></thead>\n<tbody>\n";
    for (const ChartQuantity& quantity : StatisticsQuantities()) {
        const Summary* days[] = {Find(content.today, quantity), Find(content.yesterday, quantity)};
        if (!days[0] && !days[1])
            continue;
        body += "<tr><th scope=\"row\">" + Escaped(QuantityName(t, quantity)) + "</th>";
        for (const Summary* s : days) {
            if (!s) {
                body += "<td></td><td></td>";
                continue;
            }
            body += "<td>" + ValueCell(s->min, quantity, setup.format) + " <small>" + Escaped(t.at) + " " +
                    Time(s->minAt) + "</small></td><td>" + ValueCell(s->max, quantity, setup.format) +
                    " <small>" + Escaped(t.at) + " " + Time(s->maxAt) + "</small></td>";
        }
        body += "</tr>\n";
    }
    body += "</tbody></table></div></section>\n";
    body += "<section><h2>" + Escaped(t.last24Hours) + "</h2>\n" + Figure(content.lastDay) + "</section>\n";
    body += "<section><h2>" + Escaped(t.last7Days) + "</h2>\n" + Figure(content.lastWeek) + "</section>\n";
    return Page(setup, t.now, FrontPageFile, body);
}

std::string PeriodPage(const PageSetup& setup, const PeriodPageContent& content) {
    const ReportTexts& t = *setup.texts;
    std::string body = Figure(content.chart);
    body += "<section><h2>" + Escaped(t.climateSummary) + "</h2>\n";
    const std::vector<int> sensors = SensorsOf(content.rows);
    if (sensors.empty())
        body += "<p>" + Escaped(t.noData) + "</p>\n";
    body += "<div class=\"tables\">\n";
    for (int sensor : sensors)
        body += ClimateTable(setup, content.rows, sensor, content.linkRows);
    body += "</div></section>\n";
    const std::string_view current = content.period.kind == PeriodKind::Week ? "week.html" : ArchivePageFile;
    return Page(setup, PeriodTitle(t, content.period), current, body);
}

std::string RecordsPage(const PageSetup& setup, std::span<const Summary> allTime,
                        std::span<const Summary> yearly) {
    const ReportTexts& t = *setup.texts;
    std::string body;
    if (allTime.empty())
        body += "<p>" + Escaped(t.noData) + "</p>\n";
    else
        body += "<section><h2>" + Escaped(t.allTime) + "</h2>\n" + ExtremesTable(setup, allTime, "all-time") +
                "</section>\n";
    // Newest year first.
    for (std::size_t end = yearly.size(); end > 0;) {
        std::size_t first = end - 1;
        while (first > 0 && yearly[first - 1].period == yearly[end - 1].period)
            --first;
        const Period year = yearly[first].period;
        body +=
            "<section><h2>" + Link(PageFile(year), std::to_string(year.year)) + "</h2>\n" +
            ExtremesTable(setup, yearly.subspan(first, end - first), "year-" + std::to_string(year.year)) +
            "</section>\n";
        end = first;
    }
    return Page(setup, t.records, RecordsPageFile, body);
}

std::string ArchivePage(const PageSetup& setup, std::span<const Period> months) {
    const ReportTexts& t = *setup.texts;
    std::string body;
    if (months.empty())
        body += "<p>" + Escaped(t.noData) + "</p>\n";
    for (std::size_t end = months.size(); end > 0;) {
        std::size_t first = end - 1;
        while (first > 0 && months[first - 1].year == months[end - 1].year)
            --first;
        const int year = months[first].year;
        body += "<section class=\"year\"><h2>" +
                Link(PageFile(Period{PeriodKind::Year, year, 1, 1}), std::to_string(year)) +
                "</h2>\n<ul class=\"months\">";
        for (std::size_t i = first; i < end; ++i)
            body +=
                "<li>" + Link(PageFile(months[i]), t.monthNames[std::size_t(months[i].month - 1)]) + "</li>";
        body += "</ul></section>\n";
        end = first;
    }
    return Page(setup, t.archive, ArchivePageFile, body);
}

std::vector<Summary> MergeSummaries(std::span<const Summary> summaries, const Period& into) {
    std::vector<Summary> merged;
    for (const ChartQuantity& quantity : StatisticsQuantities()) {
        std::optional<Summary> total;
        for (const Summary& s : summaries) {
            if (!(s.quantity == quantity) || s.count == 0)
                continue;
            if (!total) {
                total = s;
                total->period = into;
                continue;
            }
            total->count += s.count;
            total->sumTenThousandths += s.sumTenThousandths;
            if (s.min < total->min || (s.min == total->min && s.minAt < total->minAt)) {
                total->min = s.min;
                total->minAt = s.minAt;
            }
            if (s.max > total->max || (s.max == total->max && s.maxAt < total->maxAt)) {
                total->max = s.max;
                total->maxAt = s.maxAt;
            }
        }
        if (total)
            merged.push_back(*total);
    }
    return merged;
}

std::string Icon() {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 32 32\"><title>Nivaro</title>"
           "<rect x=\"12\" y=\"2\" width=\"8\" height=\"20\" rx=\"4\" fill=\"#1971c2\"/>"
           "<circle cx=\"16\" cy=\"24\" r=\"6\" fill=\"#d9480f\"/>"
           "<rect x=\"14.5\" y=\"9\" width=\"3\" height=\"13\" fill=\"#d9480f\"/></svg>\n";
}

std::string StyleSheet() {
    return R"(:root{color-scheme:light dark;--text:#1d2329;--muted:#5b6670;--back:#f7f8fa;--card:#fff;--line:#d8dde3;--accent:#1971c2}
@media (prefers-color-scheme: dark){:root{--text:#e4e8ec;--muted:#9aa5b1;--back:#15191d;--card:#1f252b;--line:#37404a;--accent:#74b9ff}}
*{box-sizing:border-box}
body{margin:0;font:16px/1.45 system-ui,-apple-system,"Segoe UI",Roboto,sans-serif;color:var(--text);background:var(--back)}
header{display:flex;flex-wrap:wrap;align-items:baseline;gap:.5rem 1.5rem;padding:.75rem 1rem;background:var(--card);border-bottom:1px solid var(--line)}
.site{margin:0;font-weight:700;font-size:1.15rem}
nav{display:flex;flex-wrap:wrap;gap:.25rem 1rem}
a{color:var(--accent)}
nav a{text-decoration:none;padding:.1rem 0}
nav a[aria-current]{font-weight:700;border-bottom:2px solid var(--accent)}
main{max-width:72rem;margin:0 auto;padding:1rem}
h1{font-size:1.6rem;margin:.5rem 0 1rem}
h2{font-size:1.2rem;margin:1.5rem 0 .5rem}
.when{color:var(--muted);margin-top:0}
.cards{display:grid;grid-template-columns:repeat(auto-fill,minmax(9.5rem,1fr));gap:.75rem}
.card{background:var(--card);border:1px solid var(--line);border-radius:.5rem;padding:.6rem .8rem}
.card h3{margin:0;font-size:.95rem;color:var(--muted);font-weight:600}
.card p{margin:.15rem 0;font-variant-numeric:tabular-nums}
.card .temperature{font-size:1.6rem;font-weight:600}
figure.chart{margin:0 0 1rem;background:var(--card);border:1px solid var(--line);border-radius:.5rem;padding:.5rem}
figure.chart img{display:block;width:100%;height:auto}
figcaption{color:var(--muted);font-size:.85rem;margin-top:.25rem}
.tables{display:grid;grid-template-columns:repeat(auto-fit,minmax(min(100%,36rem),1fr));gap:1rem}
.table{overflow-x:auto;background:var(--card);border:1px solid var(--line);border-radius:.5rem}
table{border-collapse:collapse;width:100%;font-variant-numeric:tabular-nums;font-size:.92rem}
caption{text-align:left;font-weight:600;padding:.5rem .6rem}
th,td{padding:.3rem .6rem;border-top:1px solid var(--line);text-align:right;white-space:nowrap}
th[scope=row],thead th:first-child{text-align:left}
thead th{color:var(--muted);font-weight:600}
td small{color:var(--muted)}
ul.months{list-style:none;padding:0;display:flex;flex-wrap:wrap;gap:.4rem 1rem}
@media (max-width:40rem){main{padding:.6rem}.tables{grid-template-columns:1fr}th,td{padding:.25rem .4rem}}
@media print{:root{--text:#000;--muted:#444;--back:#fff;--card:#fff;--line:#bbb}nav{display:none}header{border:0}
figure.chart,.table{break-inside:avoid;border:0}.tables{display:block}.table{margin-bottom:1rem}}
)";
}
