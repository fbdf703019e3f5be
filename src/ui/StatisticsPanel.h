#pragma once

#include "history/Statistics.h"
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
// its bar. Like the chart it reads the history in one pass whenever it changes (coalesced, and
// only while it is shown) and follows the options' language, formats and unit. It prints like the
// table and exports its rows as a comma-separated file.
class CStatisticsPanel : public QWidget {
    Q_OBJECT
public:
    explicit CStatisticsPanel(HistoryAccess& history, QWidget* parent = nullptr);
    ~CStatisticsPanel() override;

    // Texts, formats and unit anew from the options; the rows follow now when the view is shown,
    // else when it is shown next.
    void ApplyOptions();
    // The summaries anew from the displayed history, now.
    void Refresh();
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

protected:
    void showEvent(QShowEvent* event) override;

private:
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
};
