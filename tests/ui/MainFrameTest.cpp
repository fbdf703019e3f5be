#include "ui/MainFrame.h"
#include "settings/Options.h"
#include "station/SimulatedStation.h"
#include "ui/CommandIds.h"
#include "ui/DataModel.h"
#include "ui/DataView.h"
#include "ui/HWManagerLink.h"
#include "ui/StatusBar.h"
#include "ui/UserMessage.h"

#include "Fakes.h"
#include "PseudoTerminal.h"
#include "UiTests.h"

#include <QMenuBar>
#include <QToolBar>
#include <QtTest>

#include <thread>

namespace {

QString PaneText(CMainFrame& frame, int pane) {
    QString text;
    frame.StatusBar()->GetPaneText(pane, text);
    return text;
}

QString LinkIcon(CMainFrame& frame) {
    return frame.StatusBar()->PaneIconName(CMPSBarWithAnimation::LinkPane);
}

} // namespace

class MainFrameTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        COptionsImpl& options = Options();
        options.SetLanguageID(1033);
        options.SetVersion(0);
        options.SetNrOfTransmitters(6);
        options.SetTemperatureFormat(0);
    }

    void columnsFollowTheTransmitterCount() {
        FakeHistory history;
        FakeLink link;
        CMainFrame frame(history, link);
        QCOMPARE(frame.View()->Model()->columnCount(), 4); // no count read yet
        // The ping on the worker thread stores the count and posts.
        std::thread worker([&] {
            Options().SetNrOfTransmitters(3);
            frame.Observer().lock()->TransmittersChanged(3);
        });
        worker.join();
        QTRY_COMPARE(frame.View()->Model()->columnCount(), 10);
        QCOMPARE(frame.View()->Model()->headerData(8, Qt::Horizontal).toString(),
                 QStringLiteral("Temperature 3 (°C)"));
        QCOMPARE(frame.View()->Model()->headerData(9, Qt::Horizontal).toString(),
                 QStringLiteral("Humidity 3 (%)"));
        Options().SetNrOfTransmitters(0);
        frame.Observer().lock()->TransmittersChanged(0);
        QTRY_COMPARE(frame.View()->Model()->columnCount(), 4);
    }

    void historyChangeFromAWorkerThreadUpdatesStatusBarAndRows() {
        FakeHistory history;
        FakeLink link;
        CMainFrame frame(history, link);
        QCOMPARE(frame.View()->Model()->rowCount(), 0);
        std::thread worker([&] { history.SetRows(7); });
        worker.join();
        QTRY_COMPARE(frame.View()->Model()->rowCount(), 7);
        QCOMPARE(PaneText(frame, CMPSBarWithAnimation::RecordingPane), QStringLiteral("history.nvh (7)"));
        QCOMPARE(PaneText(frame, CMPSBarWithAnimation::DisplayedPane), QStringLiteral("history.nvh (7)"));
        QCOMPARE(frame.View()->Model()->data(frame.View()->Model()->index(6, 0)).toString(),
                 QStringLiteral("6"));
        QCOMPARE(frame.View()->Model()->data(frame.View()->Model()->index(6, 2)).toString(),
                 QStringLiteral("6:2"));
    }

    void switchingTheLanguageRebuildsMenusTitleAndColumns() {
        Options().SetVersion(1);
        FakeHistory history;
        FakeLink link;
        CMainFrame frame(history, link);
        QCOMPARE(frame.windowTitle(), QStringLiteral("Nivaro Weather Station"));
        QCOMPARE(frame.menuBar()->actions().at(0)->text(), QStringLiteral("&File"));

        const struct {
            std::uint16_t language;
            const char* file;
            const char* title;
            const char* indoorTemperature;
        } cases[] = {{1031, "&Datei", "Nivaro Wetterstation", "Temperatur Innen (°C)"},
                     {1036, "&Fichier", "Nivaro Station météo", "Température Intérieur (°C)"},
                     {1033, "&File", "Nivaro Weather Station", "Temperature Indoor (°C)"}};
        for (const auto& c : cases) {
            Options().SetLanguageID(c.language);
            frame.ApplyOptionsChanges({.language = true});
            QCOMPARE(frame.menuBar()->actions().at(0)->text(), QString::fromUtf8(c.file));
            QCOMPARE(frame.windowTitle(), QString::fromUtf8(c.title));
            QCOMPARE(frame.View()->Model()->headerData(2, Qt::Horizontal).toString(),
                     QString::fromUtf8(c.indoorTemperature));
        }
        // Menu actions carry their command ids.
        const QList<QAction*> fileMenu = frame.menuBar()->actions().at(0)->menu()->actions();
        QCOMPARE(fileMenu.at(0)->data().toInt(), Command::FileOpen);
        QVERIFY(fileMenu.at(1)->isSeparator());
        QCOMPARE(fileMenu.at(4)->data().toInt(), Command::FileExit);
    }

    void aLanguageWithoutMenuFallsBackToEnglish() {
        Options().SetLanguageID(1040);
        FakeHistory history;
        FakeLink link;
        CMainFrame frame(history, link);
        QCOMPARE(frame.MenuLanguage(), std::uint16_t(1033));
        QCOMPARE(frame.menuBar()->actions().size(), 4);
        QCOMPARE(frame.menuBar()->actions().at(0)->text(), QStringLiteral("&File"));
    }

    void toolbarHasTheButtonsInOrder() {
        FakeHistory history;
        FakeLink link;
        CMainFrame frame(history, link);
        QList<int> ids;
        for (QAction* action : frame.ToolBar()->actions())
            ids.append(action->isSeparator() ? 0 : action->data().toInt());
        QCOMPARE(ids, (QList<int>{Command::FileOpen, 0, Command::DataImport, Command::DataExport,
                                  Command::DataDelete, 0, Command::FilePrint, 0, Command::DataChart,
                                  Command::DataStatistics, 0, Command::About}));
    }

    void failedPingsTurnTheLinkIconAndPingAgainAtOnce() {
        FakeHistory history;
        FakeLink link;
        CMainFrame frame(history, link);
        QVERIFY(frame.IsPolling());
        QCOMPARE(link.pings, 1); // the first ping goes out at creation
        QCOMPARE(LinkIcon(frame), QStringLiteral("connected"));

        link.FinishPing(false);
        QTRY_COMPARE(LinkIcon(frame), QStringLiteral("disconnected"));
        QCOMPARE(frame.FailedPings(), 1);
        QCOMPARE(link.pings, 2); // re-pinged without waiting for the timer

        link.FinishPing(false);
        QTRY_COMPARE(frame.FailedPings(), 2);
        QCOMPARE(link.pings, 3);

        link.FinishPing(true);
        QTRY_COMPARE(LinkIcon(frame), QStringLiteral("connected"));
        QCOMPARE(frame.FailedPings(), 0);
        QCOMPARE(link.pings, 3); // a good ping waits for the timer
    }

    void aPortThatDoesNotOpenLeavesTheLinkDisconnectedAndUnpolled() {
        FakeHistory history;
        FakeLink link;
        link.startFailure = "Could not open com-port /dev/ttyUSB7 Permission denied";
        CMainFrame frame(history, link);
        QVERIFY(!frame.IsPolling());
        QCOMPARE(LinkIcon(frame), QStringLiteral("disconnected"));
        // Import shows no dialog while the manager is stopped, but says why.
        bool dialogShown = false;
        frame.SetImportDialog([&](CMainFrame&) { dialogShown = true; });
        QStringList messages;
        SetUserMessageHook([&](QWidget*, MessageKind, const QString& text) { messages.append(text); });
        frame.OnCommand(Command::DataImport);
        LogUserMessages();
        QVERIFY(!dialogShown);
        QCOMPARE(
            messages,
            QStringList{QStringLiteral("No station answers on port %1: Could not open com-port /dev/ttyUSB7 "
                                       "Permission denied. "
                                       "Check the cable and the port in the options.")
                            .arg(QString::fromStdString(Options().GetPort()))});
    }

    // The real link on a device that opens but is no serial port: the system's reason reaches the user.
    void aPortThatIsNotASerialPortIsNamedWithTheSystemsReason() {
        const PseudoTerminal terminal;
        const std::string port = Options().GetPort();
        Options().SetPort(terminal.Device());
        FakeHistory history;
        CHWManagerLink link(StationPortFactory({}));
        CMainFrame frame(history, link);
        QVERIFY(!link.IsRunning());
        QStringList messages;
        SetUserMessageHook([&](QWidget*, MessageKind, const QString& text) { messages.append(text); });
        frame.OnCommand(Command::DataImport);
        LogUserMessages();
        QCOMPARE(messages.size(), 1);
        const QString device = QString::fromStdString(terminal.Device());
        QVERIFY2(
            messages.front().startsWith(
                QStringLiteral("No station answers on port %1: Could not set DCB (%1 is not a serial port "
                               "with modem lines)")
                    .arg(device)),
            qPrintable(messages.front()));
        Options().SetPort(port);
    }

    void importPausesThePingsAndResumesThemAfterwards() {
        FakeHistory history;
        FakeLink link;
        CMainFrame frame(history, link);
        bool pollingDuringDialog = true;
        frame.SetImportDialog([&](CMainFrame& f) { pollingDuringDialog = f.IsPolling(); });
        frame.OnCommand(Command::DataImport);
        QVERIFY(!pollingDuringDialog);
        QCOMPARE(link.aborts, 1); // the ping still in the list was asked to abort
        QVERIFY(frame.IsPolling());
    }

    // On the real clock the import's abort reaches the ping under way: the ping fails for that
    // reason alone, and the link must not turn red for it.
    void aPingStoppedForAnImportLeavesTheLinkConnected() {
        FakeHistory history;
        FakeLink link;
        CMainFrame frame(history, link);
        QString iconDuringImport, tipDuringImport;
        frame.SetImportDialog([&](CMainFrame&) {
            link.FinishPing(false); // the aborted ping comes back failed
            QTRY_VERIFY(!link.Queued());
            iconDuringImport = LinkIcon(frame);
            tipDuringImport = frame.StatusBar()->PaneToolTip(CMPSBarWithAnimation::LinkPane);
        });
        frame.OnCommand(Command::DataImport);
        QCOMPARE(iconDuringImport, QStringLiteral("connected"));
        QCOMPARE(tipDuringImport, QStringLiteral("Importing from the station on port %1")
                                      .arg(QString::fromStdString(Options().GetPort())));
        QCOMPARE(frame.FailedPings(), 0);
        QCOMPARE(LinkIcon(frame), QStringLiteral("connected"));
        QCOMPARE(
            frame.StatusBar()->PaneToolTip(CMPSBarWithAnimation::LinkPane),
            QStringLiteral("Station connected on port %1").arg(QString::fromStdString(Options().GetPort())));
    }

    void optionsWithANewPortRestartTheLink() {
        FakeHistory history;
        FakeLink link;
        CMainFrame frame(history, link);
        link.startFailure = "Could not open com-port sim:/nowhere/station.img";
        frame.SetOptionsDialog([](CMainFrame&) { return OptionsChange{.port = true}; });
        frame.OnCommand(Command::ExtrasOptions);
        QVERIFY(!link.IsRunning());
        QVERIFY(frame.IsPolling()); // the timer runs again even on a port that did not open
        QCOMPARE(LinkIcon(frame), QStringLiteral("disconnected"));
    }

    void closingStopsTheLinkAndReportsClosed() {
        FakeHistory history;
        FakeLink link;
        CMainFrame frame(history, link);
        QSignalSpy closed(&frame, &CMainFrame::Closed);
        frame.show();
        frame.OnCommand(Command::FileExit);
        QCOMPARE(closed.count(), 1);
        QVERIFY(!link.IsRunning());
        QVERIFY(!frame.IsPolling());
        QCOMPARE(link.aborts, 1);
    }
};

static RegisterUiTest<MainFrameTest> registerMainFrameTest;

#include "MainFrameTest.moc"
