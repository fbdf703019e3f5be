#include "ui/ChartPanel.h"

#include "log/Logger.h"
#include "settings/Options.h"
#include "ui/ChartView.h"
#include "ui/HistoryAccess.h"
#include "ui/NotificationEvent.h"
#include "ui/OptionsChange.h"

#include <QBuffer>
#include <QChart>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QFileDialog>
#include <QGraphicsLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMenu>
#include <QSaveFile>
#include <QSvgGenerator>
#include <QToolButton>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace {

// One colour per sensor; temperatures are drawn strong, humidities thin and pale in the same
// colour (dashes would turn to noise where a year of datasets zigzags). Where the lines are
// dense, about a point per pixel column, they are drawn one pixel wide without antialiasing: it
// looks the same there and paints several times faster.
const QColor SensorColours[CDataset::SensorCount] = {QColor(0xc0, 0x39, 0x2b), QColor(0x1f, 0x6f, 0xb5),
                                                     QColor(0x2e, 0x8b, 0x3e), QColor(0xe0, 0x8a, 0x00),
                                                     QColor(0x8e, 0x44, 0xad), QColor(0x16, 0x9c, 0x9c)};

QPen PenFor(const ChartQuantity& quantity, bool dense) {
    QColor colour = SensorColours[std::clamp(quantity.sensor, 0, CDataset::SensorCount - 1)];
    if (quantity.kind == ChartQuantity::Temperature)
        return QPen(colour, dense ? 1.0 : 2.0);
    colour.setAlpha(dense ? 110 : 130);
    return QPen(colour, dense ? 1.0 : 1.2);
}

// The same wall-clock time a month or a year earlier; the day is kept inside the month.
DATE MonthsBefore(DATE date, int months) {
    CDateTime::Fields fields;
    if (!CDateTime(date).GetFields(fields))
        return date - months * 30.44;
    int month = fields.year * 12 + (fields.month - 1) - months;
    fields.year = month / 12;
    fields.month = month % 12 + 1;
    static constexpr int Days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (fields.year % 4 == 0 && fields.year % 100 != 0) || fields.year % 400 == 0;
    const int days = fields.month == 2 && !leap ? 28 : Days[fields.month - 1];
    fields.day = std::min(fields.day, days);
    return IsValidDateFields(fields) ? DateFromFields(fields) : date - months * 30.44;
}

DATE RangeStart(DATE last, CChartPanel::Range range) {
    switch (range) {
    case CChartPanel::LastDay:
        return last - 1;
    case CChartPanel::LastWeek:
        return last - 7;
    case CChartPanel::LastMonth:
        return MonthsBefore(last, 1);
    case CChartPanel::LastYear:
        return MonthsBefore(last, 12);
    case CChartPanel::All:
        break;
    }
    return last;
}

// The values of the lines of one kind inside the window.
std::optional<std::pair<float, float>> Extent(const std::vector<ChartLine>& lines,
                                              const std::vector<ChartQuantity>& quantities,
                                              ChartQuantity::Kind kind, DATE from, DATE to) {
    std::optional<std::pair<float, float>> extent;
    for (std::size_t q = 0; q < lines.size(); ++q) {
        if (quantities[q].kind != kind)
            continue;
        for (const ChartPoint& p : lines[q].points) {
            if (p.x < from || p.x > to)
                continue;
            if (!extent)
                extent = std::pair(p.y, p.y);
            extent->first = std::min(extent->first, p.y);
            extent->second = std::max(extent->second, p.y);
        }
    }
    return extent;
}

CLogger& Log() {
    return CLogger::Instance();
}

} // namespace

CChartPanel::CChartPanel(HistoryAccess& history, QWidget* parent)
    : QWidget(parent), m_history(history), m_chart(new QChart), m_view(new CChartView(m_chart, this)),
      m_timeAxis(new QDateTimeAxis), m_temperatureAxis(new QValueAxis), m_humidityAxis(new QValueAxis) {
    m_chart->addAxis(m_timeAxis, Qt::AlignBottom);
    m_chart->addAxis(m_temperatureAxis, Qt::AlignLeft);
    m_chart->addAxis(m_humidityAxis, Qt::AlignRight);
    m_humidityAxis->setGridLineVisible(false);
    m_humidityAxis->setLabelFormat(QStringLiteral("%.0f"));
    m_temperatureAxis->setLabelFormat(QStringLiteral("%.1f"));
    m_chart->legend()->setAlignment(Qt::AlignBottom);
    m_chart->setMargins(QMargins(6, 6, 6, 6));
    m_chart->layout()->setContentsMargins(0, 0, 0, 0);
    m_chart->setBackgroundRoundness(0);

    BuildControls();

    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setInterval(0);
    connect(&m_refreshTimer, &QTimer::timeout, this, &CChartPanel::Refresh);

    connect(m_view, &CChartView::ZoomRequested, this, &CChartPanel::ZoomAt);
    connect(m_view, &CChartView::SpanRequested, this, &CChartPanel::ShowSpan);
    connect(m_view, &CChartView::PanRequested, this, &CChartPanel::Pan);
    connect(m_view, &CChartView::WholeHistoryRequested, this, &CChartPanel::ShowWholeHistory);
    connect(m_view, &CChartView::ContextMenuRequested, this, &CChartPanel::ShowContextMenu);

    BuildSeries();
}

CChartPanel::~CChartPanel() = default;

void CChartPanel::BuildControls() {
    m_rangeLabel = new QLabel(this);
    m_rangeBox = new QComboBox(this);
    m_rangeBox->setObjectName(QStringLiteral("range"));
    m_wholeButton = new QToolButton(this);
    m_wholeButton->setObjectName(QStringLiteral("wholeHistory"));
    m_saveButton = new QToolButton(this);
    m_saveButton->setObjectName(QStringLiteral("saveChart"));
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status"));

    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(6, 4, 6, 0);
    bar->addWidget(m_rangeLabel);
    bar->addWidget(m_rangeBox);
    bar->addWidget(m_wholeButton);
    bar->addSpacing(12);
    bar->addWidget(m_saveButton);
    bar->addSpacing(12);
    bar->addWidget(m_status, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addLayout(bar);
    layout->addWidget(m_view, 1);

    connect(m_rangeBox, &QComboBox::activated, this, [this](int index) { SetRange(Range(index)); });
    connect(m_wholeButton, &QToolButton::clicked, this, &CChartPanel::ShowWholeHistory);
    connect(m_saveButton, &QToolButton::clicked, this, &CChartPanel::OnSaveChart);
}

void CChartPanel::ApplyTexts() {
    m_rangeLabel->setText(m_texts.range);
    const int index = int(m_range);
    m_rangeBox->clear();
    m_rangeBox->addItems(m_texts.ranges);
    while (m_rangeBox->count() < All + 1) // a text file without the list still offers every range
        m_rangeBox->addItem(QString::number(m_rangeBox->count() + 1));
    m_rangeBox->setCurrentIndex(index);
    m_rangeBox->setToolTip(m_texts.rangesTip);
    m_wholeButton->setText(m_texts.wholeHistory);
    m_wholeButton->setToolTip(m_texts.wholeHistoryTip);
    m_saveButton->setText(m_texts.save);
    m_saveButton->setToolTip(m_texts.saveTip);
    m_view->setToolTip(m_texts.hint);
    m_temperatureAxis->setTitleText(m_texts.TemperatureAxisTitle());
    m_humidityAxis->setTitleText(m_texts.humidityAxis);
    for (std::size_t q = 0; q < m_series.size(); ++q)
        for (QLineSeries* series : m_series[q].series)
            series->setName(m_texts.SeriesName(m_quantities[q]));
}

void CChartPanel::BuildSeries() {
    COptionsImpl& options = Options();
    m_fahrenheit = options.UsesFahrenheit();
    m_texts = ChartTexts::Load(options.GetLanguageID(), m_fahrenheit);
    if (ChartQuantities(options.GetNrOfTransmitters()) != m_quantities || m_series.empty())
        MakeSeries();
    ApplyTexts();
    m_status->clear();
    Refresh();
}

void CChartPanel::MakeSeries() {
    m_chart->removeAllSeries();
    m_series.clear();
    m_quantities = ChartQuantities(Options().GetNrOfTransmitters());
    m_series.resize(m_quantities.size());
    for (std::size_t q = 0; q < m_quantities.size(); ++q)
        AddSegment(q);
}

QLineSeries* CChartPanel::AddSegment(std::size_t quantity) {
    auto* series = new QLineSeries;
    series->setName(m_texts.SeriesName(m_quantities[quantity]));
    series->setPen(PenFor(m_quantities[quantity], m_dense));
    m_chart->addSeries(series);
    series->attachAxis(m_timeAxis);
    series->attachAxis(m_quantities[quantity].kind == ChartQuantity::Temperature ? m_temperatureAxis
                                                                                 : m_humidityAxis);
    if (!m_series[quantity].series.empty())
        for (QLegendMarker* marker : m_chart->legend()->markers(series))
            marker->setVisible(false);
    m_series[quantity].series.push_back(series);
    return series;
}

int CChartPanel::Buckets() const {
    const double plot = m_chart->plotArea().width();
    return std::max(200, int(plot > 0 ? plot : m_view->width() - 120));
}

void CChartPanel::Invalidate() {
    m_dirty = true;
    if (isVisible())
        m_refreshTimer.start();
}

void CChartPanel::Refresh() {
    m_dirty = false;
    m_refreshTimer.stop();
    if (ChartQuantities(Options().GetNrOfTransmitters()) != m_quantities) {
        MakeSeries();
        ApplyTexts();
    }
    const int buckets = Buckets();
    try {
        m_history.ReadDisplayed([&](std::span<const CDataset> datasets) {
            m_span = HistorySpan(datasets);
            // Another file without anything in the zoomed window: back to the chosen range.
            if (m_span && m_manual && (m_to < m_span->first || m_from > m_span->last))
                m_manual = false;
            if (m_span && !m_manual)
                WindowForRange(*m_span);
            BuildChartLines(datasets, m_quantities, {m_from, m_to, buckets}, m_lines);
        });
    } catch (const std::exception& e) {
        Log().Log(10, "%s", e.what());
        m_span.reset();
    }
    if (!m_span) {
        for (ChartLine& line : m_lines)
            line.Clear();
        m_manual = false;
    }
    // Every axis change maps all points again: change the axes while the series are empty.
    for (Line& line : m_series)
        for (QLineSeries* series : line.series)
            if (series->count() != 0)
                series->clear();
    ApplyAxes();
    ApplyLines();
}

void CChartPanel::WindowForRange(const ChartSpan& span) {
    DATE from = m_range == All ? span.first : std::max(span.first, RangeStart(span.last, m_range));
    DATE to = span.last;
    if (to - from < MinimumWidth) {
        const DATE middle = (from + to) / 2;
        from = middle - MinimumWidth / 2;
        to = middle + MinimumWidth / 2;
    }
    m_from = from;
    m_to = to;
}

void CChartPanel::ApplyLines() {
    std::size_t densest = 0;
    for (const ChartLine& line : m_lines)
        densest = std::max(densest, line.points.size());
    const bool dense = densest > std::size_t(Buckets());
    if (dense != m_dense) {
        m_dense = dense;
        m_view->setRenderHint(QPainter::Antialiasing, !dense);
        for (std::size_t q = 0; q < m_series.size(); ++q)
            for (QLineSeries* series : m_series[q].series)
                series->setPen(PenFor(m_quantities[q], dense));
    }
    QList<QPointF> points;
    for (std::size_t q = 0; q < m_quantities.size(); ++q) {
        const ChartLine& line = m_lines.size() > q ? m_lines[q] : ChartLine();
        const bool convert = m_fahrenheit && m_quantities[q].kind == ChartQuantity::Temperature;
        const std::size_t runs = std::min(line.RunCount(), MaxRuns);
        while (m_series[q].series.size() < runs)
            AddSegment(q);
        for (std::size_t s = 0; s < m_series[q].series.size(); ++s) {
            points.clear();
            if (s < runs) {
                // The last segment takes every run beyond the limit.
                const std::size_t end = s + 1 == runs ? line.RunCount() : s + 1;
                for (std::size_t r = s; r < end; ++r)
                    for (const ChartPoint& p : line.Run(r))
                        points.append(
                            QPointF(double(m_clock.ToMsecs(p.x)), convert ? ToFahrenheit(p.y) : p.y));
            }
            if (!points.isEmpty())
                m_series[q].series[s]->replace(points);
        }
    }
}

void CChartPanel::ApplyAxes() {
    m_chart->setTitle(m_span ? QString() : m_texts.noData);
    const std::string dateTime = Options().GetDateTimeFormat();
    const std::string date = dateTime.substr(0, dateTime.find(' '));
    // Over more than a few days the time of day says nothing on a label.
    m_timeAxis->setFormat(QtDateTimeFormat(m_to - m_from > 3 ? date : dateTime));
    const QFontMetrics metrics(m_timeAxis->labelsFont());
    const int label = metrics.horizontalAdvance(m_timeAxis->format()) + 40;
    m_timeAxis->setTickCount(std::clamp(Buckets() / std::max(label, 60), 2, 12));
    m_timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(m_clock.ToMsecs(m_from)),
                         QDateTime::fromMSecsSinceEpoch(m_clock.ToMsecs(m_to)));

    auto toUnit = [&](float celsius) {
        return m_fahrenheit ? double(ToFahrenheit(celsius)) : double(celsius);
    };
    const auto temperature = Extent(m_lines, m_quantities, ChartQuantity::Temperature, m_from, m_to);
    double low = toUnit(0), high = toUnit(30);
    if (temperature) {
        low = toUnit(temperature->first);
        high = toUnit(temperature->second);
        const double pad = std::max(0.5, (high - low) * 0.05);
        low -= pad;
        high += pad;
    }
    m_temperatureAxis->setRange(low, high);
    m_temperatureAxis->applyNiceNumbers();
    m_temperatureAxis->setLabelFormat(m_temperatureAxis->max() - m_temperatureAxis->min() < 5
                                          ? QStringLiteral("%.1f")
                                          : QStringLiteral("%.0f"));

    const auto humidity = Extent(m_lines, m_quantities, ChartQuantity::Humidity, m_from, m_to);
    double humidityLow = 0, humidityHigh = 100;
    if (humidity) {
        humidityLow = std::min(0.0, double(humidity->first));
        humidityHigh = std::max(100.0, double(humidity->second));
    }
    m_humidityAxis->setRange(humidityLow, humidityHigh);
    m_humidityAxis->setTickCount(humidityLow == 0 && humidityHigh == 100 ? 6 : 5);
    if (humidityLow != 0 || humidityHigh != 100)
        m_humidityAxis->applyNiceNumbers();
}

void CChartPanel::SetWindow(DATE from, DATE to, bool manual) {
    if (m_span) {
        const DATE first = m_span->first, last = m_span->last;
        const DATE whole = std::max(last - first, MinimumWidth);
        DATE width = std::clamp(to - from, MinimumWidth, whole);
        if (to - from > whole) {
            from = (first + last - width) / 2;
        } else if (to - from < MinimumWidth) {
            from = (from + to - width) / 2;
        }
        to = from + width;
        // Keep the window on the history.
        if (width <= last - first) {
            if (from < first) {
                from = first;
                to = first + width;
            } else if (to > last) {
                to = last;
                from = last - width;
            }
        }
    }
    m_from = from;
    m_to = to;
    m_manual = manual;
    Invalidate();
    if (!isVisible())
        Refresh();
}

void CChartPanel::SetRange(Range range) {
    m_range = range;
    m_rangeBox->setCurrentIndex(int(range));
    m_manual = false;
    Refresh();
}

void CChartPanel::ShowWholeHistory() {
    SetRange(All);
}

void CChartPanel::ZoomAt(double at, double factor) {
    const DATE width = m_to - m_from;
    const DATE pivot = m_from + at * width;
    const DATE newWidth = width * factor;
    SetWindow(pivot - at * newWidth, pivot - at * newWidth + newWidth, true);
}

void CChartPanel::ShowSpan(double from, double to) {
    const DATE width = m_to - m_from;
    SetWindow(m_from + from * width, m_from + to * width, true);
}

void CChartPanel::Pan(double by) {
    const DATE shift = by * (m_to - m_from);
    SetWindow(m_from + shift, m_to + shift, true);
}

std::vector<QLineSeries*> CChartPanel::SeriesOf(std::size_t quantity) const {
    std::vector<QLineSeries*> series;
    if (quantity < m_series.size())
        for (QLineSeries* s : m_series[quantity].series)
            if (s->count() > 0)
                series.push_back(s);
    return series;
}

QString CChartPanel::StatusText() const {
    return m_status->text();
}

bool CChartPanel::SaveChart(const QString& file) {
    if (m_dirty)
        Refresh();
    QByteArray bytes;
    QString reason;
    const QSize size = m_view->size().isEmpty() ? QSize(1200, 700) : m_view->size();
    if (file.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QSvgGenerator generator;
        generator.setOutputDevice(&buffer);
        generator.setSize(size);
        generator.setViewBox(QRect(QPoint(0, 0), size));
        generator.setTitle(m_texts.TemperatureAxisTitle());
        QPainter painter;
        if (!painter.begin(&generator)) {
            reason = QStringLiteral("no SVG painter");
        } else {
            m_view->render(&painter, QRectF(QPointF(0, 0), size), QRect(QPoint(0, 0), size));
            painter.end();
        }
    } else {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter painter(&image);
        m_view->render(&painter, QRectF(QPointF(0, 0), size), QRect(QPoint(0, 0), size));
        painter.end();
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, "PNG"))
            reason = QStringLiteral("PNG encoding failed");
    }
    if (reason.isEmpty()) {
        QSaveFile out(file);
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit())
            reason = out.errorString();
    }
    if (reason.isEmpty()) {
        m_status->clear();
        Log().Log(30, "Chart saved to %s", file.toUtf8().constData());
        return true;
    }
    m_status->setText(m_texts.SaveFailedText(file));
    Log().Log(10, "Saving the chart to %s failed: %s", file.toUtf8().constData(),
              reason.toUtf8().constData());
    return false;
}

void CChartPanel::OnSaveChart() {
    QString file;
    if (m_chooser) {
        file = m_chooser(*this);
    } else {
        const QString png = m_texts.pngFiles + QStringLiteral(" (*.png)");
        const QString svg = m_texts.svgFiles + QStringLiteral(" (*.svg)");
        QString selected = png;
        QString title = m_texts.save;
        while (title.endsWith(QLatin1Char('.')))
            title.chop(1);
        file = QFileDialog::getSaveFileName(this, title, QStringLiteral("chart.png"),
                                            png + QStringLiteral(";;") + svg, &selected);
        if (!file.isEmpty() && QFileInfo(file).suffix().isEmpty())
            file += selected == svg ? QStringLiteral(".svg") : QStringLiteral(".png");
    }
    if (!file.isEmpty())
        SaveChart(file);
}

void CChartPanel::ShowContextMenu(const QPoint& globalPos) {
    QMenu menu(this);
    for (int range = LastDay; range <= All; ++range) {
        QAction* action =
            menu.addAction(m_rangeBox->itemText(range), this, [this, range] { SetRange(Range(range)); });
        action->setCheckable(true);
        action->setChecked(!m_manual && m_range == range);
    }
    menu.addSeparator();
    menu.addAction(m_texts.wholeHistory, this, &CChartPanel::ShowWholeHistory);
    menu.addAction(m_texts.save, this, &CChartPanel::OnSaveChart);
    menu.exec(globalPos);
}

bool CChartPanel::event(QEvent* event) {
    if (event->type() != NotificationEvent::EventType())
        return QWidget::event(event);
    const auto* notification = static_cast<NotificationEvent*>(event);
    try {
        switch (notification->message()) {
        case Message::UpdateView:
            if (notification->wParam() & (OptionsChange::Language | OptionsChange::Format))
                BuildSeries();
            else if (notification->wParam() & OptionsChange::HistoryFile)
                Invalidate();
            break;
        case Message::RecordingHistoryChanged:
        case Message::NrOfTransmittersChanged:
            Invalidate();
            break;
        default:
            break;
        }
    } catch (const std::exception& e) {
        Log().Log(10, "%s", e.what());
    }
    return true;
}

void CChartPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_dirty)
        m_refreshTimer.start();
}

void CChartPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Invalidate(); // one bucket per pixel column
}
