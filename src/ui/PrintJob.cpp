#include "ui/PrintJob.h"

#include "log/Logger.h"
#include "ui/DataModel.h"

#include <QFontMetrics>
#include <QPaintDevice>
#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <numeric>

namespace {

constexpr int MaxText = 199;
constexpr double UsualPointSize = 8;
constexpr double SmallestPointSize = 6.5;

QString WrappedTitle(const QString& title) {
    QString wrapped = title.left(MaxText);
    wrapped.replace(QLatin1Char(' '), QLatin1Char('\n'));
    return wrapped;
}

int WidestWord(const QString& title, const QFontMetrics& metrics) {
    int widest = 0;
    for (const QString& word : title.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        widest = std::max(widest, metrics.horizontalAdvance(word));
    return widest;
}

} // namespace

std::vector<std::vector<int>> PrintColumnGroups(const std::vector<int>& widths, int keyColumns,
                                                int pageWidth) {
    const int columns = int(widths.size());
    const int keys = std::clamp(keyColumns, 0, columns);
    int keyWidth = 0;
    for (int column = 0; column < keys; ++column)
        keyWidth += widths[std::size_t(column)];
    std::vector<std::vector<int>> groups;
    for (int next = keys; next < columns || groups.empty();) {
        std::vector<int> group;
        for (int column = 0; column < keys; ++column)
            group.push_back(column);
        int x = keyWidth;
        while (next < columns &&
               (group.size() == std::size_t(keys) || x + widths[std::size_t(next)] <= pageWidth)) {
            x += widths[std::size_t(next)];
            group.push_back(next++);
        }
        groups.push_back(std::move(group));
    }
    return groups;
}

CListViewCtrlPrintJobInfo::CListViewCtrlPrintJobInfo(const CDataModel& model)
    : CListViewCtrlPrintJobInfo(model, {QStringLiteral("11111111"), QStringLiteral("23.12.2002 16:24:25")},
                                2) {}

CListViewCtrlPrintJobInfo::CListViewCtrlPrintJobInfo(const QAbstractItemModel& model,
                                                     QStringList widthSamples, int keyColumns)
    : m_model(model), m_widthSamples(std::move(widthSamples)), m_keyColumns(keyColumns) {}

void CListViewCtrlPrintJobInfo::BeginPrintJob(QPaintDevice& device) {
    m_device = &device;
    m_pageWidth = device.width();
    m_pageHeight = device.height();
    m_rows = m_model.rowCount();
    m_nextRow = 0;
    m_group = 0;
    m_titles.clear();
    for (int column = 0; column < m_model.columnCount(); ++column)
        m_titles.append(m_model.headerData(column, Qt::Horizontal).toString().left(MaxText));

    // A table a little too wide for the page is printed in a smaller font; one much too wide in the
    // usual font, its columns continued on further pages.
    m_font = QFont(QStringLiteral("Arial"));
    for (double size = UsualPointSize; size >= SmallestPointSize; size -= 0.5) {
        m_font.setPointSizeF(size);
        MeasureColumns();
        if (std::accumulate(m_columnWidths.begin(), m_columnWidths.end(), 0) <= m_pageWidth)
            break;
    }
    if (std::accumulate(m_columnWidths.begin(), m_columnWidths.end(), 0) > m_pageWidth) {
        m_font.setPointSizeF(UsualPointSize);
        MeasureColumns();
    }
    m_lineHeight = QFontMetrics(m_font, &device).height();
    m_columnGroups = PrintColumnGroups(m_columnWidths, m_keyColumns, m_pageWidth);
}

void CListViewCtrlPrintJobInfo::MeasureColumns() {
    const QFontMetrics metrics(m_font, m_device);
    const int padding = ColumnPadding(m_device->logicalDpiX());
    m_columnWidths.clear();
    for (int column = 0; column < int(m_titles.size()); ++column) {
        int width = WidestWord(m_titles[column], metrics);
        if (column < m_widthSamples.size())
            width = std::max(width, metrics.horizontalAdvance(m_widthSamples[column]));
        m_columnWidths.push_back(width + padding);
    }
}

int CListViewCtrlPrintJobInfo::HeaderHeight() const {
    const QFontMetrics metrics(m_font, m_device);
    int tallest = 0;
    for (int column = 0; column < int(m_columnWidths.size()); ++column) {
        const QRect box =
            metrics.boundingRect(QRect(0, 0, m_columnWidths[std::size_t(column)], 0),
                                 Qt::AlignHCenter | Qt::AlignTop, WrappedTitle(m_titles[column]));
        tallest = std::max(tallest, box.height());
    }
    return tallest;
}

int CListViewCtrlPrintJobInfo::RowsPerPage() const {
    // Rows start below the header and a blank line; a row needs itself and the footer's line.
    const int top = HeaderHeight() + m_lineHeight;
    if (m_lineHeight <= 0 || m_pageHeight - top < 2 * m_lineHeight)
        return 0;
    return (m_pageHeight - top - 2 * m_lineHeight) / m_lineHeight + 1;
}

bool CListViewCtrlPrintJobInfo::PrintPage(int page, QPainter* painter) {
    if (m_nextRow >= m_rows || m_columnGroups.empty())
        return false;
    if (painter)
        painter->setFont(m_font);
    const std::vector<int>& columns = m_columnGroups[m_group];

    // The header: every title wrapped word by word and centred in its column.
    int x = 0;
    const int header = HeaderHeight();
    for (const int column : columns) {
        const int width = m_columnWidths[std::size_t(column)];
        if (painter)
            painter->drawText(QRect(x, 0, width, header), Qt::AlignCenter, WrappedTitle(m_titles[column]));
        x += width;
    }
    int y = header + m_lineHeight;

    // Whole rows while a row and the footer line still fit below the pen.
    int row = m_nextRow;
    while (row < m_rows && m_pageHeight - y >= 2 * m_lineHeight) {
        x = 0;
        for (const int column : columns) {
            const int width = m_columnWidths[std::size_t(column)];
            if (painter)
                painter->drawText(QRect(x, y, width, m_lineHeight), Qt::AlignCenter | Qt::TextSingleLine,
                                  m_model.data(m_model.index(row, column)).toString().left(MaxText));
            x += width;
        }
        y += m_lineHeight;
        ++row;
    }
    if (row == m_nextRow)
        return false; // not even one row fits this page

    // The same rows again with the next columns, or the next rows from the first columns.
    if (++m_group == m_columnGroups.size()) {
        m_group = 0;
        m_nextRow = row;
    }

    if (painter)
        painter->drawText(QRect(0, m_pageHeight - m_lineHeight, m_pageWidth, m_lineHeight), Qt::AlignCenter,
                          QStringLiteral("%1 / %2").arg(page).arg(m_pageCount));
    return true;
}

int CListViewCtrlPrintJobInfo::CountPages(QPaintDevice& device) {
    BeginPrintJob(device);
    int pages = 0;
    while (PrintPage(pages, nullptr))
        ++pages;
    return pages;
}

bool RunPrintJob(CListViewCtrlPrintJobInfo& job, QPrinter& printer, int pages) {
    if (pages <= 0)
        return false; // no rows: no sheet of paper for nothing
    QPainter painter;
    if (!painter.begin(&printer)) {
        CLogger::Instance().Log(10, "Print job could not be started");
        return false;
    }
    job.BeginPrintJob(printer);
    for (int page = 1; page <= pages; ++page) {
        if (page > 1 && !printer.newPage()) {
            printer.abort();
            return false;
        }
        painter.save();
        const bool printed = job.PrintPage(page, &painter);
        painter.restore();
        if (!printed) {
            printer.abort();
            job.EndPrintJob(true);
            return false;
        }
    }
    job.EndPrintJob(false);
    return painter.end();
}

QString PrintCaption(const QString& format, const QString& caption, int pages) {
    QString result;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c != QLatin1Char('%') || i + 1 >= format.size()) {
            result.append(c);
            continue;
        }
        const QChar directive = format[i + 1];
        if (directive == QLatin1Char('s'))
            result.append(caption);
        else if (directive == QLatin1Char('d'))
            result.append(QString::number(pages));
        else if (directive == QLatin1Char('%'))
            result.append(QLatin1Char('%'));
        else {
            result.append(c);
            continue;
        }
        ++i;
    }
    return result;
}
