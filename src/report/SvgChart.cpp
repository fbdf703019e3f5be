#include "report/SvgChart.h"

#include "history/TimeTicks.h"
#include "history/ValueTicks.h"
#include "report/SvgNumber.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <string_view>

namespace {

constexpr double Width = 800, Left = 52, Right = 14;
constexpr double TemperatureTop = 34, TemperatureHeight = 200;
constexpr double HumidityTop = 254, HumidityHeight = 120;
constexpr double AxisLabels = 392, Height = 402;

std::string Number(double value) {
    std::string text;
    AppendSvgNumber(text, value);
    return text;
}

// A path's steps ("M12.3 45.6", "L...") written straight into a buffer that has room for the
// steps ahead; kept from path to path, so a panel allocates it once.
class PathText {
public:
    // Starts a path of at most that many steps.
    void Start(std::size_t steps) {
        if (steps * StepRoom > m_room) {
            m_room = steps * StepRoom;
            m_buffer = std::make_unique_for_overwrite<char[]>(m_room);
        }
        m_at = m_buffer.get();
    }
    void Step(char command, double x, double y) {
        *m_at++ = command;
        m_at = WriteSvgNumber(m_at, x);
        *m_at++ = ' ';
        m_at = WriteSvgNumber(m_at, y);
    }
    // A few characters, counted as one step.
    void Put(std::string_view text) { m_at = std::copy(text.begin(), text.end(), m_at); }
    std::string_view Text() const { return {m_buffer.get(), std::size_t(m_at - m_buffer.get())}; }

private:
    static constexpr std::size_t StepRoom = 2 * SvgNumberRoom + 2;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_room = 0;
    char* m_at = nullptr;
};

struct Panel {
    double top, height;
    double low, high;

    double Y(double value) const { return top + height - (value - low) / (high - low) * height; }
};

double Shown(float value, const ChartQuantity& quantity, bool fahrenheit) {
    return quantity.kind == ChartQuantity::Temperature && fahrenheit ? double(ToFahrenheit(value))
                                                                     : double(value);
}

// Hours, days without their year, months by their short names, and January by its year.
std::string TickLabel(DATE at, const TimeStep& step, const SvgChartSetup& setup) {
    const TimeUnit unit = TickNames(at, step);
    if (unit == TimeUnit::Month) {
        CDateTime::Fields fields;
        if (CDateTime(at).GetFields(fields))
            return setup.texts->monthShortNames[std::size_t(fields.month - 1)];
    }
    return CDateTime(at).Format(TimeTickPattern(unit, setup.datePattern, TickYear::Left));
}

void AppendPanel(std::string& svg, const Panel& panel, const ValueTicks& ticks, const std::string& title,
                 std::span<const BandSeries> series, ChartQuantity::Kind kind, DATE from, DATE to,
                 bool fahrenheit) {
    const auto x = [&](DATE at) { return Left + (at - from) / (to - from) * (Width - Left - Right); };
    svg += "<g class=\"panel\">";
    svg += "<text class=\"axis-title\" x=\"" + Number(Left) + "\" y=\"" + Number(panel.top - 6) + "\">" +
           Escaped(title) + "</text>";
    for (double value : ticks.At()) {
        const std::string y = Number(panel.Y(value));
        svg += "<line class=\"grid\" x1=\"" + Number(Left) + "\" x2=\"" + Number(Width - Right) + "\" y1=\"" +
               y + "\" y2=\"" + y + "\"/>";
        svg += "<text class=\"value\" x=\"" + Number(Left - 6) + "\" y=\"" + Number(panel.Y(value) + 4) +
               "\">" + Number(value) + "</text>";
    }
    PathText area, line;
    for (const BandSeries& band : series) {
        if (band.quantity.kind != kind)
            continue;
        const std::string sensor = "s" + std::to_string(band.quantity.sensor);
        line.Start(band.columns.size() + 2 * band.runStarts.size());
        area.Start(2 * band.columns.size() + band.runStarts.size());
        for (std::size_t run = 0; run < band.runStarts.size(); ++run) {
            const std::size_t first = band.runStarts[run];
            const std::size_t end =
                run + 1 < band.runStarts.size() ? band.runStarts[run + 1] : band.columns.size();
            if (end - first == 1) {
                const BandColumn& c = band.columns[first];
                line.Step('M', x(c.at), panel.Y(Shown(float(c.mean), band.quantity, fahrenheit)));
                line.Put("h2");
                continue;
            }
            bool wide = false;
            for (std::size_t i = first; i < end; ++i) {
                const BandColumn& c = band.columns[i];
                line.Step(i == first ? 'M' : 'L', x(c.at),
                          panel.Y(Shown(float(c.mean), band.quantity, fahrenheit)));
                wide = wide || c.max > c.min;
            }
            if (!wide)
                continue;
            for (std::size_t i = first; i < end; ++i) {
                const BandColumn& c = band.columns[i];
                area.Step(i == first ? 'M' : 'L', x(c.at), panel.Y(Shown(c.max, band.quantity, fahrenheit)));
            }
            for (std::size_t i = end; i-- > first;) {
                const BandColumn& c = band.columns[i];
                area.Step('L', x(c.at), panel.Y(Shown(c.min, band.quantity, fahrenheit)));
            }
            area.Put("Z");
        }
        // Appended piece by piece: the paths are most of the chart.
        for (const auto& [kind, path] : {std::pair{"band ", &area}, std::pair{"line ", &line}}) {
            if (path->Text().empty() && path == &area)
                continue;
            svg += "<path class=\"";
            svg += kind;
            svg += sensor;
            svg += "\" d=\"";
            svg += path->Text();
            svg += "\"/>";
        }
    }
    svg += "<rect class=\"frame\" x=\"" + Number(Left) + "\" y=\"" + Number(panel.top) + "\" width=\"" +
           Number(Width - Left - Right) + "\" height=\"" + Number(panel.height) + "\"/></g>";
}

Panel PanelFor(std::span<const BandSeries> series, ChartQuantity::Kind kind, double top, double height,
               bool fahrenheit, ValueTicks& ticks) {
    double low = std::numeric_limits<double>::infinity(), high = -low;
    for (const BandSeries& band : series)
        if (band.quantity.kind == kind)
            for (const BandColumn& c : band.columns) {
                low = std::min(low, Shown(c.min, band.quantity, fahrenheit));
                high = std::max(high, Shown(c.max, band.quantity, fahrenheit));
            }
    if (!(low <= high)) {
        low = kind == ChartQuantity::Humidity ? 0 : 0;
        high = kind == ChartQuantity::Humidity ? 100 : 30;
    }
    if (high - low < (kind == ChartQuantity::Humidity ? 10 : 2)) {
        const double middle = (low + high) / 2, half = kind == ChartQuantity::Humidity ? 5 : 1;
        low = middle - half;
        high = middle + half;
    }
    ticks = ChooseValueTicks(low, high, kind == ChartQuantity::Humidity ? 4 : 6);
    return {top, height, ticks.low, ticks.high};
}

} // namespace

std::string Escaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    return out;
}

std::string SvgChart(std::span<const BandSeries> series, DATE from, DATE to, const SvgChartSetup& setup) {
    const ReportTexts& texts = *setup.texts;
    std::string description = texts.chartDescription;
    const auto replace = [&](const std::string& mark, const std::string& by) {
        if (const std::size_t at = description.find(mark); at != std::string::npos)
            description.replace(at, mark.size(), by);
    };
    replace("%1", CDateTime(from).Format(setup.datePattern + " %H:%M"));
    replace("%2", CDateTime(to).Format(setup.datePattern + " %H:%M"));

    std::string svg =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " +
        Number(Width) + " " + Number(Height) +
        "\" role=\"img\" aria-labelledby=\"title desc\" font-family=\"sans-serif\" "
        "font-size=\"12\">\n<title id=\"title\">" +
        Escaped(setup.title) + "</title>\n<desc id=\"desc\">" + Escaped(description) +
        "</desc>\n"
        "<style>\n"
        "text{fill:#333}.value{text-anchor:end}.tick{text-anchor:middle}.axis-title{font-weight:bold}\n"
        ".grid{stroke:#ddd;stroke-width:1}.frame{fill:none;stroke:#999}.gap{fill:none}\n"
        ".band{stroke:none;opacity:.28}.line{fill:none;stroke-width:1.6;stroke-linejoin:round;"
        "stroke-linecap:round}\n"
        ".band.s0{fill:#d9480f}.line.s0,.key.s0{stroke:#d9480f}.band.s1{fill:#1971c2}"
        ".line.s1,.key.s1{stroke:#1971c2}\n"
        ".band.s2{fill:#2f9e44}.line.s2,.key.s2{stroke:#2f9e44}.band.s3{fill:#9c36b5}"
        ".line.s3,.key.s3{stroke:#9c36b5}\n"
        ".band.s4{fill:#c2255c}.line.s4,.key.s4{stroke:#c2255c}.band.s5{fill:#0c8599}"
        ".line.s5,.key.s5{stroke:#0c8599}\n"
        ".key{stroke-width:4;stroke-linecap:round}\n"
        "@media (prefers-color-scheme: dark){text{fill:#ddd}.grid{stroke:#444}.frame{stroke:#777}\n"
        ".band.s0{fill:#ff8c42}.line.s0,.key.s0{stroke:#ff8c42}.band.s1{fill:#6cb4ff}"
        ".line.s1,.key.s1{stroke:#6cb4ff}\n"
        ".band.s2{fill:#69db7c}.line.s2,.key.s2{stroke:#69db7c}.band.s3{fill:#da77f2}"
        ".line.s3,.key.s3{stroke:#da77f2}\n"
        ".band.s4{fill:#f783ac}.line.s4,.key.s4{stroke:#f783ac}.band.s5{fill:#3bc9db}"
        ".line.s5,.key.s5{stroke:#3bc9db}}\n"
        "</style>\n";
    std::size_t points = 0;
    for (const BandSeries& band : series)
        points += 3 * band.columns.size();
    svg.reserve(svg.size() + 4096 + 14 * points);

    // The legend: one key per sensor that has data.
    bool present[CDataset::SensorCount] = {};
    for (const BandSeries& band : series)
        present[band.quantity.sensor] = true;
    double keyX = Left;
    for (int sensor = 0; sensor < CDataset::SensorCount; ++sensor) {
        if (!present[sensor])
            continue;
        const std::string name = SensorName(texts, sensor);
        svg += "<line class=\"key s" + std::to_string(sensor) + "\" x1=\"" + Number(keyX) + "\" x2=\"" +
               Number(keyX + 14) + "\" y1=\"8\" y2=\"8\"/><text x=\"" + Number(keyX + 20) + "\" y=\"12\">" +
               Escaped(name) + "</text>";
        keyX += 34 + 7.0 * double(name.size());
    }
    svg += "\n";

    const std::string unit = setup.fahrenheit ? "°F" : "°C";
    ValueTicks ticks;
    const Panel temperatures = PanelFor(series, ChartQuantity::Temperature, TemperatureTop + 14,
                                        TemperatureHeight - 14, setup.fahrenheit, ticks);
    AppendPanel(svg, temperatures, ticks, std::string(texts.temperature) + " (" + unit + ")", series,
                ChartQuantity::Temperature, from, to, setup.fahrenheit);
    svg += "\n";
    const Panel humidities = PanelFor(series, ChartQuantity::Humidity, HumidityTop + 14, HumidityHeight - 14,
                                      setup.fahrenheit, ticks);
    AppendPanel(svg, humidities, ticks, std::string(texts.humidity) + " (%)", series, ChartQuantity::Humidity,
                from, to, setup.fahrenheit);
    svg += "\n";

    const auto x = [&](DATE at) { return Left + (at - from) / (to - from) * (Width - Left - Right); };
    // Nine ticks: a day's window from midnight to midnight in three-hour steps.
    const TimeTicks timeTicks = ChooseTimeTicks(from, to, 9);
    for (const DATE tick : timeTicks.at) {
        const std::string at = Number(x(tick));
        for (const Panel* panel : {&temperatures, &humidities})
            svg += "<line class=\"grid\" x1=\"" + at + "\" x2=\"" + at + "\" y1=\"" + Number(panel->top) +
                   "\" y2=\"" + Number(panel->top + panel->height) + "\"/>";
        // A label at either end of the axis stays inside the chart.
        const double position = x(tick);
        const char* anchor = position > Width - Right - 30 ? " style=\"text-anchor:end\""
                             : position < Left + 20        ? " style=\"text-anchor:start\""
                                                           : "";
        svg += "<text class=\"tick\"" + std::string(anchor) + " x=\"" + at + "\" y=\"" + Number(AxisLabels) +
               "\">" + Escaped(TickLabel(tick, timeTicks.step, setup)) + "</text>";
    }
    svg += "\n</svg>\n";
    return svg;
}
