#include "ui/DataView.h"

#include "history/TransmittersPresent.h"
#include "log/Logger.h"
#include "settings/LangXml.h"
#include "settings/OptionValues.h"
#include "settings/Options.h"
#include "ui/CellInput.h"
#include "ui/ColumnTitles.h"
#include "ui/CommandIds.h"
#include "ui/Commands.h"
#include "ui/DataModel.h"
#include "ui/HeaderControlEx.h"
#include "ui/HistoryAccess.h"
#include "ui/MessageTexts.h"
#include "ui/SubEdit.h"
#include "ui/UserMessage.h"

#include <QItemSelection>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>

#include <set>

namespace {

bool IsTemperatureColumn(int column) {
    return column >= 2 && column <= 12 && column % 2 == 0;
}

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

CDataView::CDataView(HistoryAccess& history, QWidget* parent)
    : QTableView(parent), m_model(new CDataModel(history, this)), m_header(new CHeaderControlEx(this)),
      m_edit(new CSubEdit(viewport())) {
    setHorizontalHeader(m_header);
    setModel(m_model);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setWordWrap(false);
    setShowGrid(true);
    setAlternatingRowColors(true);
    m_header->setStretchLastSection(false);
    m_edit->hide();

    connect(m_edit, &CSubEdit::Committed, this, [this](const QString& text) { EndEdit(text); });
    connect(m_edit, &CSubEdit::Cancelled, this, [this] { EndEdit(std::nullopt); });
    // The view scrolls itself to keep an edit in place when datasets arrive before it.
    const auto scrolled = [this] {
        if (!m_following)
            CancelEdit();
    };
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, scrolled);
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, scrolled);
    // What the user chose is taken from the rows as they show now; the view's own moves are not.
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!m_following)
            RememberSelection();
    });
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
        if (!m_following)
            m_currentDataset = current.isValid()
                                   ? m_model->History().DisplayedDataset(std::size_t(current.row()))
                                   : std::nullopt;
    });
    connect(m_header, &QHeaderView::sectionResized, this, &CDataView::CancelEdit);

    BuildColumns();
    Refill();
}

int CDataView::HistoryTransmitters() const {
    int transmitters = 0;
    m_model->History().ReadDisplayed([&](std::span<const CDataset> datasets) {
        transmitters = DisplayedTransmitters(datasets, Options().GetNrOfTransmitters());
    });
    return transmitters;
}

void CDataView::FollowTransmitters() {
    if (HistoryTransmitters() != m_transmitters)
        BuildColumns();
}

void CDataView::BuildColumns() {
    CancelEdit();
    COptionsImpl& options = Options();
    LoadMultiLangXml texts;
    texts.SetLanguage(options.GetLanguageID());
    // The columns of the transmitters the history holds, whatever the station reports now.
    m_transmitters = HistoryTransmitters();
    const std::vector<std::string> titles =
        ColumnTitles(ReadColumnWords(texts, options.UsesFahrenheit()), m_transmitters);
    QStringList list;
    for (const std::string& title : titles)
        list.append(FromUtf8(title));
    // New columns are not part of the rows selected before: select those datasets' rows whole
    // again, so what looks selected is what Delete takes.
    {
        const QScopedValueRollback following(m_following, true);
        m_model->SetTitles(list);
        FollowDatasets();
    }

    const QFontMetrics metrics(font());
    const auto width = [&](const std::string& word) { return metrics.horizontalAdvance(FromUtf8(word)); };
    for (int column = 0; column < int(titles.size()); ++column) {
        int columnWidth = 0;
        if (column == 0)
            columnWidth = metrics.horizontalAdvance(QStringLiteral("111111")) + 15;
        else if (column == 1)
            columnWidth = width(SampleDateTime(options.GetDateTimeFormat())) + 15;
        else
            columnWidth = WidestWord(titles[std::size_t(column)], width) + 12;
        // The header draws with its own font; keep every title word inside its column.
        const QFontMetrics headerMetrics(m_header->font());
        columnWidth =
            std::max(columnWidth, WidestWord(titles[std::size_t(column)], [&](const std::string& w) {
                                      return headerMetrics.horizontalAdvance(FromUtf8(w));
                                  }) + 12);
        setColumnWidth(column, columnWidth);
    }
}

std::vector<std::size_t> CDataView::SelectedRows() const {
    std::set<std::size_t> rows;
    for (const QItemSelectionRange& range : selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.insert(std::size_t(row));
    return {rows.begin(), rows.end()};
}

void CDataView::SelectRows(const std::vector<std::size_t>& rows) {
    if (rows.empty() || m_model->columnCount() == 0) {
        selectionModel()->clearSelection();
        return;
    }
    const int lastColumn = m_model->columnCount() - 1;
    QItemSelection selection;
    for (std::size_t first = 0; first < rows.size();) {
        std::size_t last = first;
        while (last + 1 < rows.size() && rows[last + 1] == rows[last] + 1)
            ++last;
        selection.select(m_model->index(int(rows[first]), 0), m_model->index(int(rows[last]), lastColumn));
        first = last + 1;
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

int CDataView::RowsPerPage() const {
    const int rowHeight = std::max(1, verticalHeader()->defaultSectionSize());
    return std::max(1, viewport()->height() / rowHeight);
}

void CDataView::RememberSelection() {
    const std::vector<std::size_t> rows = SelectedRows();
    m_selection.clear();
    m_model->History().ReadDisplayed([&](std::span<const CDataset> datasets) {
        for (std::size_t row : rows)
            if (row < datasets.size())
                m_selection.push_back(datasets[row]);
    });
}

void CDataView::FollowDatasets() {
    HistoryAccess& history = m_model->History();
    const std::vector<std::optional<std::size_t>> found = history.FindDisplayed(m_selection);
    std::vector<std::pair<std::size_t, CDataset>> kept;
    for (std::size_t i = 0; i < found.size(); ++i)
        if (found[i] && *found[i] < std::size_t(m_model->rowCount()))
            kept.emplace_back(*found[i], m_selection[i]);
    std::sort(kept.begin(), kept.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::size_t> rows;
    m_selection.clear();
    for (const auto& [row, dataset] : kept) {
        rows.push_back(row);
        m_selection.push_back(dataset);
    }
    SelectRows(rows);

    if (m_currentDataset) {
        const std::optional<std::size_t> row =
            history.FindDisplayed(std::span(&*m_currentDataset, 1)).front();
        if (row)
            selectionModel()->setCurrentIndex(m_model->index(int(*row), std::max(0, currentIndex().column())),
                                              QItemSelectionModel::NoUpdate);
        else
            m_currentDataset.reset();
    }

    if (!m_editing || !m_editDataset)
        return;
    const std::optional<std::size_t> row = history.FindDisplayed(std::span(&*m_editDataset, 1)).front();
    if (row && *row < std::size_t(m_model->rowCount())) {
        m_row = int(*row);
        return;
    }
    // Another program changed or deleted the dataset: its edit cannot land anywhere else.
    const QString dateTime = FromUtf8(m_editDataset->GetColumnText(1, CurrentColumnFormat()));
    CancelEdit();
    // Told once the table is whole again (a message box runs its own event loop).
    QTimer::singleShot(0, this, [this, dateTime] {
        ShowUserMessage(this, MessageKind::Warning, Text(MessageText::EditCancelled).arg(dateTime));
    });
}

void CDataView::ScrollToTopRow(int row) {
    doItemsLayout(); // the scroll range of the new row count
    verticalScrollBar()->setValue(
        verticalScrollMode() == ScrollPerItem ? row : row * verticalHeader()->defaultSectionSize());
}

void CDataView::Refill() {
    FollowTransmitters();
    const int oldCount = m_model->rowCount();
    const int top = std::max(0, rowAt(0));
    const bool lastRowInView = top + RowsPerPage() >= oldCount;
    // The row the user looks at keeps its place on the screen when datasets arrive before it: the
    // edited one, else the current one if in view.
    const bool editing = m_editing;
    const int anchor = editing ? m_row : currentIndex().row();
    const bool anchorInView = anchor >= top && anchor < top + RowsPerPage();
    const QScopedValueRollback following(m_following, true);
    setUpdatesEnabled(false);
    m_model->SetRowCount(int(m_model->History().DisplayedCount()));
    FollowDatasets();
    if (m_editing) {
        ScrollToTopRow(std::max(0, top + m_row - anchor));
        PlaceEdit();
    } else if (!editing && anchorInView && m_currentDataset && currentIndex().row() != anchor) {
        ScrollToTopRow(std::max(0, top + currentIndex().row() - anchor));
    } else if (lastRowInView && m_model->rowCount() > 0) {
        scrollToBottom();
    }
    setUpdatesEnabled(true);
}

void CDataView::CancelEdit() {
    if (m_editing)
        EndEdit(std::nullopt);
}

bool CDataView::BeginEdit(int row, int column) {
    if (column < 2 || row < 0 || row >= m_model->rowCount() || column >= m_model->columnCount())
        return false;
    CancelEdit();
    // The edit belongs to the dataset, not to the row: rows move when older datasets arrive.
    m_editDataset = m_model->History().DisplayedDataset(std::size_t(row));
    if (!m_editDataset)
        return false;
    scrollTo(m_model->index(row, column)); // before the edit shows: scrolling cancels an edit
    m_row = row;
    m_column = column;
    m_editing = true;
    PlaceEdit();
    m_edit->setFont(font());
    m_edit->setText(m_model->CellText(row, column).left(256));
    const bool temperature = IsTemperatureColumn(column);
    m_edit->SetAllowMinus(temperature);
    m_edit->SetDecimals(temperature ? 1 : 0);
    m_edit->show();
    m_edit->setFocus(Qt::OtherFocusReason);
    m_edit->setCursorPosition(0);
    m_edit->deselect();
    m_edit->repaint();
    return true;
}

void CDataView::PlaceEdit() {
    QRect cell = visualRect(m_model->index(m_row, m_column));
    cell.setLeft(cell.left() + 1);
    cell.setBottom(cell.bottom() - 1);
    m_edit->setGeometry(cell);
}

void CDataView::EndEdit(const std::optional<QString>& text) {
    if (!m_editing)
        return;
    m_editing = false; // first: hiding the edit takes its focus away, which cancels again
    const bool hadFocus = m_edit->hasFocus();
    m_edit->hide();
    if (hadFocus)
        setFocus(Qt::OtherFocusReason);
    if (!text)
        return;
    // The file first: memory and the cell change only when the file took the value.
    const bool fahrenheit = Options().UsesFahrenheit();
    const CellInput input = CheckCellInput(m_column, text->toStdString(), fahrenheit);
    if (!input.accepted) {
        ShowUserMessage(this, MessageKind::Warning, Text(input.problem, fahrenheit));
        return;
    }
    HistoryOutcome outcome;
    try {
        outcome = m_model->History().StoreDisplayed(*m_editDataset, m_column, input.value);
    } catch (const std::exception& e) {
        outcome = HistoryOutcome::Failure(e.what());
    }
    const QModelIndex cell = m_model->index(m_row, m_column);
    emit m_model->dataChanged(cell, cell, {Qt::DisplayRole});
    if (outcome) {
        // The selection and the current cell hold the dataset with its new value now.
        RememberSelection();
        m_currentDataset = m_model->History().DisplayedDataset(std::size_t(m_row));
    } else
        ReportHistoryFailure(this, m_model->History().DisplayedFileName(), outcome);
}

void CDataView::mousePressEvent(QMouseEvent* event) {
    m_clickOnSelectedRow = false;
    if (event->button() == Qt::LeftButton && event->modifiers() == Qt::NoModifier) {
        CancelEdit();
        const QModelIndex index = indexAt(event->position().toPoint());
        m_row = index.isValid() ? index.row() : -1;
        m_column = index.isValid() ? index.column() : 0;
        m_clickOnSelectedRow = index.isValid() && selectionModel()->isRowSelected(index.row(), QModelIndex());
    }
    QTableView::mousePressEvent(event);
}

void CDataView::mouseReleaseEvent(QMouseEvent* event) {
    QTableView::mouseReleaseEvent(event);
    // A click on a row that was selected already starts editing its cell.
    if (m_clickOnSelectedRow && event->button() == Qt::LeftButton) {
        const QModelIndex index = indexAt(event->position().toPoint());
        if (index.isValid() && index.row() == m_row && index.column() == m_column)
            BeginEdit(m_row, m_column);
    }
    m_clickOnSelectedRow = false;
}

void CDataView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F2 && currentIndex().isValid()) {
        BeginEdit(currentIndex().row(), currentIndex().column());
        return;
    }
    QTableView::keyPressEvent(event);
}

void CDataView::resizeEvent(QResizeEvent* event) {
    CancelEdit();
    QTableView::resizeEvent(event);
}

bool CDataView::IsViewCommand(int id) {
    return id == Command::FileOpen || id == Command::FilePrint || id == Command::DataExport ||
           id == Command::DataDelete;
}

void CDataView::SetCommandHandler(int id, std::function<void(CDataView&)> handler) {
    m_commands[id] = std::move(handler);
}

bool CDataView::OnCommand(int id) {
    if (!IsViewCommand(id))
        return false;
    const auto handler = m_commands.find(id);
    if (handler != m_commands.end() && handler->second) {
        try {
            handler->second(*this);
        } catch (const std::exception& e) {
            CLogger::Instance().Log(10, "%s", e.what());
        }
    }
    return true;
}

void CDataView::OnOptionsChanged(const OptionsChange& changes) {
    if (changes.language || changes.format) {
        BuildColumns();
        Refill();
    } else if (changes.historyFile) {
        FollowTransmitters();
        const QScopedValueRollback following(m_following, true);
        m_model->SetRowCount(int(m_model->History().DisplayedCount()));
        FollowDatasets();
    }
}
