#pragma once

#include <QAbstractTableModel>
#include <QStringList>

class HistoryAccess;

// The table's model: it keeps only the row count and the column titles and asks the displayed
// history for every cell when the view draws it.
class CDataModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit CDataModel(HistoryAccess& history, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Replaces the columns; rows, selection and scroll position stay.
    void SetTitles(const QStringList& titles);
    const QStringList& Titles() const { return m_titles; }
    // Sets the row count and has every visible cell asked again.
    void SetRowCount(int rows);

    QString CellText(int row, int column) const;
    HistoryAccess& History() { return m_history; }

private:
    HistoryAccess& m_history;
    int m_rows = 0;
    QStringList m_titles;
};
