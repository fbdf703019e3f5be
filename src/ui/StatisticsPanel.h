#pragma once

#include "history/ChartPoints.h"
#include "history/Statistics.h"
#include "ui/LatestJob.h"
#include "ui/OptionsChange.h"
#include "ui/StatisticsTexts.h"

#include <QDate>
#include <QTimer>
#include <QWidget>

#include <optional>

class CStatisticsModel;
class HistoryAccess;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QPrinter;
class QTableView;

// The statistics beside the table and the chart: minimum, maximum and mean of every measurement
// of the displayed history per day, week, month or year, optionally between two days, chosen on
// its bar. Whenever the history changes (coalesced, and only while it is shown) it summarises a
// snapshot of it on a worker thread, saying so until the rows come, so that a large history never
// holds up the window; a newer request drops the rows of an older one. It follows the options'
// language, formats and unit, prints like the table and exports its rows as a comma-separated file.
class CStatisticsPanel : public QWidget {
    Q_OBJECT
public:
    explicit CStatisticsPanel(HistoryAccess& history, QWidget* parent = nullptr);
    ~CStatisticsPanel() override;

    // Texts, formats and unit anew from the options; the rows follow now when the view is shown,
    // else when it is shown next.
    void ApplyOptions();
    // The summaries anew from the displayed history: started now, shown when computed (RowsShown).
    void Refresh();
    // Whether the rows shown are not yet those of the latest request (or change of the history).
    bool Computing() const { return m_job.Running() || m_refreshTimer.isActive(); }
    // The history changed: refresh soon, or when next shown.
    void Invalidate();
    // The options command changed these: texts and formats anew after a language or format
    // change, the other history's summaries after a new history file.
    void OnOptionsChanged(const OptionsChange& changes);

    void SetPeriodKind(PeriodKind kind);
    PeriodKind Kind() const { return m_kind; }
    // The days whose datasets count, both included; an end without a day is open.
    void SetRange(std::optional<QDate> from, std::optional<QDate> to);
    StatisticsRange Range() const;

    // The Print and Export commands while the view is shown; false for any other command.
    bool OnCommand(int id);
    // Prints the rows on the printer after the print dialog; the pages printed.
    int Print(QPrinter& printer);
    // Writes the rows as they are shown into a comma-separated file, through a temporary file.
    // False, with the reason in the bar and the log, when it could not be written.
    bool SaveCsv(const QString& file);

    CStatisticsModel* Model() const { return m_model; }
    QTableView* Table() const { return m_table; }
    const StatisticsTexts& Texts() const { return m_texts; }
    QString StatusText() const;

signals:
    // The rows of the latest request are in the table.
    void RowsShown();

protected:
    void showEvent(QShowEvent* event) override;

private:
    // What the rows are computed from: taken on the window's thread, read on any.
    struct Request {
        std::shared_ptr<const std::vector<CDataset>> datasets;
        PeriodKind kind = PeriodKind::Month;
        StatisticsRange range;
        bool followDays = false; // the history's first and last day are wanted for the day fields
    };
    struct Rows {
        std::vector<Summary> summaries;
        std::optional<ChartSpan> days;
    };
    Request MakeRequest() const;
    static Rows Compute(const Request& request);
    void Show(Rows rows);
    // Print and Export need the rows of the history as it is now: computed here, at once.
    void RefreshNowIfStale();

    void BuildControls();
    void ApplyTexts();
    void Export();

    HistoryAccess& m_history;
    CStatisticsModel* m_model;
    QTableView* m_table;
    QLabel* m_periodLabel;
    QComboBox* m_periodBox;
    QCheckBox* m_fromCheck;
    QDateEdit* m_fromEdit;
    QCheckBox* m_toCheck;
    QDateEdit* m_toEdit;
    QLabel* m_status;

    StatisticsTexts m_texts;
    PeriodKind m_kind = PeriodKind::Month;
    bool m_datesChosen = false; // until then the day fields follow the history's first and last day
    bool m_dirty = true;
    QTimer m_refreshTimer;
    LatestJob<Rows> m_job{*this};
};
