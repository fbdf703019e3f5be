#pragma once

#include "history/Statistics.h"
#include "ui/StatisticsTexts.h"

#include <QAbstractTableModel>

#include <vector>

// The statistics table: one row per period and measurement, with the count, the minimum and the
// maximum with their date-times, and the mean, in the options' formats and unit.
class CStatisticsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int ColumnCount = 8;

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // New summaries in the texts and formats given.
    void Reset(std::vector<Summary> summaries, const StatisticsTexts& texts, const ColumnFormat& format);
    // The same summaries in new texts and formats (shown while new ones are computed).
    void SetPresentation(const StatisticsTexts& texts, const ColumnFormat& format);
    const std::vector<Summary>& Summaries() const { return m_summaries; }
    const ColumnFormat& Format() const { return m_format; }

    QString CellText(int row, int column) const;

private:
    std::vector<Summary> m_summaries;
    StatisticsTexts m_texts;
    ColumnFormat m_format;
};
