#include "ui/DataModel.h"

#include "ui/HistoryAccess.h"

CDataModel::CDataModel(HistoryAccess& history, QObject* parent)
    : QAbstractTableModel(parent), m_history(history) {}

int CDataModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

int CDataModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_titles.size());
}

QString CDataModel::CellText(int row, int column) const {
    if (row < 0 || row >= m_rows || column < 0 || column >= m_titles.size())
        return QString();
    if (column == 0)
        return QString::number(row);
    try {
        const std::string text = m_history.DisplayedText(std::size_t(row), column);
        return QString::fromUtf8(text.data(), qsizetype(text.size()));
    } catch (const std::exception&) {
        return QString(); // a dataset that cannot be fetched shows nothing
    }
}

QVariant CDataModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole)
        return CellText(index.row(), index.column());
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    return {};
}

QVariant CDataModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < m_titles.size())
        return m_titles.at(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

void CDataModel::SetTitles(const QStringList& titles) {
    const int old = int(m_titles.size());
    const int wanted = int(titles.size());
    if (wanted < old) {
        beginRemoveColumns(QModelIndex(), wanted, old - 1);
        m_titles = titles;
        endRemoveColumns();
    } else if (wanted > old) {
        beginInsertColumns(QModelIndex(), old, wanted - 1);
        m_titles = titles;
        endInsertColumns();
    } else {
        m_titles = titles;
    }
    if (wanted > 0)
        emit headerDataChanged(Qt::Horizontal, 0, wanted - 1);
    if (wanted > 0 && m_rows > 0)
        emit dataChanged(index(0, 0), index(m_rows - 1, wanted - 1), {Qt::DisplayRole});
}

void CDataModel::SetRowCount(int rows) {
    rows = std::max(rows, 0);
    if (rows > m_rows) {
        beginInsertRows(QModelIndex(), m_rows, rows - 1);
        m_rows = rows;
        endInsertRows();
    } else if (rows < m_rows) {
        beginRemoveRows(QModelIndex(), rows, m_rows - 1);
        m_rows = rows;
        endRemoveRows();
    }
    if (m_rows > 0 && !m_titles.isEmpty())
        emit dataChanged(index(0, 0), index(m_rows - 1, int(m_titles.size()) - 1), {Qt::DisplayRole});
}
