#pragma once

#include "history/ChartPoints.h"
#include "ui/ChartBuild.h"
#include "ui/ChartTexts.h"
#include "ui/OptionsChange.h"

#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class CChartView;
class ChartJob;
class HistoryAccess;
class QComboBox;
class QLabel;
class QToolButton;

// The chart beside the table: the displayed history's temperatures in one panel and its
// humidities in another below, over a shared time axis, a series per sensor that holds values.
// It reads the history in one pass whenever it changes (coalesced, only while the chart is shown,
// and on a worker thread: ChartJob) and reduces it to the pixels of the shown time window: lines of the
// datasets, or of the means with bands of their extremes where a pixel column holds many; not-available and
// overflow values and long pauses leave gaps. The window is a range ending with the newest dataset, which
// follows new datasets, until the user zooms or pans; then it stays where the user put it until a
// range or the whole history is chosen again. A series hidden from the legend stays hidden.
class CChartPanel : public QWidget {
    Q_OBJECT
public:
    using Range = ChartRange;
    using enum ChartRange;
    // Narrowest window zooming goes to, in days.
    static constexpr double MinimumWidth = ChartMinimumWidth;
    explicit CChartPanel(HistoryAccess& history, QWidget* parent = nullptr);
    ~CChartPanel() override;

    // Names, titles, unit and formats anew from the options and the language, then Refresh().
    void BuildSeries();
    // The points anew from the history for the shown window, now.
    void Refresh();
    // The history changed: refresh soon on the worker thread, or when next shown; a result asked
    // for earlier is dropped.
    void Invalidate();
    // The options command changed these: series anew after a language or format change, the
    // other history's points after a new history file.
    void OnOptionsChanged(const OptionsChange& changes);

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

    CChartView* View() const { return m_view; }
    // The series shown, one per quantity of the transmitters the displayed history holds.
    const std::vector<ChartQuantity>& Quantities() const { return m_quantities; }
    // A quantity's points as drawn (temperatures in the unit shown).
    const ChartLine& Line(std::size_t quantity) const;
    bool IsShown(std::size_t quantity) const;
    void SetShown(std::size_t quantity, bool shown);
    // The value ranges of the temperature and the humidity panel.
    std::pair<double, double> TemperatureRange() const;
    std::pair<double, double> HumidityRange() const;
    // The text over the plots when there is nothing to draw.
    QString Message() const;
    const ChartTexts& Texts() const { return m_texts; }
    QString StatusText() const;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildControls();
    void ApplyTexts();
    // The picture of the lines read last, for the window and the series shown.
    void ApplyPicture();
    void SetWindow(DATE from, DATE to, bool manual);
    // What to build for the window and history now; what was built becomes the picture.
    ChartRequest Request() const;
    void Adopt(ChartBuilt built);
    // Refresh on the worker thread.
    void RefreshInBackground();
    // The plots' width in pixels, and the columns the datasets are reduced to (ChartBuckets).
    int Pixels() const;
    bool DailyColumns() const;
    int Buckets() const;
    void ShowContextMenu(const QPoint& globalPos);

    HistoryAccess& m_history;
    CChartView* m_view;
    QLabel* m_rangeLabel;
    QComboBox* m_rangeBox;
    QToolButton* m_wholeButton;
    QToolButton* m_saveButton;
    QLabel* m_status;
    QLabel* m_hint;

    ChartTexts m_texts;
    bool m_fahrenheit = false;
    std::vector<ChartQuantity> m_quantities;
    std::vector<ChartQuantity> m_hidden; // hidden from the legend, kept across histories
    std::vector<ChartLine> m_lines;
    std::optional<ChartSpan> m_span;
    Range m_range = LastWeek;
    DATE m_from = 0, m_to = 1;
    bool m_manual = false;
    bool m_dirty = true;
    QTimer m_refreshTimer;
    std::uint64_t m_generation = 0; // counts the changes: a result built for an older one is dropped
    bool m_building = false;        // a result of the newest is still to come
    std::function<QString(CChartPanel&)> m_chooser;
    std::unique_ptr<ChartJob> m_job; // last: the worker stops before the rest goes
};
