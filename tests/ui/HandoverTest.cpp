// The hourly command-line import beside a running main window: the window holds the simulated
// station's image, and the real nivaro-cli, started as a second process, hands it the import.
#include "history/HistoryData.h"
#include "settings/Options.h"
#include "station/ImportHandoverSocket.h"
#include "station/SimulatedStation.h"
#include "ui/Commands.h"
#include "ui/DesktopWorkspace.h"
#include "ui/HWManagerLink.h"
#include "ui/MainFrame.h"
#include "ui/StatusBar.h"

#include "FileSizeLimit.h"
#include "TempDir.h"
#include "UiTests.h"

#include <QDialog>
#include <QProcess>
#include <QtTest>

#include <sys/stat.h>

namespace {

constexpr int Bound = 60000; // ms; only ends a hang
constexpr std::uintmax_t RecordSize = 56;

struct Cli {
    int exitCode = -1;
    QString out, err;
};

} // namespace

class HandoverTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_folder = std::make_unique<TempDir>();
        const auto runtime = *m_folder / "run";
        std::filesystem::create_directory(runtime);
        ::chmod(runtime.c_str(), 0700);
        m_oldRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QByteArray(runtime.c_str())); // the command line inherits it
        m_history = *m_folder / "history.nvh";
        m_port = "sim:" + (*m_folder / "station.img").string();
        const Cli created = RunCli({"sim", "create", "station.img", "--transmitters", "3", "--datasets", "20",
                                    "--start", "2005-01-17T14:35"});
        m_portText = QString::fromStdString(m_port);
        QCOMPARE(created.exitCode, 0);
        Options().SetLanguageID(1033);
        Options().SetNrOfTransmitters(6); // until the first ping reads the station's 3
        Options().SetPort(m_port);
        Options().SetRecordingHistoryFile(m_history);
    }
    void cleanup() {
        Options().SetRecordingHistoryFile(Options().GetDefaultHistoryFile());
        Options().SetPort("sim");
        qputenv("XDG_RUNTIME_DIR", m_oldRuntime);
        m_folder.reset();
    }

    void theCommandLineImportRunsInTheWindowHoldingThePort() {
        SimulatedStationSetup setup; // the virtual clock; the station holds what its image holds
        setup.recordingIntervalMinutes = 0;
        CHWManagerLink link(StationPortFactory(setup));
        DesktopWorkspace history;
        CMainFrame frame(history, link);
        InstallCommands(frame);
        frame.show();
        QVERIFY(link.IsRunning());
        QTRY_COMPARE_WITH_TIMEOUT(Options().GetNrOfTransmitters(), 3, Bound); // the station answered

        // The window holds the station: a command of its own finds it in use.
        const Cli ping = RunCli({"--port", m_portText, "ping"});
        QCOMPARE(ping.exitCode, 2);
        QVERIFY2(ping.err.contains(QStringLiteral("in use by another program")), qPrintable(ping.err));

        const QStringList import{"--port", m_portText, "import"};
        {
            // The window's import fails: its append does not fit. The command says why.
            FileSizeLimit full(RecordSize * 5);
            const Cli failed = RunCli(import);
            QCOMPARE(failed.exitCode, 2);
            QVERIFY2(failed.err.contains(
                         QStringLiteral("nivaro-cli: import from port '%1' failed: ").arg(m_portText)) &&
                         failed.err.contains(QStringLiteral("File too large")),
                     qPrintable(failed.err));
            QVERIFY(failed.out.isEmpty());
        }
        QCOMPARE(FileSize(m_history), std::uintmax_t(0));

        const Cli first = RunCli(import);
        QVERIFY2(first.exitCode == 0, qPrintable(first.err));
        QVERIFY2(first.out.contains(QStringLiteral("Appended:                  20\n")),
                 qPrintable(first.out));
        QVERIFY2(first.err.contains(QStringLiteral("is held by the desktop program (process %1)")
                                        .arg(QCoreApplication::applicationPid())),
                 qPrintable(first.err));
        // The window's own history took them, and shows them.
        QCOMPARE(FileSize(m_history), 20 * RecordSize);
        QCOMPARE(history.Recording().Size(), std::size_t(20));
        QTRY_VERIFY(RecordingPane(frame).endsWith(QStringLiteral("(20)")));
        QCOMPARE(frame.FailedPings(), 0);
        QVERIFY(frame.IsPolling()); // the pings go on after the import

        // Again, while the window shows a dialog: the import waits for it, and the command line says so.
        QDialog options(&frame);
        options.setWindowTitle(QStringLiteral("Options"));
        options.setModal(true);
        options.show();
        QProcess waiting;
        waiting.setWorkingDirectory(QString::fromStdString(m_folder->path().string()));
        waiting.start(QStringLiteral(NIVARO_CLI_PATH), import);
        QString waitingErr;
        QTRY_VERIFY_WITH_TIMEOUT(
            (waitingErr += QString::fromUtf8(waiting.readAllStandardError()))
                .contains(QStringLiteral("nivaro-cli: waiting: the desktop program shows "
                                         "a dialog ('Options')")),
            Bound);
        QCOMPARE(waiting.state(), QProcess::Running);
        options.close();
        QTRY_COMPARE_WITH_TIMEOUT(waiting.state(), QProcess::NotRunning, Bound);
        QCOMPARE(waiting.exitCode(), 0);
        QVERIFY(QString::fromUtf8(waiting.readAllStandardOutput())
                    .contains(QStringLiteral("Appended:                  0\n")));

        QCOMPARE(FileSize(m_history), 20 * RecordSize); // once

        // A command line that imports into another history is not served by this window.
        const Cli other = RunCli({"--port", m_portText, "--history", "other.nvh", "import"});
        QCOMPARE(other.exitCode, 2);
        QVERIFY2(other.err.contains(QStringLiteral("did not run the import: the desktop program holding the "
                                                   "port records into")),
                 qPrintable(other.err));
        QVERIFY(!std::filesystem::exists(*m_folder / "other.nvh"));

        // Closed, the window takes its socket along and the command line imports itself again.
        const std::filesystem::path socket = HandoverSocketPath(m_port).value();
        QVERIFY(std::filesystem::exists(socket));
        frame.close();
        QVERIFY(!std::filesystem::exists(socket));
        const Cli alone = RunCli(import);
        QVERIFY2(alone.exitCode == 0, qPrintable(alone.err));
        QVERIFY(!alone.err.contains(QStringLiteral("held by")));
    }

private:
    // Runs the built nivaro-cli in the folder while this process's event loop goes on.
    Cli RunCli(const QStringList& args) {
        QProcess process;
        process.setWorkingDirectory(QString::fromStdString(m_folder->path().string()));
        process.start(QStringLiteral(NIVARO_CLI_PATH), args);
        if (!process.waitForStarted())
            return {};
        if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, Bound)) {
            process.kill(); // a hang: the checks on its exit code fail
            process.waitForFinished();
            return {};
        }
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }
    static std::uintmax_t FileSize(const std::filesystem::path& file) {
        std::error_code error;
        const auto size = std::filesystem::file_size(file, error);
        return error ? 0 : size;
    }
    static QString RecordingPane(CMainFrame& frame) {
        QString text;
        frame.StatusBar()->GetPaneText(CMPSBarWithAnimation::RecordingPane, text);
        return text;
    }

    std::unique_ptr<TempDir> m_folder;
    std::filesystem::path m_history;
    std::string m_port;
    QString m_portText;
    QByteArray m_oldRuntime;
};

static RegisterUiTest<HandoverTest> registerHandoverTest;

#include "HandoverTest.moc"
