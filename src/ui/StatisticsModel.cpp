#include "ui/StatisticsModel.h"

#include "history/StatisticsText.h"

namespace {

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

int CStatisticsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_summaries.size());
}

int CStatisticsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QString CStatisticsModel::CellText(int row, int column) const {
    if (row < 0 || row >= int(m_summaries.size()))
        return {};
    const Summary& s = m_summaries[std::size_t(row)];
    const bool temperature = s.quantity.kind == ChartQuantity::Temperature;
    const QString unit = QLatin1Char(' ') + (temperature ? m_texts.chart.unit : QStringLiteral("%"));
    switch (column) {
    case 0:
        return FromUtf8(PeriodText(s.period, DatePattern(m_format.dateTimePattern)));
    case 1:
        return m_texts.chart.SeriesName(s.quantity);
    case 2:
        return QString::number(qulonglong(s.count));
    case 3:
        return FromUtf8(SummaryValueText(s.min, s.quantity, m_format.fahrenheit)) + unit;
    case 4:
        return FromUtf8(s.minAt.Format(m_format.dateTimePattern));
    case 5:
        return FromUtf8(SummaryValueText(s.max, s.quantity, m_format.fahrenheit)) + unit;
    case 6:
        return FromUtf8(s.maxAt.Format(m_format.dateTimePattern));
    case 7:
        return FromUtf8(MeanText(s, m_format.fahrenheit)) + unit;
    default:
        return {};
    }
}

QVariant CStatisticsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole)
        return CellText(index.row(), index.column());
    if (role == Qt::TextAlignmentRole) {
        const bool number =
            index.column() == 2 || index.column() == 3 || index.column() == 5 || index.column() == 7;
        return QVariant::fromValue(
            Qt::Alignment((number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
    }
    return {};
}

QVariant CStatisticsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < m_texts.columns.size())
        return m_texts.columns[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

void CStatisticsModel::Reset(std::vector<Summary> summaries, const StatisticsTexts& texts,
                             const ColumnFormat& format) {
    beginResetModel();
    m_summaries = std::move(summaries);
    m_texts = texts;
    m_format = format;
    endResetModel();
}

void CStatisticsModel::SetPresentation(const StatisticsTexts& texts, const ColumnFormat& format) {
    beginResetModel();
    m_texts = texts;
    m_format = format;
    endResetModel();
}
