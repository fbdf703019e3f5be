#include "ui/ChartPanel.h"

#include "log/Logger.h"
#include "settings/Options.h"
#include "ui/ChartJob.h"
#include "ui/ChartView.h"
#include "ui/HistoryAccess.h"

#include <QBuffer>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QSaveFile>
#include <QSvgGenerator>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

// One colour per sensor, the same in both panels.
const QColor SensorColours[CDataset::SensorCount] = {QColor(0xc0, 0x39, 0x2b), QColor(0x1f, 0x6f, 0xb5),
                                                     QColor(0x2e, 0x8b, 0x3e), QColor(0xe0, 0x8a, 0x00),
                                                     QColor(0x8e, 0x44, 0xad), QColor(0x16, 0x9c, 0x9c)};

// The band of the shown series of one panel inside the window.
std::optional<std::pair<float, float>> Extent(const ChartPicture& picture, bool humidity) {
    std::optional<std::pair<float, float>> extent;
    for (const ChartPicture::Series& series : picture.series) {
        if (series.humidity != humidity || !series.visible)
            continue;
        for (const ChartPoint& p : series.line.points) {
            if (p.x < picture.from || p.x > picture.to)
                continue;
            if (!extent)
                extent = std::pair(p.low, p.high);
            extent->first = std::min(extent->first, p.low);
            extent->second = std::max(extent->second, p.high);
        }
    }
    return extent;
}

// The language's month names for the time axis.
QLocale LocaleOf(std::uint16_t languageId) {
    switch (languageId) {
    case 1031:
        return QLocale(QLocale::German, QLocale::Germany);
    case 1036:
        return QLocale(QLocale::French, QLocale::France);
    default:
        return QLocale(QLocale::English, QLocale::UnitedKingdom);
    }
}

CLogger& Log() {
    return CLogger::Instance();
}

} // namespace

CChartPanel::CChartPanel(HistoryAccess& history, QWidget* parent)
    : QWidget(parent), m_history(history), m_view(new CChartView(this)),
      m_job(std::make_unique<ChartJob>(history, [this](ChartBuilt built, std::uint64_t number) {
          if (number == m_generation && m_building) {
              m_building = false;
              Adopt(std::move(built));
          }
      })) {
    BuildControls();

    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setInterval(0);
    connect(&m_refreshTimer, &QTimer::timeout, this, &CChartPanel::RefreshInBackground);

    connect(m_view, &CChartView::ZoomRequested, this, &CChartPanel::ZoomAt);
    connect(m_view, &CChartView::SpanRequested, this, &CChartPanel::ShowSpan);
    connect(m_view, &CChartView::PanRequested, this, &CChartPanel::Pan);
    connect(m_view, &CChartView::WholeHistoryRequested, this, &CChartPanel::ShowWholeHistory);
    connect(m_view, &CChartView::ContextMenuRequested, this, &CChartPanel::ShowContextMenu);
    connect(m_view, &CChartView::SeriesToggled, this,
            [this](std::size_t series) { SetShown(series, !IsShown(series)); });

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
    m_hint = new QLabel(this);
    m_hint->setObjectName(QStringLiteral("hint"));
    m_hint->setForegroundRole(QPalette::PlaceholderText);
    m_hint->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(6, 4, 6, 0);
    bar->addWidget(m_rangeLabel);
    bar->addWidget(m_rangeBox);
    bar->addWidget(m_wholeButton);
    bar->addSpacing(12);
    bar->addWidget(m_saveButton);
    bar->addSpacing(12);
    bar->addWidget(m_status);
    bar->addSpacing(12);
    bar->addWidget(m_hint, 1);
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
    while (m_rangeBox->count() < int(All) + 1) // a text file without the list still offers every range
        m_rangeBox->addItem(QString::number(m_rangeBox->count() + 1));
    m_rangeBox->setCurrentIndex(index);
    m_rangeBox->setToolTip(m_texts.rangesTip);
    m_wholeButton->setText(m_texts.wholeHistory);
    m_wholeButton->setToolTip(m_texts.wholeHistoryTip);
    m_saveButton->setText(m_texts.save);
    m_saveButton->setToolTip(m_texts.saveTip);
    // The hint stays in the bar: a tool tip over the plots would cover the pointer's label.
    m_hint->setText(m_texts.hint);
    m_hint->setToolTip(m_texts.hint);
}

void CChartPanel::BuildSeries() {
    m_fahrenheit = Options().UsesFahrenheit();
    m_texts = ChartTexts::Load(Options().GetLanguageID(), m_fahrenheit);
    ApplyTexts();
    m_status->clear();
    Refresh();
}

int CChartPanel::Pixels() const {
    const double plot = m_view->TemperaturePlot().width();
    return std::max(200, int(plot > 0 ? plot : m_view->width() - 70));
}

bool CChartPanel::DailyColumns() const {
    return ::DailyColumns(m_from, m_to, Pixels());
}

int CChartPanel::Buckets() const {
    return ChartBuckets(m_from, m_to, Pixels());
}

void CChartPanel::Invalidate() {
    m_dirty = true;
    ++m_generation;
    if (isVisible())
        m_refreshTimer.start();
}

ChartRequest CChartPanel::Request() const {
    return {m_range, m_manual, m_from, m_to, Pixels(), Options().GetNrOfTransmitters()};
}

void CChartPanel::Refresh() {
    m_dirty = false;
    m_building = false;
    ++m_generation;
    m_refreshTimer.stop();
    const ChartRequest request = Request();
    ChartBuilt built;
    try {
        m_history.ReadDisplayed(
            [&](std::span<const CDataset> datasets) { built = BuildChart(datasets, request); });
    } catch (const std::exception& e) {
        Log().Log(10, "%s", e.what());
        built = BuildChart({}, request);
    }
    Adopt(std::move(built));
}

void CChartPanel::RefreshInBackground() {
    m_dirty = false;
    m_building = true;
    m_job->Request(Request(), ++m_generation);
}

void CChartPanel::Adopt(ChartBuilt built) {
    m_quantities = std::move(built.quantities);
    m_span = built.span;
    m_from = built.from;
    m_to = built.to;
    m_manual = built.manual;
    m_lines = std::move(built.lines);
    ApplyPicture();
}

void CChartPanel::ApplyPicture() {
    ChartPicture picture;
    picture.from = m_from;
    picture.to = m_to;
    picture.daily = DailyColumns();
    picture.temperatureTitle = m_texts.TemperatureAxisTitle();
    picture.humidityTitle = m_texts.humidityAxis;
    picture.temperatureUnit = m_texts.unit;
    picture.message = m_span ? QString() : m_texts.noData;
    picture.dateTimePattern = Options().GetDateTimeFormat();
    picture.locale = LocaleOf(Options().GetLanguageID());
    for (std::size_t q = 0; q < m_quantities.size(); ++q) {
        const ChartQuantity& quantity = m_quantities[q];
        ChartPicture::Series series;
        series.name = m_texts.SeriesName(quantity);
        series.colour = SensorColours[std::clamp(quantity.sensor, 0, CDataset::SensorCount - 1)];
        series.humidity = quantity.kind == ChartQuantity::Humidity;
        series.visible = IsShown(q);
        if (q < m_lines.size())
            series.line = m_lines[q];
        if (m_fahrenheit && !series.humidity)
            for (ChartPoint& p : series.line.points)
                p = {p.x, ToFahrenheit(p.y), ToFahrenheit(p.low), ToFahrenheit(p.high)};
        picture.series.push_back(std::move(series));
    }

    auto toUnit = [&](float celsius) {
        return m_fahrenheit ? double(ToFahrenheit(celsius)) : double(celsius);
    };
    picture.temperatureLow = toUnit(0);
    picture.temperatureHigh = toUnit(30);
    if (const auto temperature = Extent(picture, false)) {
        const double pad = 0.3 + double(temperature->second - temperature->first) * 0.02;
        picture.temperatureLow = temperature->first - pad;
        picture.temperatureHigh = temperature->second + pad;
    }
    if (const auto humidity = Extent(picture, true)) {
        // Humidities stay on their scale: a few percent of air around them, within 0 to 100.
        picture.humidityLow = std::clamp(double(humidity->first) - 3, 0.0, 90.0);
        picture.humidityHigh =
            std::max(picture.humidityLow + 10, std::min(100.0, double(humidity->second) + 3));
    }
    m_view->SetPicture(std::move(picture));
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

const ChartLine& CChartPanel::Line(std::size_t quantity) const {
    static const ChartLine none;
    const auto& series = m_view->Picture().series;
    return quantity < series.size() ? series[quantity].line : none;
}

bool CChartPanel::IsShown(std::size_t quantity) const {
    return quantity < m_quantities.size() &&
           std::find(m_hidden.begin(), m_hidden.end(), m_quantities[quantity]) == m_hidden.end();
}

void CChartPanel::SetShown(std::size_t quantity, bool shown) {
    if (quantity >= m_quantities.size() || shown == IsShown(quantity))
        return;
    if (shown)
        std::erase(m_hidden, m_quantities[quantity]);
    else
        m_hidden.push_back(m_quantities[quantity]);
    ApplyPicture();
}

std::pair<double, double> CChartPanel::TemperatureRange() const {
    return {m_view->Picture().temperatureLow, m_view->Picture().temperatureHigh};
}

std::pair<double, double> CChartPanel::HumidityRange() const {
    return {m_view->Picture().humidityLow, m_view->Picture().humidityHigh};
}

QString CChartPanel::Message() const {
    return m_view->Picture().message;
}

QString CChartPanel::StatusText() const {
    return m_status->text();
}

bool CChartPanel::SaveChart(const QString& file) {
    if (m_dirty || m_building)
        Refresh();
    QByteArray bytes;
    QString reason;
    if (m_view->size().isEmpty() || !m_view->isVisible()) {
        m_view->resize(1200, 700); // a chart never shown is saved at a size that reads well
        Refresh();
    }
    const QSize size = m_view->size();
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
            m_view->PaintChart(painter);
            painter.end();
        }
    } else {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter painter(&image);
        m_view->PaintChart(painter);
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
    for (int range = int(LastDay); range <= int(All); ++range) {
        QAction* action =
            menu.addAction(m_rangeBox->itemText(range), this, [this, range] { SetRange(Range(range)); });
        action->setCheckable(true);
        action->setChecked(!m_manual && int(m_range) == range);
    }
    menu.addSeparator();
    menu.addAction(m_texts.wholeHistory, this, &CChartPanel::ShowWholeHistory);
    menu.addAction(m_texts.save, this, &CChartPanel::OnSaveChart);
    menu.exec(globalPos);
}

void CChartPanel::OnOptionsChanged(const OptionsChange& changes) {
    try {
        if (changes.language || changes.format)
            BuildSeries();
        else if (changes.historyFile)
            Invalidate();
    } catch (const std::exception& e) {
        Log().Log(10, "%s", e.what());
    }
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
