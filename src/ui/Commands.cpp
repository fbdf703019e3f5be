#include "ui/Commands.h"

#include "settings/LanguageMenu.h"
#include "ui/AboutDlg.h"
#include "ui/DataDeleteDlg.h"
#include "ui/DataImportDlg.h"
#include "ui/DataModel.h"
#include "ui/DataView.h"
#include "ui/FileDialogs.h"
#include "ui/HistoryAccess.h"
#include "ui/MainFrame.h"
#include "ui/OptionsDlg.h"
#include "ui/PrintCommand.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QPrinter>

#include <algorithm>

namespace {

// File dialogs belong to the active window.
QWidget* Owner(QWidget* fallback) {
    QWidget* active = QApplication::activeWindow();
    return active ? active : fallback;
}

} // namespace

void OpenCommand(CDataView& view) {
    FileDialogRequest request;
    request.kind = FileDialogRequest::Kind::Open;
    request.filterName = QStringLiteral("History Files");
    request.pattern = QStringLiteral("*.nvh");
    request.defaultSuffix = QStringLiteral("nvh");
    request.fileMustExist = true;
    if (const std::optional<QString> path = AskForFile(Owner(&view), request))
        view.Model()->History().OpenDisplayed(path->toStdString());
}

void PrintCommand(CDataView& view) {
    const std::unique_ptr<QPrinter> printer = MakeDefaultPrinter();
    PrintTable(view, *printer);
}

void ExportCommand(CDataView& view) {
    FileDialogRequest request;
    request.kind = FileDialogRequest::Kind::Save;
    request.filterName = QStringLiteral("Text Files");
    request.pattern = QStringLiteral("*.txt");
    request.defaultSuffix = QStringLiteral("txt");
    // The file type chosen (its extension) picks the export format.
    request.moreFilters = {QStringLiteral("CSV Files (*.csv)"),
                           QStringLiteral("SQLite Databases (*.sqlite *.sqlite3 *.db)")};
    if (const std::optional<QString> path = AskForFile(Owner(&view), request))
        view.Model()->History().ExportDisplayed(path->toStdString());
}

void DeleteCommand(CDataView& view) {
    QItemSelectionModel* selection = view.selectionModel();
    const QModelIndexList selected = selection->selectedRows();
    if (selected.isEmpty())
        return;
    CDataDeleteDlg dialog(&view);
    if (dialog.exec() != CDataDeleteDlg::Ok)
        return;
    std::vector<std::size_t> rows;
    for (const QModelIndex& index : selected)
        rows.push_back(std::size_t(index.row()));
    std::sort(rows.begin(), rows.end());
    view.CancelEdit();
    view.Model()->History().DeleteDisplayed(rows);
    selection->clear();
}

void InstallCommands(CMainFrame& frame) {
    frame.SetOptionsDialog([](CMainFrame& f) {
        COptionsDlg dialog(f.History(), &f);
        return dialog.exec() == COptionsDlg::Ok ? dialog.Changes() : 0;
    });
    frame.SetAboutDialog([](CMainFrame& f) {
        CAboutDlg dialog(&f);
        dialog.exec();
    });
    frame.SetImportDialog([](CMainFrame& f) {
        CDataImportDlg dialog(f.Link(), &f);
        dialog.exec();
    });
    CDataView& view = *frame.View();
    view.SetCommandHandler(Command::FileOpen, OpenCommand);
    view.SetCommandHandler(Command::FilePrint, PrintCommand);
    view.SetCommandHandler(Command::DataExport, ExportCommand);
    view.SetCommandHandler(Command::DataDelete, DeleteCommand);
}
