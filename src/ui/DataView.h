#pragma once

#include <QTableView>

#include <functional>
#include <map>
#include <optional>
#include <vector>

class CDataModel;
class CHeaderControlEx;
class CSubEdit;
class HistoryAccess;

// The history table that fills the main window: one row per displayed dataset, asked for cell by
// cell; temperature and humidity cells can be corrected in place.
class CDataView : public QTableView {
    Q_OBJECT
public:
    CDataView(HistoryAccess& history, QWidget* parent = nullptr);

    // Columns anew from the options (transmitter count, unit, date-time pattern) and the language.
    void BuildColumns();
    // Row count from the displayed history; follows the end when the last row was in view.
    void Refill();
    // Hides the in-place edit without taking its text.
    void CancelEdit();
    // Starts an in-place edit of that cell; row numbers and dates are not editable.
    bool BeginEdit(int row, int column);
    bool IsEditing() const { return m_editing; }
    // The rows with a selected cell, ascending; selects rows whole (every column).
    std::vector<std::size_t> SelectedRows() const;
    void SelectRows(const std::vector<std::size_t>& rows);
    CSubEdit* Edit() const { return m_edit; }
    CDataModel* Model() const { return m_model; }

    // The commands this view handles: Open, Print, Export, Delete. Their dialogs are plugged in
    // with SetCommandHandler; a command without one does nothing.
    bool OnCommand(int id);
    static bool IsViewCommand(int id);
    void SetCommandHandler(int id, std::function<void(CDataView&)> handler);

    bool event(QEvent* event) override;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void EndEdit(const std::optional<QString>& text);
    int RowsPerPage() const;

    CDataModel* m_model;
    CHeaderControlEx* m_header;
    CSubEdit* m_edit;
    int m_row = -1;
    int m_column = 0;
    bool m_editing = false;
    bool m_clickOnSelectedRow = false;
    std::map<int, std::function<void(CDataView&)>> m_commands;
};
