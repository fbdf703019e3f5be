#include "ui/Commands.h"

#include "history/HistoryData.h"
#include "publish/Publisher.h"
#include "ui/AboutDlg.h"
#include "ui/CommandIds.h"
#include "ui/DataDeleteDlg.h"
#include "ui/DataImportDlg.h"
#include "ui/DataModel.h"
#include "ui/DataView.h"
#include "ui/DesktopPublisher.h"
#include "ui/DesktopReport.h"
#include "ui/FileDialogs.h"
#include "ui/HandedOverImport.h"
#include "ui/HistoryAccess.h"
#include "ui/HistoryOpening.h"
#include "ui/ImportHandoverServer.h"
#include "ui/MainFrame.h"
#include "ui/MessageTexts.h"
#include "ui/OptionsDlg.h"
#include "ui/PrintCommand.h"
#include "ui/PublishTexts.h"
#include "ui/StatusBar.h"
#include "ui/UserMessage.h"

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

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

void ReportHistoryFailure(QWidget* owner, const std::string& file, const HistoryOutcome& outcome) {
    ShowUserMessage(owner, MessageKind::Error,
                    Text(MessageText::HistoryNotChanged).arg(FromUtf8(file), FromUtf8(outcome.reason)));
}

void WarnOfDamage(QWidget* owner, HistoryAccess& history) {
    const HistoryDamage damage = history.DisplayedDamage();
    if (damage.Any())
        ShowUserMessage(owner, MessageKind::Warning,
                        Text(MessageText::HistoryDamaged)
                            .arg(FromUtf8(history.DisplayedFileName()), FromUtf8(DamageText(damage))));
}

void OpenCommand(CDataView& view) {
    FileDialogRequest request;
    request.kind = FileDialogRequest::Kind::Open;
    request.filterName = Text(MessageText::HistoryFiles);
    request.pattern = QStringLiteral("*.nvh");
    request.defaultSuffix = QStringLiteral("nvh");
    request.fileMustExist = true;
    if (const std::optional<QString> path = AskForFile(Owner(&view), request)) {
        OpenDisplayedInBackground(view, *path, [&view, path = *path](bool read) {
            if (!read)
                ShowUserMessage(Owner(&view), MessageKind::Error,
                                Text(MessageText::HistoryNotRead).arg(path));
            else
                WarnOfDamage(Owner(&view), view.Model()->History());
        });
    }
}

void PrintCommand(CDataView& view) {
    const std::unique_ptr<QPrinter> printer = MakeDefaultPrinter();
    PrintTable(view, *printer);
}

void ExportCommand(CDataView& view) {
    FileDialogRequest request;
    request.kind = FileDialogRequest::Kind::Save;
    request.filterName = Text(MessageText::TextFiles);
    request.pattern = QStringLiteral("*.txt");
    request.defaultSuffix = QStringLiteral("txt");
    // The file type chosen (its extension) picks the export format.
    request.moreFilters = {Text(MessageText::CsvFiles) + QStringLiteral(" (*.csv)"),
                           Text(MessageText::SqliteDatabases) + QStringLiteral(" (*.sqlite *.sqlite3 *.db)")};
    const std::optional<QString> path = AskForFile(Owner(&view), request);
    if (!path)
        return;
    const HistoryOutcome outcome = view.Model()->History().ExportDisplayed(path->toStdString());
    if (!outcome)
        ShowUserMessage(Owner(&view), MessageKind::Error,
                        Text(MessageText::ExportNotWritten).arg(*path, FromUtf8(outcome.reason)));
}

void DeleteCommand(CDataView& view) {
    // What the user confirms are these datasets: a refresh while the question is open (another
    // program's import) moves rows, not the choice.
    const std::vector<CDataset> chosen = view.SelectedDatasets();
    if (chosen.empty())
        return;
    CDataDeleteDlg dialog(&view);
    if (dialog.exec() != CDataDeleteDlg::Ok)
        return;
    view.CancelEdit();
    HistoryAccess& history = view.Model()->History();
    const HistoryOutcome outcome = history.DeleteDisplayed(chosen);
    if (!outcome) {
        // Also when one of them vanished meanwhile: nothing is deleted, the others stay selected.
        ReportHistoryFailure(Owner(&view), history.DisplayedFileName(), outcome);
        return;
    }
    view.selectionModel()->clear();
}

void InstallCommands(CMainFrame& frame) {
    frame.SetOptionsDialog([](CMainFrame& f) {
        COptionsDlg dialog(f.History(), &f);
        return dialog.exec() == COptionsDlg::Ok ? dialog.Changes() : OptionsChange{};
    });
    frame.SetAboutDialog([](CMainFrame& f) {
        CAboutDlg dialog(&f);
        dialog.exec();
    });
    auto* publisher = new DesktopPublisher(&frame);
    QObject::connect(publisher, &DesktopPublisher::Finished, &frame, [&frame](const QString& problem) {
        frame.StatusBar()->SetPaneText(0, problem.isEmpty() ? QString() : PublishProblemText(problem));
    });
    auto* report = new DesktopReport(&frame);
    QObject::connect(report, &DesktopReport::Finished, &frame, [&frame](const QString& problem) {
        if (!problem.isEmpty())
            frame.StatusBar()->SetPaneText(0, LanguageText(100600, "Report not refreshed: %1").arg(problem));
    });
    frame.SetImportDialog([publisher, report](CMainFrame& f) {
        CHistoryData& recording = f.History().Recording();
        const auto newestBefore = NewestDatasetTime(recording);
        CDataImportDlg dialog(f.Link(), recording, &f);
        if (dialog.exec() == CDataImportDlg::Succeeded) {
            publisher->PublishAfterImport(recording, newestBefore);
            report->RefreshAfterImport();
        }
    });
    // The hourly command-line import, handed over while this window holds the port.
    auto* handover = new ImportHandoverServer(frame, [&frame, publisher](const HandoverRequest& request) {
        return RunHandedOverImport(
            frame, request, [&frame, publisher](const std::optional<CDateTime>& newestBefore) {
                publisher->PublishAfterImport(frame.History().Recording(), newestBefore);
            });
    });
    QObject::connect(&frame, &CMainFrame::LinkChanged, handover, &ImportHandoverServer::FollowLink);
    CDataView& view = *frame.View();
    view.SetCommandHandler(Command::FileOpen, OpenCommand);
    view.SetCommandHandler(Command::FilePrint, PrintCommand);
    view.SetCommandHandler(Command::DataExport, ExportCommand);
    view.SetCommandHandler(Command::DataDelete, DeleteCommand);
}
