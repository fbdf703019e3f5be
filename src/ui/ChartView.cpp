#include "ui/ChartView.h"

#include "history/TimeTicks.h"
#include "history/ValueTicks.h"

#include <QDate>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRubberBand>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

constexpr double Margin = 8;
constexpr double Gap = 10;          // between the two panels
constexpr double Swatch = 10;       // a legend entry's colour square
constexpr double PointerReach = 12; // pixels within which the label takes a series' point
constexpr double TemperatureShare = 0.58;

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// A tick names what it passes, as the web report's axis does: a midnight its day, the first of
// January its year, other months their short names in the options' language (the axis's first
// with its year, so a window without a January still says which year it shows).
QString TickLabel(DATE at, const TimeStep& step, const ChartPicture& picture, bool first) {
    const TimeUnit unit = TickNames(at, step);
    if (unit == TimeUnit::Month) {
        CDateTime::Fields fields;
        if (CDateTime(at).GetFields(fields))
            return picture.locale.monthName(fields.month, QLocale::ShortFormat) +
                   (first ? QStringLiteral(" %1").arg(fields.year) : QString());
    }
    return FromUtf8(CDateTime(at).Format(TimeTickPattern(unit, picture.dateTimePattern)));
}

QString ValueText(const ChartPicture& picture, float value, bool humidity) {
    return QString::number(double(value), 'f', 1) + QLatin1Char(' ') +
           (humidity ? QStringLiteral("%") : picture.temperatureUnit);
}

} // namespace

CChartView::CChartView(QWidget* parent)
    : QWidget(parent), m_band(new QRubberBand(QRubberBand::Rectangle, this)) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(320, 240);
    m_band->hide();
}

void CChartView::SetPicture(ChartPicture picture) {
    m_picture = std::move(picture);
    Arrange();
    m_cache = QPixmap();
    update();
}

QRectF CChartView::TemperaturePlot() const {
    return m_layout.temperaturePlot;
}

QRectF CChartView::HumidityPlot() const {
    return m_layout.humidityPlot;
}

QRectF CChartView::LegendEntry(std::size_t series) const {
    return series < m_layout.legend.size() ? m_layout.legend[series] : QRectF();
}

double CChartView::LegendHeight(bool humidity, double left, double width,
                                std::vector<QRectF>* entries) const {
    const QFontMetricsF metrics(font());
    const double line = metrics.height() + 4;
    QFont bold = font();
    bold.setBold(true);
    const QString& title = humidity ? m_picture.humidityTitle : m_picture.temperatureTitle;
    double x = left + QFontMetricsF(bold).horizontalAdvance(title) + 16;
    double y = 0;
    for (std::size_t s = 0; s < m_picture.series.size(); ++s) {
        if (m_picture.series[s].humidity != humidity)
            continue;
        const double entry = Swatch + 5 + metrics.horizontalAdvance(m_picture.series[s].name) + 14;
        if (x + entry > left + width && x > left) {
            x = left;
            y += line;
        }
        if (entries)
            (*entries)[s] = QRectF(x, y, entry - 10, line);
        x += entry;
    }
    return y + line;
}

void CChartView::Arrange() {
    const QFontMetricsF metrics(font());
    const double left = Margin + metrics.horizontalAdvance(QStringLiteral("-188.8")) + 6;
    const double right = width() - Margin - 4;
    const double plotWidth = std::max(10.0, right - left);
    const double axis = 2 * metrics.height() + 8; // time labels, with the date under the first

    m_layout.legend.assign(m_picture.series.size(), QRectF());
    std::vector<QRectF> entries(m_picture.series.size());
    const double temperatureHeader = LegendHeight(false, Margin, width() - 2 * Margin, &entries);
    std::vector<QRectF> humidityEntries(m_picture.series.size());
    const double humidityHeader = LegendHeight(true, Margin, width() - 2 * Margin, &humidityEntries);
    const double plots =
        std::max(40.0, height() - 2 * Margin - temperatureHeader - humidityHeader - Gap - axis);
    const double top = Margin;
    m_layout.temperatureHeader = QRectF(Margin, top, width() - 2 * Margin, temperatureHeader);
    m_layout.temperaturePlot = QRectF(left, top + temperatureHeader, plotWidth, plots * TemperatureShare);
    m_layout.humidityHeader =
        QRectF(Margin, m_layout.temperaturePlot.bottom() + Gap, width() - 2 * Margin, humidityHeader);
    m_layout.humidityPlot =
        QRectF(left, m_layout.humidityHeader.bottom(), plotWidth, plots * (1 - TemperatureShare));
    for (std::size_t s = 0; s < m_picture.series.size(); ++s) {
        const bool humidity = m_picture.series[s].humidity;
        const QRectF& header = humidity ? m_layout.humidityHeader : m_layout.temperatureHeader;
        m_layout.legend[s] = (humidity ? humidityEntries : entries)[s].translated(0, header.top());
    }
}

void CChartView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Arrange();
    m_cache = QPixmap();
}

double CChartView::XOf(DATE date) const {
    const QRectF& plot = m_layout.temperaturePlot;
    const double from = LinearDays(m_picture.from), to = LinearDays(m_picture.to);
    if (!(to > from))
        return plot.center().x();
    return plot.left() + (LinearDays(date) - from) / (to - from) * plot.width();
}

DATE CChartView::DateAt(double x) const {
    const QRectF& plot = m_layout.temperaturePlot;
    const double from = LinearDays(m_picture.from), to = LinearDays(m_picture.to);
    const double part = plot.width() > 0 ? (x - plot.left()) / plot.width() : 0.5;
    return FromLinearDays(from + part * (to - from));
}

ValueTicks CChartView::PanelTicks(bool humidity) const {
    const QRectF& plot = humidity ? m_layout.humidityPlot : m_layout.temperaturePlot;
    const int most = std::clamp(int(plot.height() / (QFontMetricsF(font()).height() * 1.8)), 2, 10);
    return humidity ? ChooseValueTicks(m_picture.humidityLow, m_picture.humidityHigh, most)
                    : ChooseValueTicks(m_picture.temperatureLow, m_picture.temperatureHigh, most);
}

double CChartView::YOf(bool humidity, double value) const {
    const QRectF& plot = humidity ? m_layout.humidityPlot : m_layout.temperaturePlot;
    const ValueTicks ticks = PanelTicks(humidity);
    // The same mapping as the panel's lines.
    return plot.bottom() - (value - ticks.low) / (ticks.high - ticks.low) * plot.height();
}

double CChartView::Fraction(const QPointF& pos) const {
    const QRectF& plot = m_layout.temperaturePlot;
    return plot.width() > 0 ? (pos.x() - plot.left()) / plot.width() : 0.5;
}

bool CChartView::OverPlots(const QPointF& pos) const {
    return pos.x() >= m_layout.temperaturePlot.left() && pos.x() <= m_layout.temperaturePlot.right() &&
           pos.y() >= m_layout.temperaturePlot.top() && pos.y() <= m_layout.humidityPlot.bottom();
}

void CChartView::PaintChart(QPainter& painter) const {
    painter.fillRect(rect(), palette().base());
    painter.setRenderHint(QPainter::Antialiasing);
    PaintPanel(painter, false);
    PaintPanel(painter, true);
    PaintTimeAxis(painter);
    PaintLegend(painter);
    if (!m_picture.message.isEmpty()) {
        QFont large = font();
        large.setPointSizeF(large.pointSizeF() * 1.3);
        painter.setFont(large);
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(m_layout.temperaturePlot.united(m_layout.humidityPlot), Qt::AlignCenter,
                         m_picture.message);
    }
}

void CChartView::paintEvent(QPaintEvent*) {
    // The pointer moves often: the chart under it is painted once per picture and size.
    const qreal ratio = devicePixelRatioF();
    if (m_cache.isNull() || m_cache.size() != size() * ratio) {
        m_cache = QPixmap(size() * ratio);
        m_cache.setDevicePixelRatio(ratio);
        QPainter cache(&m_cache);
        PaintChart(cache);
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_cache);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_picture.message.isEmpty())
        PaintCrosshair(painter);
}

void CChartView::PaintPanel(QPainter& painter, bool humidity) const {
    const QRectF plot = humidity ? m_layout.humidityPlot : m_layout.temperaturePlot;
    const QColor text = palette().color(QPalette::Text);
    QColor grid = text;
    grid.setAlpha(35);
    const QFontMetricsF metrics(font());
    const ValueTicks ticks = PanelTicks(humidity);
    const auto yOf = [&](double value) {
        return plot.bottom() - (value - ticks.low) / (ticks.high - ticks.low) * plot.height();
    };
    painter.setFont(font());
    for (const double at : ticks.At()) {
        const double y = yOf(at);
        painter.setPen(QPen(grid, 1));
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        painter.setPen(text);
        painter.drawText(QRectF(0, y - metrics.height() / 2, plot.left() - 6, metrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter, QLocale::c().toString(at, 'f', ticks.Decimals()));
    }
    painter.setPen(QPen(grid.darker(), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(plot);

    painter.save();
    painter.setClipRect(plot.adjusted(0, -1, 0, 1));
    for (const ChartPicture::Series& series : m_picture.series) {
        if (series.humidity != humidity || !series.visible)
            continue;
        const ChartLine& line = series.line;
        for (std::size_t r = 0; r < line.RunCount(); ++r) {
            const std::span<const ChartPoint> run = line.Run(r);
            if (std::any_of(run.begin(), run.end(), [](const ChartPoint& p) { return p.low != p.high; })) {
                QPainterPath band;
                band.moveTo(XOf(run.front().x), yOf(run.front().high));
                for (const ChartPoint& p : run)
                    band.lineTo(XOf(p.x), yOf(p.high));
                for (auto p = run.rbegin(); p != run.rend(); ++p)
                    band.lineTo(XOf(p->x), yOf(p->low));
                band.closeSubpath();
                QColor fill = series.colour;
                fill.setAlpha(humidity ? 45 : 60);
                painter.fillPath(band, fill);
            }
            const QPen pen(series.colour, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
            if (run.size() == 1) {
                painter.setPen(Qt::NoPen);
                painter.setBrush(series.colour);
                painter.drawEllipse(QPointF(XOf(run.front().x), yOf(run.front().y)), 1.8, 1.8);
                continue;
            }
            QPainterPath path;
            path.moveTo(XOf(run.front().x), yOf(run.front().y));
            for (const ChartPoint& p : run.subspan(1))
                path.lineTo(XOf(p.x), yOf(p.y));
            painter.strokePath(path, pen);
        }
    }
    painter.restore();
}

void CChartView::PaintTimeAxis(QPainter& painter) const {
    const QRectF top = m_layout.temperaturePlot, bottom = m_layout.humidityPlot;
    const QFontMetricsF metrics(font());
    const QColor text = palette().color(QPalette::Text);
    QColor grid = text;
    grid.setAlpha(35);
    // Room for the widest label of the pattern, measured on a sample date.
    const QString sample =
        TickLabel(CDateTime(2024, 12, 28, 23, 58, 0).Value(), TimeStep{TimeUnit::Day, 1}, m_picture, true);
    const int most = std::max(2, int(top.width() / (metrics.horizontalAdvance(sample) + 24)));
    const TimeTicks ticks = ChooseTimeTicks(m_picture.from, m_picture.to, most);
    const bool withinDays = ticks.step.unit == TimeUnit::Minute || ticks.step.unit == TimeUnit::Hour;
    std::string lastDay;
    for (const DATE at : ticks.at) {
        const double x = XOf(at);
        painter.setPen(QPen(grid, 1));
        painter.drawLine(QPointF(x, top.top()), QPointF(x, top.bottom()));
        painter.drawLine(QPointF(x, bottom.top()), QPointF(x, bottom.bottom()));
        painter.setPen(text);
        const QRectF label(x - 80, bottom.bottom() + 3, 160, metrics.height());
        painter.drawText(label, Qt::AlignHCenter | Qt::AlignTop,
                         TickLabel(at, ticks.step, m_picture, at == ticks.at.front()));
        if (withinDays) {
            // The date under the first tick of each day, unless that tick names it already.
            const std::string day =
                CDateTime(at).Format(TimeTickPattern(TimeUnit::Day, m_picture.dateTimePattern));
            if (day != lastDay && TickNames(at, ticks.step) != TimeUnit::Day)
                painter.drawText(label.translated(0, metrics.height()), Qt::AlignHCenter | Qt::AlignTop,
                                 FromUtf8(day));
            lastDay = day;
        }
    }
}

void CChartView::PaintLegend(QPainter& painter) const {
    QFont bold = font();
    bold.setBold(true);
    const QColor text = palette().color(QPalette::Text);
    const QFontMetricsF metrics(font());
    for (const bool humidity : {false, true}) {
        const QRectF& header = humidity ? m_layout.humidityHeader : m_layout.temperatureHeader;
        painter.setFont(bold);
        painter.setPen(text);
        painter.drawText(QRectF(header.left(), header.top(), header.width(), metrics.height() + 4),
                         Qt::AlignLeft | Qt::AlignVCenter,
                         humidity ? m_picture.humidityTitle : m_picture.temperatureTitle);
    }
    painter.setFont(font());
    for (std::size_t s = 0; s < m_picture.series.size(); ++s) {
        const ChartPicture::Series& series = m_picture.series[s];
        const QRectF entry = m_layout.legend[s];
        const QRectF swatch(entry.left(), entry.center().y() - Swatch / 2, Swatch, Swatch);
        painter.setPen(QPen(series.colour, 1.5));
        painter.setBrush(series.visible ? QBrush(series.colour) : QBrush(Qt::NoBrush));
        painter.drawRect(swatch);
        QColor label = text;
        if (!series.visible)
            label.setAlpha(110);
        painter.setPen(label);
        painter.drawText(QRectF(swatch.right() + 5, entry.top(), entry.width(), entry.height()),
                         Qt::AlignLeft | Qt::AlignVCenter, series.name);
    }
    painter.setBrush(Qt::NoBrush);
}

std::vector<std::optional<ChartPoint>> CChartView::PointsAt(DATE date) const {
    std::vector<std::optional<ChartPoint>> found(m_picture.series.size());
    const double x = XOf(date);
    for (std::size_t s = 0; s < m_picture.series.size(); ++s) {
        const ChartPicture::Series& series = m_picture.series[s];
        if (!series.visible || series.line.points.empty())
            continue;
        const std::vector<ChartPoint>& points = series.line.points;
        const auto after = std::partition_point(points.begin(), points.end(), [&](const ChartPoint& p) {
            return LinearDays(p.x) < LinearDays(date);
        });
        std::optional<ChartPoint> nearest;
        for (auto candidate : {after, after == points.begin() ? points.end() : after - 1}) {
            if (candidate == points.end())
                continue;
            const double distance = std::abs(XOf(candidate->x) - x);
            if (distance <= PointerReach && (!nearest || distance < std::abs(XOf(nearest->x) - x)))
                nearest = *candidate;
        }
        found[s] = nearest;
    }
    return found;
}

QString CChartView::ValuesAt(const QPointF& pos) const {
    if (!OverPlots(pos) || !m_picture.message.isEmpty())
        return {};
    const DATE date = DateAt(pos.x());
    const auto points = PointsAt(date);
    // The date-time of the nearest point: a dataset's own, or in a chart of days, its day.
    DATE shown = date;
    double nearest = PointerReach + 1;
    for (const auto& point : points)
        if (point && std::abs(XOf(point->x) - pos.x()) < nearest) {
            nearest = std::abs(XOf(point->x) - pos.x());
            shown = point->x;
        }
    QStringList lines{FromUtf8(
        CDateTime(shown).Format(m_picture.daily ? TimeTickPattern(TimeUnit::Day, m_picture.dateTimePattern)
                                                : m_picture.dateTimePattern))};
    for (std::size_t s = 0; s < points.size(); ++s) {
        if (!points[s])
            continue;
        const ChartPicture::Series& series = m_picture.series[s];
        QString line =
            series.name + QStringLiteral(": ") + ValueText(m_picture, points[s]->y, series.humidity);
        if (points[s]->low != points[s]->high)
            line += QStringLiteral(" (") + QString::number(double(points[s]->low), 'f', 1) +
                    QStringLiteral(" – ") + QString::number(double(points[s]->high), 'f', 1) +
                    QLatin1Char(')');
        lines.append(line);
    }
    return lines.join(QLatin1Char('\n'));
}

void CChartView::PaintCrosshair(QPainter& painter) const {
    if (!m_pointer || m_drag != Drag::None || !OverPlots(*m_pointer))
        return;
    const double x = m_pointer->x();
    QColor line = palette().color(QPalette::Text);
    line.setAlpha(120);
    painter.setPen(QPen(line, 1, Qt::DashLine));
    painter.drawLine(QPointF(x, m_layout.temperaturePlot.top()),
                     QPointF(x, m_layout.temperaturePlot.bottom()));
    painter.drawLine(QPointF(x, m_layout.humidityPlot.top()), QPointF(x, m_layout.humidityPlot.bottom()));

    const QStringList lines = ValuesAt(*m_pointer).split(QLatin1Char('\n'));
    const QFontMetricsF metrics(font());
    double widest = 0;
    for (const QString& text : lines)
        widest = std::max(widest, metrics.horizontalAdvance(text));
    const double lineHeight = metrics.height();
    QRectF box(0, 0, widest + Swatch + 18, lineHeight * lines.size() + 8);
    box.moveTopLeft(QPointF(x + 12, m_pointer->y() + 12));
    if (box.right() > width() - 2)
        box.moveRight(x - 12);
    if (box.bottom() > height() - 2)
        box.moveBottom(height() - 2);
    QColor background = palette().color(QPalette::ToolTipBase);
    background.setAlpha(235);
    painter.setPen(QPen(palette().color(QPalette::Mid), 1));
    painter.setBrush(background);
    painter.drawRoundedRect(box, 3, 3);
    painter.setPen(palette().color(QPalette::ToolTipText));
    painter.drawText(QRectF(box.left() + 6, box.top() + 4, box.width(), lineHeight),
                     Qt::AlignLeft | Qt::AlignVCenter, lines.front());
    // The series' colour beside each value, in the order ValuesAt lists them.
    const auto points = PointsAt(DateAt(x));
    int row = 1;
    for (std::size_t s = 0; s < points.size() && row < lines.size(); ++s) {
        if (!points[s])
            continue;
        const ChartPicture::Series& series = m_picture.series[s];
        const double y = box.top() + 4 + row * lineHeight;
        painter.fillRect(QRectF(box.left() + 6, y + (lineHeight - Swatch) / 2, Swatch, Swatch),
                         series.colour);
        painter.setPen(palette().color(QPalette::ToolTipText));
        painter.drawText(QRectF(box.left() + 10 + Swatch, y, box.width(), lineHeight),
                         Qt::AlignLeft | Qt::AlignVCenter, lines[row]);
        // A dot where the value is.
        painter.setBrush(series.colour);
        painter.setPen(QPen(palette().color(QPalette::Base), 1.5));
        painter.drawEllipse(QPointF(XOf(points[s]->x), YOf(series.humidity, points[s]->y)), 3.5, 3.5);
        ++row;
    }
}

void CChartView::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta == 0) {
        event->ignore();
        return;
    }
    const double notches = delta / 120.0;
    emit ZoomRequested(std::clamp(Fraction(event->position()), 0.0, 1.0), std::pow(WheelFactor, notches));
    event->accept();
}

void CChartView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        for (std::size_t s = 0; s < m_layout.legend.size(); ++s)
            if (m_layout.legend[s].contains(event->position())) {
                emit SeriesToggled(s);
                event->accept();
                return;
            }
    const bool pan = event->button() == Qt::MiddleButton ||
                     (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier));
    if (pan) {
        m_drag = Drag::Pan;
        m_dragStart = event->position();
        m_panned = 0;
        setCursor(Qt::ClosedHandCursor);
        event->accept();
        return;
    }
    if (event->button() == Qt::LeftButton && OverPlots(event->position())) {
        m_drag = Drag::Band;
        m_dragStart = event->position();
        m_band->setGeometry(
            QRect(QPoint(int(m_dragStart.x()), int(m_layout.temperaturePlot.top())),
                  QSize(1, int(m_layout.humidityPlot.bottom() - m_layout.temperaturePlot.top()))));
        m_band->show();
        update();
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void CChartView::mouseMoveEvent(QMouseEvent* event) {
    m_pointer = event->position();
    update();
    const QRectF plot = m_layout.temperaturePlot;
    if (m_drag == Drag::Pan) {
        if (plot.width() > 0) {
            // Dragging the plot to the right brings earlier times into view.
            const double total = -(event->position().x() - m_dragStart.x()) / plot.width();
            if (total != m_panned) {
                emit PanRequested(total - m_panned);
                m_panned = total;
            }
        }
        event->accept();
        return;
    }
    if (m_drag == Drag::Band) {
        const double x = std::clamp(event->position().x(), plot.left(), plot.right());
        const double left = std::min(x, m_dragStart.x()), right = std::max(x, m_dragStart.x());
        m_band->setGeometry(QRect(QPoint(int(left), int(plot.top())),
                                  QPoint(int(right), int(m_layout.humidityPlot.bottom()))));
        event->accept();
        return;
    }
    QWidget::mouseMoveEvent(event);
}

void CChartView::mouseReleaseEvent(QMouseEvent* event) {
    if (m_drag == Drag::Pan) {
        m_drag = Drag::None;
        unsetCursor();
        event->accept();
        return;
    }
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    if (m_drag == Drag::Band) {
        m_drag = Drag::None;
        m_band->hide();
        double a = Fraction(m_dragStart), b = Fraction(event->position());
        if (a > b)
            std::swap(a, b);
        a = std::clamp(a, 0.0, 1.0);
        b = std::clamp(b, 0.0, 1.0);
        // A plain click (a few pixels) is no zoom.
        if (std::abs(event->position().x() - m_dragStart.x()) >= 4 && b > a)
            emit SpanRequested(a, b);
        update();
        event->accept();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void CChartView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && OverPlots(event->position())) {
        emit WholeHistoryRequested();
        event->accept();
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}

void CChartView::contextMenuEvent(QContextMenuEvent* event) {
    emit ContextMenuRequested(event->globalPos());
    event->accept();
}

void CChartView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange) {
        Arrange();
        m_cache = QPixmap();
        update();
    }
}

void CChartView::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    m_pointer.reset();
    update();
}
