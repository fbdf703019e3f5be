#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

#include <vector>

class CDataModel;
class QAbstractItemModel;
class QPaintDevice;
class QPainter;
class QPrinter;

// The columns of each page across, left to right: every group starts with the key columns, then
// takes the next columns while they fit the width (at least one, however wide). One group when the
// whole table fits.
std::vector<std::vector<int>> PrintColumnGroups(const std::vector<int>& widths, int keyColumns,
                                                int pageWidth);

// Lays out and draws a table page by page: the column titles at the top of every page, as many
// whole rows as fit, and "page / pages" at the bottom, in 8-point Arial at the device's resolution
// (down to 6.5 points where that makes the table fit the page's width). Columns that do not fit the page's
// width go on to the next page with the same rows, behind the key columns (those that say which row it is)
// repeated, so no column is ever cut or left out.
class CListViewCtrlPrintJobInfo {
public:
    // The history table: the row number and the date-time take the width of a sample text, and
    // are the key columns.
    explicit CListViewCtrlPrintJobInfo(const CDataModel& model);
    // Any table: a column is as wide as the widest word of its title, or as its sample text (when
    // there is one) where that is wider; the first keyColumns columns are repeated on every page.
    CListViewCtrlPrintJobInfo(const QAbstractItemModel& model, QStringList widthSamples, int keyColumns);

    // Font, page and column layout for this device; the next row is the first.
    void BeginPrintJob(QPaintDevice& device);
    void EndPrintJob(bool /*aborted*/) {}
    // Draws one page (painter null: only measures). False when no row was left for it.
    bool PrintPage(int page, QPainter* painter);
    // The pages a print on this device produces.
    int CountPages(QPaintDevice& device);
    // The total shown in the page footers.
    void SetPageCount(int total) { m_pageCount = total; }

    // After BeginPrintJob: rows on a full page, column widths, line height, and the columns of
    // each page of the same rows, left to right.
    int RowsPerPage() const;
    const std::vector<int>& ColumnWidths() const { return m_columnWidths; }
    const std::vector<std::vector<int>>& ColumnGroups() const { return m_columnGroups; }
    int LineHeight() const { return m_lineHeight; }

    // Extra width of every column: 100 device units at 600 dots per inch, in proportion elsewhere.
    static int ColumnPadding(int dotsPerInch) { return (100 * dotsPerInch + 300) / 600; }

private:
    int HeaderHeight() const;
    // The column widths in the current font.
    void MeasureColumns();

    const QAbstractItemModel& m_model;
    QStringList m_widthSamples;
    int m_keyColumns = 0;
    QPaintDevice* m_device = nullptr;
    QFont m_font;
    QStringList m_titles;
    std::vector<int> m_columnWidths;
    std::vector<std::vector<int>> m_columnGroups;
    int m_pageWidth = 0;
    int m_pageHeight = 0;
    int m_lineHeight = 0;
    int m_rows = 0;
    int m_nextRow = 0;       // the first row of the pages being printed
    std::size_t m_group = 0; // the group of columns the next page shows
    int m_pageCount = 0;
};

// Prints pages 1 to pages on the printer, starting a new sheet for each; a page without rows
// cancels the document. False when nothing could be printed.
bool RunPrintJob(CListViewCtrlPrintJobInfo& job, QPrinter& printer, int pages);

// The print dialog's caption from the language text: every "%s" becomes the dialog's own caption,
// every "%d" the page count, "%%" a percent sign. Other directives stay as they are: a language
// file can never make the formatting read what it was not given.
QString PrintCaption(const QString& format, const QString& caption, int pages);
