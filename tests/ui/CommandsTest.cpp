// The dialogs and the table commands against the real history stores and files. Modal dialogs
// are answered by a timer that acts on the active modal widget; file dialogs through their hook.
#include "ui/Commands.h"
#include "history/HistoryData.h"
#include "settings/LanguageMenu.h"
#include "settings/Options.h"
#include "station/StationImage.h"
#include "ui/AboutDlg.h"
#include "ui/DataDeleteDlg.h"
#include "ui/DataModel.h"
#include "ui/DataView.h"
#include "ui/EditBrowserCtrl.h"
#include "ui/FileDialogs.h"
#include "ui/HistoryStores.h"
#include "ui/MainFrame.h"
#include "ui/NotificationEvent.h"
#include "ui/OptionsDlg.h"
#include "ui/StatusBar.h"
#include "ui/UserMessage.h"

#include "Fakes.h"
#include "FileSizeLimit.h"
#include "TempDir.h"
#include "UiTests.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include <sys/wait.h>
#include <unistd.h>

namespace {

// Counts the options-changed notifications that reach the main window's descendants.
class UpdateProbe : public QObject {
public:
    explicit UpdateProbe(QObject* parent) : QObject(parent) {}
    bool event(QEvent* event) override {
        if (event->type() == NotificationEvent::EventType()) {
            const auto* notification = static_cast<NotificationEvent*>(event);
            if (notification->message() == Message::UpdateView)
                words.append(int(notification->wParam()));
            return true;
        }
        return QObject::event(event);
    }
    QList<int> words;
};

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

} // namespace

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
        RecordingHistory().Clear();
        QVERIFY(RecordingHistory().Append(m_recording, Measurements(10)));
        QVERIFY(ReadRecording(m_recording));
        QVERIFY(OpenDisplayed(m_recording.string()));
        m_history = std::make_unique<HistoryStores>();
        m_link = std::make_unique<FakeLink>();
        m_messages.clear();
        SetUserMessageHook([this](QWidget*, MessageKind, const QString& text) { m_messages.append(text); });
        m_frame = std::make_unique<CMainFrame>(*m_history, *m_link);
        InstallCommands(*m_frame);
        m_probe = new UpdateProbe(m_frame.get());
        m_frame->show();
    }
    void cleanup() {
        SetFileDialogHook({});
        LogUserMessages();
        m_frame.reset();
        m_link.reset();
        m_history.reset();
        RecordingHistory().Clear();
        // Later tests use the start-up folder's history file again.
        Options().SetRecordingHistoryFile(Options().GetDefaultHistoryFile());
        Options().SetLanguageID(1033);
        m_folder.reset();
    }

    void optionsOkWithoutChangeSavesTheFileAndSendsNoUpdate() {
        std::filesystem::remove(Options().FileName());
        bool flags = true;
        WhenShown<COptionsDlg>([&](COptionsDlg& dialog) {
            QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
            flags = dialog.LanguageChanged() || dialog.FormatChanged() || dialog.PortChanged() ||
                    dialog.HistoryFileChanged();
        });
        m_frame->OnCommand(Command::ExtrasOptions);
        QVERIFY(!flags);
        QVERIFY(std::filesystem::exists(Options().FileName()));
        QVERIFY(m_probe->words.isEmpty());
        QCOMPARE(Options().GetPort(), std::string("sim"));
    }

    void onlyTheUnitChangedSetsTheFormatBitAndRetitlesTheColumns() {
        WhenShown<COptionsDlg>([](COptionsDlg& dialog) {
            dialog.UnitList()->setCurrentIndex(1);
            QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
        });
        m_frame->OnCommand(Command::ExtrasOptions);
        QCOMPARE(m_probe->words, QList<int>{OptionsChange::Format});
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
        QVERIFY(m_probe->words.isEmpty());
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
        QCOMPARE(DisplayedTitle(), std::string("new.nvh (0)"));
        QCOMPARE(RecordingTitle(), std::string("new.nvh (0)"));
        QCOMPARE(m_probe->words, QList<int>{OptionsChange::HistoryFile});
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
        QCOMPARE(RecordingHistory().Size(), std::size_t(10));
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

    void anotherLanguageRetitlesTheOpenDialog() {
        COptionsDlg dialog(*m_history, m_frame.get());
        dialog.show();
        dialog.PortList()->setCurrentIndex(dialog.PortList()->findText(QStringLiteral("/dev/ttyUSB0")));
        dialog.LanguageList()->setCurrentIndex(1);
        QCOMPARE(dialog.LanguageList()->itemText(1), QStringLiteral("Deutsch"));
        QCOMPARE(dialog.CancelButton()->text(), QStringLiteral("Abbrechen"));
        QCOMPARE(dialog.PortList()->currentText(), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(dialog.DateList()->currentIndex(), 0);
        QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
        QCOMPARE(dialog.Changes(), OptionsChange::Language | OptionsChange::Port);
        QCOMPARE(Options().GetLanguageID(), std::uint16_t(1031));
        QCOMPARE(Options().GetPort(), std::string("/dev/ttyUSB0"));
    }

    void thePortListOffersTheLanguageItemsThenPresentDevicesAndKeepsAnUnlistedPort() {
        Options().SetPort("sim:station.img");
        COptionsDlg dialog(*m_history, m_frame.get());
        QComboBox* ports = dialog.PortList();
        QCOMPARE(ports->itemText(0), QStringLiteral("/dev/ttyS0"));
        QCOMPARE(ports->findText(QStringLiteral("sim")), 8); // after the language file's ports
        QCOMPARE(ports->currentText(), QStringLiteral("sim:station.img"));
        QStringList seen;
        for (int i = 0; i < ports->count(); ++i) {
            QVERIFY2(!seen.contains(ports->itemText(i)), qPrintable(ports->itemText(i)));
            seen.append(ports->itemText(i));
        }
        QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
        QVERIFY(!dialog.PortChanged());
        QCOMPARE(Options().GetPort(), std::string("sim:station.img"));
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
        QCOMPARE(DisplayedTitle(), std::string("other.nvh (4)"));
        QTRY_COMPARE(m_frame->View()->Model()->rowCount(), 4);
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
        const pid_t child = ::fork();
        if (child == 0) {
            std::vector<CDataset> more;
            for (int i = 0; i < 5; ++i)
                more.push_back(MakeMeasurement(CDateTime(2024, 6, 1, i, 0, 0), 1, 7));
            CHistoryData importer;
            ::_exit(importer.Append(m_recording, more) ? 0 : 1);
        }
        int status = -1;
        ::waitpid(child, &status, 0);
        QCOMPARE(status, 0);
        CDataView& view = *m_frame->View();
        QTRY_COMPARE(view.Model()->rowCount(), 15); // the file watch refreshed the table

        view.selectRow(0);
        WhenShown<CDataDeleteDlg>(
            [](CDataDeleteDlg& dialog) { QTest::mouseClick(dialog.OkButton(), Qt::LeftButton); });
        m_frame->OnCommand(Command::DataDelete);
        QCOMPARE(std::filesystem::file_size(m_recording), std::uintmax_t(14 * 56));
        QTRY_COMPARE(view.Model()->rowCount(), 14);
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
        QCOMPARE(RecordingHistory().Size(), std::size_t(10));
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

private:
    QStringList m_messages;
    std::unique_ptr<TempDir> m_folder;
    std::filesystem::path m_recording;
    std::unique_ptr<HistoryStores> m_history;
    std::unique_ptr<FakeLink> m_link;
    std::unique_ptr<CMainFrame> m_frame;
    UpdateProbe* m_probe = nullptr;
};

static RegisterUiTest<CommandsTest> registerCommandsTest;

#include "CommandsTest.moc"
