// The dialogs and the table commands against the real history stores and files. Modal dialogs
// are answered by a timer that acts on the active modal widget; file dialogs through their hook.
#include "ui/Commands.h"
#include "history/HistoryData.h"
#include "history/HistoryFileLock.h"
#include "history/HistoryRecord.h"
#include "settings/Options.h"
#include "station/StationImage.h"
#include "ui/AboutDlg.h"
#include "ui/CommandIds.h"
#include "ui/DataDeleteDlg.h"
#include "ui/DataModel.h"
#include "ui/DataView.h"
#include "ui/DesktopWorkspace.h"
#include "ui/EditBrowserCtrl.h"
#include "ui/FileDialogs.h"
#include "ui/MainFrame.h"
#include "ui/OptionsDlg.h"
#include "ui/StatusBar.h"
#include "ui/SubEdit.h"
#include "ui/UserMessage.h"

#include "Fakes.h"
#include "FileSizeLimit.h"
#include "TempDir.h"
#include "UiTests.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QThreadPool>
#include <QtTest>

#include <sys/wait.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <unistd.h>

namespace {

// Acts on the modal dialog of type Dialog as soon as the next command shows it.
template <typename Dialog, typename F> void WhenShown(F act) {
    QTimer::singleShot(0, [act] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            QFAIL("the expected dialog is not shown");
            return;
        }
        act(*dialog);
    });
}

std::vector<CDataset> Measurements(int count) {
    std::vector<CDataset> datasets;
    for (int i = 0; i < count; ++i)
        datasets.push_back(MakeMeasurement(CDateTime(2024, 5, 1, i % 24, i / 24 * 5, 0), 1, 7));
    return datasets;
}

// Another station's datasets, all older than the measurements above, five minutes apart.
std::vector<CDataset> OlderFromAnotherStation(int count) {
    std::vector<CDataset> datasets;
    for (int i = 0; i < count; ++i)
        datasets.push_back(MakeMeasurement(CDateTime(2024, 4, 30, 8 + i / 12, i % 12 * 5, 0), 1, 99));
    return datasets;
}

// Runs work in a second process on the same files, as the command-line import would; true when
// it succeeded.
bool InAnotherProcess(const std::function<bool()>& work) {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(work() ? 0 : 1);
    int status = -1;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The file's datasets, read afresh.
std::vector<CDataset> InFile(const std::filesystem::path& file) {
    CHistoryData store;
    store.Read(file);
    return store.WithDatasets([](const std::vector<CDataset>& datasets) { return datasets; });
}

// Another program takes the dataset away: it deletes it, or edits a value of it.
bool VanishInAnotherProcess(const std::filesystem::path& file, const CDataset& dataset, bool deleted) {
    return InAnotherProcess([&] {
        CHistoryData other;
        if (!other.Read(file))
            return false;
        if (deleted)
            return bool(other.Delete(file, std::vector{dataset}));
        CDataset edited = dataset;
        edited.SetHumidity(0, edited.GetHumidity(0) == 50.0f ? 51.0f : 50.0f);
        return bool(other.Update(file, dataset, edited));
    });
}

void AddVanishingRows() {
    QTest::addColumn<bool>("deleted");
    QTest::newRow("deleted by another program") << true;
    QTest::newRow("changed by another program") << false;
}

bool Holds(const std::vector<CDataset>& datasets, const CDataset& wanted) {
    return std::any_of(datasets.begin(), datasets.end(),
                       [&](const CDataset& d) { return IsSameRecord(d, wanted); });
}

} // namespace

// The devices the options dialog finds present, for one test.
struct PresentPortsFor {
    explicit PresentPortsFor(std::vector<std::string> ports) {
        SetPresentPortsSource([ports] { return ports; });
    }
    ~PresentPortsFor() {
        SetPresentPortsSource([] { return std::vector<std::string>{}; });
    }
};

class CommandsTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_folder = std::make_unique<TempDir>();
        COptionsImpl& options = Options();
        options.SetLanguageID(1033);
        options.SetDateFormat(0);
        options.SetTimeFormat(0);
        options.SetTemperatureFormat(0);
        options.SetNrOfTransmitters(1);
        options.SetVersion(0);
        options.SetPort("sim");
        m_recording = *m_folder / "history.nvh";
        options.SetRecordingHistoryFile(m_recording);
        m_history = std::make_unique<DesktopWorkspace>();
        QVERIFY(m_history->Recording().Append(m_recording, Measurements(10)));
        QVERIFY(m_history->ReadRecording(m_recording));
        QVERIFY(m_history->OpenDisplayed(m_recording.string()));
        m_link = std::make_unique<FakeLink>();
        m_messages.clear();
        SetUserMessageHook([this](QWidget*, MessageKind, const QString& text) { m_messages.append(text); });
        m_frame = std::make_unique<CMainFrame>(*m_history, *m_link);
        InstallCommands(*m_frame);
        m_changes.clear();
        QObject::connect(m_frame.get(), &CMainFrame::OptionsChanged,
                         [this](const OptionsChange& changes) { m_changes.push_back(changes); });
        m_frame->show();
    }
    void cleanup() {
        SetFileDialogHook({});
        LogUserMessages();
        m_frame.reset();
        m_link.reset();
        m_history.reset();
        // Later tests use the start-up folder's history file again.
        Options().SetRecordingHistoryFile(Options().GetDefaultHistoryFile());
        Options().SetLanguageID(1033);
        Options().SetReportFolder({});
        m_folder.reset();
    }

    void optionsOkWithoutChangeSavesTheFileAndSendsNoUpdate() {
        std::filesystem::remove(Options().FileName());
        bool flags = true;
        WhenShown<COptionsDlg>([&](COptionsDlg& dialog) {
            QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
            flags = dialog.Changes().Any();
        });
        m_frame->OnCommand(Command::ExtrasOptions);
        QVERIFY(!flags);
        QVERIFY(std::filesystem::exists(Options().FileName()));
        QVERIFY(m_changes.empty());
        QCOMPARE(Options().GetPort(), std::string("sim"));
    }

    void onlyTheUnitChangedReportsAFormatChangeAndRetitlesTheColumns() {
        WhenShown<COptionsDlg>([](COptionsDlg& dialog) {
            dialog.UnitList()->setCurrentIndex(1);
            QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
        });
        m_frame->OnCommand(Command::ExtrasOptions);
        QVERIFY(m_changes == std::vector<OptionsChange>{{.format = true}});
        QCOMPARE(Options().GetTemperatureFormat(), 1);
        QCOMPARE(m_frame->View()->Model()->headerData(2, Qt::Horizontal).toString(),
                 QStringLiteral("Temperature Indoor (°F)"));
    }

    void cancelStoresNothingAndEscapeDoesNotClose() {
        WhenShown<COptionsDlg>([](COptionsDlg& dialog) {
            dialog.DateList()->setCurrentIndex(3);
            QTest::keyClick(&dialog, Qt::Key_Escape);
            QVERIFY(dialog.isVisible());
            QTest::mouseClick(dialog.CancelButton(), Qt::LeftButton);
        });
        m_frame->OnCommand(Command::ExtrasOptions);
        QCOMPARE(Options().GetDateFormat(), 0);
        QVERIFY(m_changes.empty());
    }

    void aNewHistoryFileGetsItsExtensionIsCreatedAndDisplayed() {
        std::filesystem::create_directory(*m_folder / "x");
        const std::filesystem::path expected = *m_folder / "x" / "new.nvh";
        WhenShown<COptionsDlg>([&](COptionsDlg& dialog) {
            dialog.HistoryFileEdit()->setText(QString::fromStdString((*m_folder / "x" / "new.dat").string()));
            QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
            QCOMPARE(dialog.HistoryFileEdit()->text(), QString::fromStdString(expected.string()));
        });
        m_frame->OnCommand(Command::ExtrasOptions);
        QCOMPARE(Options().GetRecordingHistoryFile(), expected);
        QVERIFY(std::filesystem::exists(expected));
        QCOMPARE(std::filesystem::file_size(expected), std::uintmax_t(0));
        QCOMPARE(m_history->DisplayedTitle(), std::string("new.nvh (0)"));
        QCOMPARE(m_history->RecordingTitle(), std::string("new.nvh (0)"));
        QVERIFY(m_changes == std::vector<OptionsChange>{{.historyFile = true}});
        QCOMPARE(m_frame->View()->Model()->rowCount(), 0);
    }

    void aHistoryFileInAFolderThatDoesNotExistKeepsTheDialogOpen() {
        COptionsDlg dialog(*m_history, m_frame.get());
        dialog.show();
        const QString typed = QString::fromStdString((*m_folder / "missing" / "new.nvh").string());
        dialog.HistoryFileEdit()->setText(typed);
        dialog.DateList()->setCurrentIndex(2);
        QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.HistoryFileEdit()->text(), typed); // kept for correction
        QCOMPARE(Options().GetRecordingHistoryFile(), m_recording);
        QCOMPARE(Options().GetDateFormat(), 0); // nothing stored
        QCOMPARE(m_history->Recording().Size(), std::size_t(10));
    }

    void browseOffersHistoryFilesAndTakesTheChoice() {
        FileDialogRequest asked;
        SetFileDialogHook([&](QWidget*, const FileDialogRequest& request) {
            asked = request;
            return std::optional<QString>(QStringLiteral("/tmp/chosen.nvh"));
        });
        COptionsDlg dialog(*m_history, m_frame.get());
        dialog.show();
        dialog.HistoryFileEdit()->BrowseButton()->trigger();
        QCOMPARE(asked.filterName, QStringLiteral("History Files"));
        QCOMPARE(asked.pattern, QStringLiteral("*.nvh"));
        QCOMPARE(asked.defaultSuffix, QStringLiteral("nvh"));
        QVERIFY(!asked.fileMustExist);
        QCOMPARE(asked.initialFile, QString::fromStdString(m_recording.string()));
        QCOMPARE(dialog.HistoryFileEdit()->text(), QStringLiteral("/tmp/chosen.nvh"));
        QCOMPARE(dialog.HistoryFileEdit()->selectedText(), QStringLiteral("/tmp/chosen.nvh"));
    }

    void theReportFolderIsChosenStoredAndClearedInTheDialog() {
        const std::filesystem::path site = *m_folder / "site";
        FileDialogRequest asked;
        SetFileDialogHook([&](QWidget*, const FileDialogRequest& request) {
            asked = request;
            return std::optional<QString>(QString::fromStdString(site.string()));
        });
        WhenShown<COptionsDlg>([](COptionsDlg& dialog) {
            QCOMPARE(dialog.ReportFolderEdit()->text(), QString()); // no report yet
            dialog.ReportFolderEdit()->BrowseButton()->trigger();
            QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
        });
        m_frame->OnCommand(Command::ExtrasOptions);
        QCOMPARE(asked.kind, FileDialogRequest::Kind::Folder);
        QCOMPARE(Options().GetReportFolder(), site);
        {
            std::ifstream saved(Options().FileName());
            const std::string text{std::istreambuf_iterator<char>(saved), {}};
            QVERIFY(text.find("<ReportFolder value=\"" + site.string() + "\"") != std::string::npos);
        }
        QVERIFY(m_changes.empty()); // the next import writes it; nothing to redraw now

        // Cleared together with a new history file: both are stored.
        const std::filesystem::path newFile = *m_folder / "new.nvh";
        WhenShown<COptionsDlg>([&](COptionsDlg& dialog) {
            QCOMPARE(dialog.ReportFolderEdit()->text(), QString::fromStdString(site.string()));
            dialog.ReportFolderEdit()->clear();
            dialog.HistoryFileEdit()->setText(QString::fromStdString(newFile.string()));
            QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
        });
        m_frame->OnCommand(Command::ExtrasOptions);
        QCOMPARE(Options().GetReportFolder(), std::filesystem::path());
        QCOMPARE(Options().GetRecordingHistoryFile(), newFile);
    }

    void anotherLanguageRetitlesTheOpenDialog() {
        const PresentPortsFor present({"/dev/ttyUSB0"});
        COptionsDlg dialog(*m_history, m_frame.get());
        dialog.show();
        dialog.PortList()->setCurrentIndex(dialog.PortList()->findText(QStringLiteral("/dev/ttyUSB0")));
        dialog.LanguageList()->setCurrentIndex(1);
        QCOMPARE(dialog.LanguageList()->itemText(1), QStringLiteral("Deutsch"));
        QCOMPARE(dialog.CancelButton()->text(), QStringLiteral("Abbrechen"));
        QCOMPARE(dialog.PortList()->currentText(), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(dialog.DateList()->currentIndex(), 0);
        QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
        QVERIFY(dialog.Changes() == (OptionsChange{.language = true, .port = true}));
        QCOMPARE(Options().GetLanguageID(), std::uint16_t(1031));
        QCOMPARE(Options().GetPort(), std::string("/dev/ttyUSB0"));
    }

    // Only what the system lists (never the console, which it leaves out) and the simulator; the
    // option's own entry is kept.
    void thePortListOffersThePresentDevicesAndSimAndKeepsAnUnlistedPort() {
        const PresentPortsFor present({"/dev/ttyUSB0", "/dev/ttyACM0"});
        Options().SetPort("sim:station.img");
        COptionsDlg dialog(*m_history, m_frame.get());
        QComboBox* ports = dialog.PortList();
        QStringList items;
        for (int i = 0; i < ports->count(); ++i)
            items.append(ports->itemText(i));
        QCOMPARE(items, (QStringList{QStringLiteral("/dev/ttyUSB0"), QStringLiteral("/dev/ttyACM0"),
                                     QStringLiteral("sim"), QStringLiteral("sim:station.img")}));
        QCOMPARE(ports->currentText(), QStringLiteral("sim:station.img"));
        QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
        QVERIFY(!dialog.Changes().port);
        QCOMPARE(Options().GetPort(), std::string("sim:station.img"));
    }

    // No port chosen yet (no adapter was present at the first start): none is selected for the user.
    void noPortChosenSelectsNone() {
        const PresentPortsFor present({"/dev/ttyUSB0"});
        Options().SetPort("");
        COptionsDlg dialog(*m_history, m_frame.get());
        QCOMPARE(dialog.PortList()->currentIndex(), -1);
        QCOMPARE(dialog.PortList()->count(), 2);
    }

    void aboutShowsTheTextOfTheVersion_data() {
        QTest::addColumn<int>("version");
        QTest::addColumn<QString>("firstLine");
        QTest::newRow("version 1") << 1 << QStringLiteral("Nivaro Weather Station");
        QTest::newRow("other") << 0 << QStringLiteral("Nivaro 1.0");
    }
    void aboutShowsTheTextOfTheVersion() {
        QFETCH(int, version);
        QFETCH(QString, firstLine);
        Options().SetVersion(version);
        CAboutDlg dialog(m_frame.get());
        QCOMPARE(dialog.AboutText()->text().section(QLatin1Char('\n'), 0, 0), firstLine);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("About Nivaro"));
        QVERIFY(!(dialog.windowFlags() & Qt::WindowCloseButtonHint));
        int result = 0;
        WhenShown<CAboutDlg>([](CAboutDlg& shown) { QTest::mouseClick(shown.OkButton(), Qt::LeftButton); });
        result = dialog.exec();
        QCOMPARE(result, CAboutDlg::Button);
    }

    void deleteOfThreeSelectedRowsRewritesTheFileAndClearsTheSelection() {
        CDataView& view = *m_frame->View();
        const std::vector<CDataset> before = Measurements(10);
        for (int row : {2, 5, 7})
            view.selectionModel()->select(view.Model()->index(row, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QString question;
        WhenShown<CDataDeleteDlg>([&](CDataDeleteDlg& dialog) {
            question = dialog.Question()->text();
            QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
        });
        m_frame->OnCommand(Command::DataDelete);
        QCOMPARE(question, QStringLiteral(
                               "Do you really want to delete the selected datasets? This cannot be undone."));
        CHistoryData file;
        QVERIFY(file.Read(m_recording));
        QCOMPARE(file.Size(), std::size_t(7));
        std::vector<CDataset> sorted = before;
        std::sort(sorted.begin(), sorted.end());
        for (int gone : {2, 5, 7})
            for (std::size_t i = 0; i < file.Size(); ++i)
                QVERIFY(!(file.At(i) == sorted[std::size_t(gone)]));
        QVERIFY(!view.selectionModel()->hasSelection());
        QTRY_COMPARE(view.Model()->rowCount(), 7);
    }

    void deleteCancelledOrWithoutSelectionChangesNothing() {
        CDataView& view = *m_frame->View();
        m_frame->OnCommand(Command::DataDelete); // no selection: no dialog (WhenShown would fail)
        view.selectRow(1);
        WhenShown<CDataDeleteDlg>(
            [](CDataDeleteDlg& dialog) { QTest::mouseClick(dialog.CancelButton(), Qt::LeftButton); });
        m_frame->OnCommand(Command::DataDelete);
        CHistoryData file;
        QVERIFY(file.Read(m_recording));
        QCOMPARE(file.Size(), std::size_t(10));
        QVERIFY(view.selectionModel()->hasSelection());
    }

    void exportWritesTheTextExportAndOpenShowsAnotherFile() {
        const std::filesystem::path exported = *m_folder / "export.txt";
        WriteWholeFile(exported, "old content that is replaced");
        FileDialogRequest asked;
        SetFileDialogHook([&](QWidget*, const FileDialogRequest& request) {
            asked = request;
            return std::optional<QString>(QString::fromStdString(exported.string()));
        });
        m_frame->OnCommand(Command::DataExport);
        QCOMPARE(asked.kind, FileDialogRequest::Kind::Save);
        QCOMPARE(asked.filterName, QStringLiteral("Text Files"));
        QCOMPARE(asked.pattern, QStringLiteral("*.txt"));
        QCOMPARE(asked.defaultSuffix, QStringLiteral("txt"));
        // The header and one line per dataset, oldest first, dated in the options' format.
        const QStringList lines = QString::fromStdString(ReadWholeFile(exported)).split("\r\n");
        QCOMPARE(lines.size(), 12); // the last line ends too
        QVERIFY(lines[0].startsWith(QStringLiteral("\"Date\";\"Indoor Temperature\";\"Indoor Humidity\";")));
        QVERIFY(lines[1].startsWith(QStringLiteral("\"01.05.2024 00:00\";")));
        QVERIFY(lines[10].startsWith(QStringLiteral("\"01.05.2024 09:00\";")));
        QCOMPARE(lines[11], QString());

        const std::filesystem::path other = *m_folder / "other.nvh";
        CHistoryData otherStore;
        QVERIFY(otherStore.Append(other, Measurements(4)));
        SetFileDialogHook([&](QWidget*, const FileDialogRequest& request) {
            asked = request;
            return std::optional<QString>(QString::fromStdString(other.string()));
        });
        m_frame->OnCommand(Command::FileOpen);
        QCOMPARE(asked.kind, FileDialogRequest::Kind::Open);
        QVERIFY(asked.fileMustExist);
        QCOMPARE(asked.pattern, QStringLiteral("*.nvh"));
        QTRY_COMPARE(m_history->DisplayedTitle(), std::string("other.nvh (4)"));
        QTRY_COMPARE(m_frame->View()->Model()->rowCount(), 4);
    }

    // The file is read on a worker thread: while it is read (here: while another program holds
    // its lock) the window answers and shows what it showed, and a file chosen meanwhile wins.
    void openingReadsTheFileWhileTheWindowGoesOn() {
        const std::filesystem::path held = *m_folder / "held.nvh";
        const std::filesystem::path other = *m_folder / "other.nvh";
        QVERIFY(CHistoryData().Append(held, Measurements(3)));
        QVERIFY(CHistoryData().Append(other, Measurements(4)));
        HistoryFileLock writer = HistoryFileLock::Acquire(held, HistoryFileLock::Mode::Exclusive, false);
        QVERIFY(writer.Held());
        QString chosen = QString::fromStdString(held.string());
        SetFileDialogHook([&](QWidget*, const FileDialogRequest&) { return std::optional<QString>(chosen); });
        CDataView& view = *m_frame->View();

        m_frame->OnCommand(Command::FileOpen);
        QCOMPARE(view.Model()->rowCount(), 10);
        QCOMPARE(m_history->DisplayedTitle(), std::string("history.nvh (10)"));
        QVERIFY(m_frame->StatusBar()->currentMessage().contains(QStringLiteral("held.nvh")));
        QCoreApplication::processEvents(); // the window's events go on
        QCOMPARE(view.Model()->rowCount(), 10);
        writer.Release();
        QTRY_COMPARE(m_history->DisplayedTitle(), std::string("held.nvh (3)"));
        QTRY_COMPARE(view.Model()->rowCount(), 3);
        QCOMPARE(m_frame->StatusBar()->currentMessage(), QString());
        QVERIFY(m_messages.isEmpty());

        // Chosen while held.nvh is still being read: other.nvh is shown, held.nvh never again.
        writer = HistoryFileLock::Acquire(held, HistoryFileLock::Mode::Exclusive, false);
        m_frame->OnCommand(Command::FileOpen);
        chosen = QString::fromStdString(other.string());
        m_frame->OnCommand(Command::FileOpen);
        QTRY_COMPARE(m_history->DisplayedTitle(), std::string("other.nvh (4)"));
        writer.Release();
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
        QCOMPARE(m_history->DisplayedTitle(), std::string("other.nvh (4)"));
        QTRY_COMPARE(view.Model()->rowCount(), 4);

        // A file that cannot be read says so once it is known.
        chosen = QString::fromStdString((*m_folder / "missing.nvh").string());
        m_frame->OnCommand(Command::FileOpen);
        QTRY_COMPARE(m_messages.size(), 1);
        QVERIFY(m_messages[0].contains(QStringLiteral("could not be read")));
    }

    void exportOntoTheRecordingFileIsRefusedWithAMessage() {
        const std::string before = ReadWholeFile(m_recording);
        SetFileDialogHook([&](QWidget*, const FileDialogRequest&) {
            return std::optional<QString>(QString::fromStdString(m_recording.string()));
        });
        m_frame->OnCommand(Command::DataExport);
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(m_messages[0].contains(QStringLiteral("is a history file")));
        QCOMPARE(ReadWholeFile(m_recording), before);
    }

    // Another process imports while the window shows the file; the user then deletes a row.
    void anotherProcessesImportIsShownAndSurvivesADelete() {
        std::vector<CDataset> more;
        for (int i = 0; i < 5; ++i)
            more.push_back(MakeMeasurement(CDateTime(2024, 6, 1, i, 0, 0), 1, 7));
        QVERIFY(InAnotherProcess([&] { return bool(CHistoryData().Append(m_recording, more)); }));
        CDataView& view = *m_frame->View();
        QTRY_COMPARE(view.Model()->rowCount(), 15); // the file watch refreshed the table

        view.selectRow(0);
        WhenShown<CDataDeleteDlg>(
            [](CDataDeleteDlg& dialog) { QTest::mouseClick(dialog.OkButton(), Qt::LeftButton); });
        m_frame->OnCommand(Command::DataDelete);
        QCOMPARE(std::filesystem::file_size(m_recording), std::uintmax_t(14 * 56));
        QTRY_COMPARE(view.Model()->rowCount(), 14);
    }

    // Three rows selected, Delete, and while the question is open another process imports 50
    // older datasets: OK deletes the three datasets chosen, not those now at their row numbers.
    void deleteTakesTheChosenDatasetsAfterAnImportOfOlderOnes() {
        CDataView& view = *m_frame->View();
        const std::vector<CDataset> before = InFile(m_recording);
        for (int row : {7, 8, 9})
            view.selectionModel()->select(view.Model()->index(row, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        const std::vector<CDataset> older = OlderFromAnotherStation(50);
        QList<int> selectedBehind;
        WhenShown<CDataDeleteDlg>([&](CDataDeleteDlg& dialog) {
            const auto answer = qScopeGuard([&] { QTest::mouseClick(dialog.OkButton(), Qt::LeftButton); });
            QVERIFY(InAnotherProcess([&] { return bool(CHistoryData().Append(m_recording, older)); }));
            QTRY_COMPARE(view.Model()->rowCount(), 60); // the file watch refreshed the table
            for (const QModelIndex& index : view.selectionModel()->selectedRows())
                selectedBehind.append(index.row());
        });
        m_frame->OnCommand(Command::DataDelete);
        const std::vector<CDataset> after = InFile(m_recording);
        QCOMPARE(after.size(), std::size_t(57));
        for (std::size_t i = 0; i < before.size(); ++i)
            QCOMPARE(Holds(after, before[i]), i < 7);
        for (const CDataset& dataset : older)
            QVERIFY(Holds(after, dataset));
        QVERIFY(m_messages.isEmpty());
        std::sort(selectedBehind.begin(), selectedBehind.end());
        QCOMPARE(selectedBehind, QList<int>({57, 58, 59})); // the same datasets behind the question
    }

    // An edit open on the 05:00 cell; another process imports 20 older datasets; the value typed
    // then goes to 05:00, and the edit stayed open on its dataset meanwhile.
    void anEditStaysWithItsDatasetWhenOlderOnesArrive() {
        m_frame->resize(900, 1000); // every row in view: the table does not scroll
        CDataView& view = *m_frame->View();
        QTRY_VERIFY(view.rowAt(view.viewport()->height() - 2) < 0);
        const std::vector<CDataset> before = InFile(m_recording);
        QVERIFY(view.BeginEdit(5, 2));
        view.Edit()->clear();
        QTest::keyClicks(view.Edit(), "55");
        const std::vector<CDataset> older = OlderFromAnotherStation(20);
        QVERIFY(InAnotherProcess([&] { return bool(CHistoryData().Append(m_recording, older)); }));
        QTRY_COMPARE(view.Model()->rowCount(), 30);
        QVERIFY(view.IsEditing());
        const int editTop = view.Edit()->geometry().top();
        QTest::keyClicks(view.Edit(), ".5");
        QTest::keyClick(view.Edit(), Qt::Key_Return);

        const std::vector<CDataset> after = InFile(m_recording);
        QCOMPARE(after.size(), std::size_t(30));
        CDataset edited = before[5];
        edited.SetTemperature(0, 55.5f);
        QVERIFY(Holds(after, edited));
        for (std::size_t i = 0; i < before.size(); ++i)
            QCOMPARE(Holds(after, before[i]), i != 5);
        for (const CDataset& dataset : older)
            QVERIFY(Holds(after, dataset));
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(editTop, view.visualRect(view.Model()->index(25, 2)).top()); // over its dataset's row
    }

    // One of three datasets chosen for deletion vanishes while the question is open: nothing is
    // deleted, the user is told which, and the two others stay selected.
    void deleteOfADatasetThatVanishedIsReportedAndDeletesNothing_data() { AddVanishingRows(); }
    void deleteOfADatasetThatVanishedIsReportedAndDeletesNothing() {
        QFETCH(bool, deleted);
        CDataView& view = *m_frame->View();
        const std::vector<CDataset> before = InFile(m_recording);
        for (int row : {7, 8, 9})
            view.selectionModel()->select(view.Model()->index(row, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        WhenShown<CDataDeleteDlg>([&](CDataDeleteDlg& dialog) {
            const auto answer = qScopeGuard([&] { QTest::mouseClick(dialog.OkButton(), Qt::LeftButton); });
            QVERIFY(VanishInAnotherProcess(m_recording, before[8], deleted));
            QTRY_VERIFY(view.selectionModel()->selectedRows().size() == 2);
        });
        m_frame->OnCommand(Command::DataDelete);
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0], QStringLiteral("The history file \"%1\" was not changed: the dataset of "
                                               "2024-05-01 08:00:00 is no longer in the file.")
                                    .arg(QString::fromStdString(m_recording.string())));
        const std::vector<CDataset> after = InFile(m_recording);
        QCOMPARE(after.size(), std::size_t(deleted ? 9 : 10));
        QVERIFY(Holds(after, before[7]) && Holds(after, before[9]));
        QCOMPARE(view.SelectedDatasets().size(), std::size_t(2));
        QVERIFY(IsSameRecord(view.SelectedDatasets()[0], before[7]));
        QVERIFY(IsSameRecord(view.SelectedDatasets()[1], before[9]));
    }

    // The dataset of an open edit vanishes: the edit is cancelled with a word, and the value typed
    // goes nowhere, least of all to the neighbour now at its row.
    void anEditWhoseDatasetVanishedIsCancelledWithAWord_data() { AddVanishingRows(); }
    void anEditWhoseDatasetVanishedIsCancelledWithAWord() {
        QFETCH(bool, deleted);
        CDataView& view = *m_frame->View();
        QVERIFY(view.BeginEdit(5, 2));
        view.Edit()->clear();
        QTest::keyClicks(view.Edit(), "55");
        const std::vector<CDataset> before = InFile(m_recording);
        QVERIFY(VanishInAnotherProcess(m_recording, before[5], deleted));
        QTRY_VERIFY(!view.IsEditing());
        QTRY_COMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0], QStringLiteral("The dataset of 01.05.2024 05:00 is no longer in the history "
                                               "file: another program changed or deleted it. The edit was "
                                               "cancelled."));
        const std::string file = ReadWholeFile(m_recording);
        QTest::keyClicks(&view, ".5");
        QTest::keyClick(&view, Qt::Key_Return);
        QCOMPARE(ReadWholeFile(m_recording), file);
    }

    void aFailedDeleteNamesTheFileAndTheReasonAndKeepsTheRows() {
        CDataView& view = *m_frame->View();
        view.selectRow(3);
        WhenShown<CDataDeleteDlg>(
            [](CDataDeleteDlg& dialog) { QTest::mouseClick(dialog.OkButton(), Qt::LeftButton); });
        {
            const FileSizeLimit full(56); // the new file cannot take the records
            m_frame->OnCommand(Command::DataDelete);
        }
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(m_messages[0].contains(QString::fromStdString(m_recording.string())));
        QVERIFY(m_messages[0].contains(QStringLiteral("File too large")));
        QCOMPARE(view.Model()->rowCount(), 10);
        QCOMPARE(m_history->Recording().Size(), std::size_t(10));
        QVERIFY(view.selectionModel()->isRowSelected(3, QModelIndex()));
    }

    // At first start the first ping brings the transmitter count and the columns grow.
    void rowsSelectedBeforeTheColumnsGrowAreStillDeleted() {
        CDataView& view = *m_frame->View();
        view.selectRow(1);
        Options().SetNrOfTransmitters(3);
        view.BuildColumns();
        QCOMPARE(view.selectionModel()->selectedRows().size(), 1);
        WhenShown<CDataDeleteDlg>(
            [](CDataDeleteDlg& dialog) { QTest::mouseClick(dialog.OkButton(), Qt::LeftButton); });
        m_frame->OnCommand(Command::DataDelete);
        QCOMPARE(std::filesystem::file_size(m_recording), std::uintmax_t(9 * 56));
    }

    void importWithoutAStationSaysWhy() {
        m_link->FinishPing(false);
        QTRY_COMPARE(m_frame->FailedPings(), 1);
        m_frame->OnCommand(Command::DataImport);
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(m_messages[0].contains(QStringLiteral("No station answers on port sim: No acknowledge")));
        QCOMPARE(m_frame->StatusBar()->PaneToolTip(CMPSBarWithAnimation::LinkPane),
                 QStringLiteral("No station on port sim: No acknowledge"));
    }

    // OK with nothing touched keeps a recording file whose name is long or not UTF-8.
    void optionsOkKeepsTheRecordingFileByteForByte() {
        const std::filesystem::path deep = *m_folder / std::string(120, 'd') / std::string(120, 'e');
        std::filesystem::create_directories(deep);
        for (const std::filesystem::path& file :
             {deep / (std::string(60, 'h') + ".nvh"), *m_folder / "hist\xff\xfe.nvh"}) {
            QVERIFY(file.native().size() > 259 || file.native().find('\xff') != std::string::npos);
            { std::ofstream create(file); }
            Options().SetRecordingHistoryFile(file);
            WhenShown<COptionsDlg>(
                [](COptionsDlg& dialog) { QTest::mouseClick(dialog.OkButton(), Qt::LeftButton); });
            m_frame->OnCommand(Command::ExtrasOptions);
            QCOMPARE(Options().GetRecordingHistoryFile().native(), file.native());
        }
    }

    void exportFormatFollowsTheChosenFileType() {
        const std::filesystem::path csv = *m_folder / "export.csv";
        const std::filesystem::path database = *m_folder / "export.db";
        FileDialogRequest asked;
        for (const std::filesystem::path& chosen : {csv, database}) {
            SetFileDialogHook([&](QWidget*, const FileDialogRequest& request) {
                asked = request;
                return std::optional<QString>(QString::fromStdString(chosen.string()));
            });
            m_frame->OnCommand(Command::DataExport);
        }
        QCOMPARE(asked.moreFilters,
                 QStringList({"CSV Files (*.csv)", "SQLite Databases (*.sqlite *.sqlite3 *.db)"}));
        QVERIFY(ReadWholeFile(csv).starts_with("Date Time,Indoor Temperature (°C),"));
        QVERIFY(ReadWholeFile(database).starts_with(std::string("SQLite format 3\0", 16)));
    }

    // The file types are in the user's language, their patterns as they are.
    void theExportFileTypesAreTranslated() {
        Options().SetLanguageID(1031);
        FileDialogRequest asked;
        SetFileDialogHook([&](QWidget*, const FileDialogRequest& request) {
            asked = request;
            return std::optional<QString>();
        });
        m_frame->OnCommand(Command::DataExport);
        Options().SetLanguageID(1033);
        QCOMPARE(asked.filterName, QStringLiteral("Textdateien"));
        QCOMPARE(asked.pattern, QStringLiteral("*.txt"));
        QCOMPARE(asked.moreFilters,
                 QStringList({"CSV-Dateien (*.csv)", "SQLite-Datenbanken (*.sqlite *.sqlite3 *.db)"}));
    }

private:
    QStringList m_messages;
    std::unique_ptr<TempDir> m_folder;
    std::filesystem::path m_recording;
    std::unique_ptr<DesktopWorkspace> m_history;
    std::unique_ptr<FakeLink> m_link;
    std::unique_ptr<CMainFrame> m_frame;
    std::vector<OptionsChange> m_changes; // what the main window passed on to its views
};

static RegisterUiTest<CommandsTest> registerCommandsTest;

#include "CommandsTest.moc"
