#pragma once

#include "history/ChartPoints.h"
#include "ui/ChartTexts.h"
#include "ui/ChartTime.h"

#include <QTimer>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

class CChartView;
class HistoryAccess;
class QChart;
class QComboBox;
class QDateTimeAxis;
class QLabel;
class QLineSeries;
class QToolButton;
class QValueAxis;

// The chart beside the table: the displayed history as a temperature line per sensor on the left
// axis and a humidity line per sensor on the right axis, over time. It reads the history in one
// pass whenever it changes (coalesced, and only while the chart is shown) and reduces it to the
// pixels of the shown time window; not-available and overflow values leave gaps. The window is
// a range ending with the newest dataset, which follows new datasets, until the user zooms or
// pans; then it stays where the user put it until a range or the whole history is chosen again.
class CChartPanel : public QWidget {
    Q_OBJECT
public:
    enum Range { LastDay, LastWeek, LastMonth, LastYear, All };
    // Narrowest window zooming goes to, in days.
    static constexpr double MinimumWidth = 1.0 / 48;
    // Line segments per quantity; gaps beyond these are bridged (only a flickering sensor gets
    // that many, and then the gaps are narrower than a pixel or two).
    static constexpr std::size_t MaxRuns = 400;

    explicit CChartPanel(HistoryAccess& history, QWidget* parent = nullptr);
    ~CChartPanel() override;

    // Series, names, axis titles and formats anew from the options and the language; the series
    // objects are made again only when the transmitter count changed. Then Refresh().
    void BuildSeries();
    // The points anew from the history for the shown window, now.
    void Refresh();
    // The history or the transmitter count changed: refresh soon, or when next shown.
    void Invalidate();

    void SetRange(Range range);
    Range CurrentRange() const { return m_range; }
    void ShowWholeHistory();
    // Interaction, in parts of the shown window's width (see CChartView).
    void ZoomAt(double at, double factor);
    void ShowSpan(double from, double to);
    void Pan(double by);
    // Whether the user moved the window away from the chosen range.
    bool IsZoomed() const { return m_manual; }
    ChartWindow Window() const { return {m_from, m_to, Buckets()}; }

    // Saves what the chart shows: an SVG drawing when the file name ends in .svg, else a PNG
    // picture. False, and the reason logged, when the file could not be written.
    bool SaveChart(const QString& file);
    // The command: asks for the file (through the chooser when one is set) and saves.
    void OnSaveChart();
    void SetFileChooser(std::function<QString(CChartPanel&)> chooser) { m_chooser = std::move(chooser); }

    QChart* Chart() const { return m_chart; }
    CChartView* View() const { return m_view; }
    QDateTimeAxis* TimeAxis() const { return m_timeAxis; }
    QValueAxis* TemperatureAxis() const { return m_temperatureAxis; }
    QValueAxis* HumidityAxis() const { return m_humidityAxis; }
    const std::vector<ChartQuantity>& Quantities() const { return m_quantities; }
    // The line segments of a quantity that hold points.
    std::vector<QLineSeries*> SeriesOf(std::size_t quantity) const;
    const ChartTexts& Texts() const { return m_texts; }
    QString StatusText() const;

    bool event(QEvent* event) override;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Line {
        std::vector<QLineSeries*> series; // the first carries the legend entry
    };

    void BuildControls();
    void ApplyTexts();
    void MakeSeries();
    QLineSeries* AddSegment(std::size_t quantity);
    void ApplyLines();
    void ApplyAxes();
    void SetWindow(DATE from, DATE to, bool manual);
    void WindowForRange(const ChartSpan& span);
    int Buckets() const;
    void ShowContextMenu(const QPoint& globalPos);

    HistoryAccess& m_history;
    QChart* m_chart;
    CChartView* m_view;
    QDateTimeAxis* m_timeAxis;
    QValueAxis* m_temperatureAxis;
    QValueAxis* m_humidityAxis;
    QLabel* m_rangeLabel;
    QComboBox* m_rangeBox;
    QToolButton* m_wholeButton;
    QToolButton* m_saveButton;
    QLabel* m_status;

    ChartTexts m_texts;
    bool m_fahrenheit = false;
    bool m_dense = false;
    std::vector<ChartQuantity> m_quantities;
    std::vector<Line> m_series;
    std::vector<ChartLine> m_lines;
    ChartClock m_clock;
    std::optional<ChartSpan> m_span;
    Range m_range = LastWeek;
    DATE m_from = 0, m_to = 1;
    bool m_manual = false;
    bool m_dirty = true;
    QTimer m_refreshTimer;
    std::function<QString(CChartPanel&)> m_chooser;
};
