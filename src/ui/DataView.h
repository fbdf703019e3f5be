#pragma once

#include "station/Dataset.h"
#include "ui/OptionsChange.h"

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

    // Columns anew from the transmitters the displayed history holds (the station's while it holds
    // none), the options (unit, date-time pattern) and the language.
    void BuildColumns();
    // The outdoor transmitters the columns show.
    int Transmitters() const { return m_transmitters; }
    // Row count from the displayed history; follows the end when the last row was in view. The
    // selection, the current cell and an open edit stay on their datasets wherever these are now;
    // an edited or current dataset in view keeps its place on the screen when datasets arrive
    // before it. An edit whose dataset vanished is cancelled, and the user is told.
    void Refill();
    // Hides the in-place edit without taking its text.
    void CancelEdit();
    // Starts an in-place edit of that cell; row numbers and dates are not editable.
    bool BeginEdit(int row, int column);
    bool IsEditing() const { return m_editing; }
    // The datasets of the selected rows in row order, by value as they were when the user chose
    // them: what Delete takes, also after a refresh moved or removed rows.
    const std::vector<CDataset>& SelectedDatasets() const { return m_selection; }
    CSubEdit* Edit() const { return m_edit; }
    CDataModel* Model() const { return m_model; }

    // The commands this view handles: Open, Print, Export, Delete. Their dialogs are plugged in
    // with SetCommandHandler; a command without one does nothing.
    bool OnCommand(int id);
    static bool IsViewCommand(int id);
    void SetCommandHandler(int id, std::function<void(CDataView&)> handler);

    // The options command changed these: columns and cells anew after a language or format
    // change, the rows of the other history after a new history file.
    void OnOptionsChanged(const OptionsChange& changes);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void EndEdit(const std::optional<QString>& text);
    void PlaceEdit();
    int RowsPerPage() const;
    std::vector<std::size_t> SelectedRows() const;
    void SelectRows(const std::vector<std::size_t>& rows);
    // Takes the datasets of the selected rows, as the user chose them.
    void RememberSelection();
    // Moves the selection, the current cell and the edit to the rows now showing their datasets.
    void FollowDatasets();
    void ScrollToTopRow(int row);
    int HistoryTransmitters() const;
    // Columns anew when the history now holds other transmitters than the columns show.
    void FollowTransmitters();

    CDataModel* m_model;
    CHeaderControlEx* m_header;
    CSubEdit* m_edit;
    int m_row = -1;
    int m_column = 0;
    int m_transmitters = -1;
    bool m_editing = false;
    std::optional<CDataset> m_editDataset; // the dataset being edited, as it was shown
    std::vector<CDataset> m_selection;
    std::optional<CDataset> m_currentDataset;
    bool m_following = false; // the view moves rows itself: no choice of the user's
    bool m_clickOnSelectedRow = false;
    std::map<int, std::function<void(CDataView&)>> m_commands;
};
