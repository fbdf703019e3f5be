#include "ui/StatisticsPanel.h"
#include "history/HistoryData.h"
#include "history/StatisticsText.h"
#include "settings/Options.h"
#include "station/StationImage.h"
#include "ui/CommandIds.h"
#include "ui/DataImportDlg.h"
#include "ui/DesktopWorkspace.h"
#include "ui/FileDialogs.h"
#include "ui/HWManagerLink.h"
#include "ui/MainFrame.h"
#include "ui/StatisticsModel.h"

#include "Fakes.h"
#include "GatedPort.h"
#include "TempDir.h"
#include "UiTests.h"

#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QPrintDialog>
#include <QPrinter>
#include <QTableView>
#include <QThreadPool>
#include <QToolBar>
#include <QtTest>

namespace {

constexpr int Bound = 20000; // ms; only ends a hang

CDataset Measured(const CDateTime& at, float indoor, float humidity) {
    CDataset dataset;
    dataset.SetDateTime(at);
    dataset.SetTemperature(0, indoor);
    dataset.SetHumidity(0, humidity);
    return dataset;
}

// Three days across a year's end, all in ISO week 1 of 2025.
void YearsEnd(DatasetsHistory& history) {
    history.datasets = {Measured(CDateTime(2024, 12, 30, 6, 0, 0), 20.0f, 40.0f),
                        Measured(CDateTime(2024, 12, 31, 12, 0, 0), 25.0f, 50.0f),
                        Measured(CDateTime(2025, 1, 1, 0, 0, 0), 15.0f, 45.0f)};
}

// Waits until the rows of the latest request are in the table.
bool RowsCome(CStatisticsPanel& panel) {
    QSignalSpy shown(&panel, &CStatisticsPanel::RowsShown);
    while (panel.Computing())
        if (!shown.wait(Bound))
            return false;
    return true;
}

// count datasets an hour apart from 2024-01-01, values running through a cycle of a day.
std::vector<CDataset> Hourly(int count) {
    std::vector<CDataset> datasets;
    for (int i = 0; i < count; ++i)
        datasets.push_back(Measured(CDateTime(CDateTime(2024, 1, 1, 0, 0, 0).Value() + i / 24.0),
                                    float(i % 24) - 5.0f, float(40 + i % 31)));
    return datasets;
}

// The rows as the CSV writes them, to compare them with a summary computed here.
std::string Csv(std::span<const Summary> summaries) {
    return StatisticsCsv(summaries, false);
}

QStringList Row(const CStatisticsPanel& panel, int row) {
    QStringList cells;
    for (int column = 0; column < CStatisticsModel::ColumnCount; ++column)
        cells.append(panel.Model()->CellText(row, column));
    return cells;
}

} // namespace

class StatisticsPanelTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        Options().SetLanguageID(1033);
        Options().SetNrOfTransmitters(1);
        Options().SetTemperatureFormat(0);
        Options().SetDateFormat(0);
        Options().SetTimeFormat(0);
    }
    void cleanup() {
        init();
        SetFileDialogHook({});
    }

    void rowsFollowThePeriodAndTheRange() {
        DatasetsHistory history;
        YearsEnd(history);
        CStatisticsPanel panel(history);
        panel.SetPeriodKind(PeriodKind::Year);
        QVERIFY(RowsCome(panel));
        QCOMPARE(panel.Model()->rowCount(), 4);
        QCOMPARE(Row(panel, 0), (QStringList{"2024", "Indoor temperature", "2", "20.0 °C", "30.12.2024 06:00",
                                             "25.0 °C", "31.12.2024 12:00", "22.50 °C"}));
        QCOMPARE(Row(panel, 3), (QStringList{"2025", "Indoor humidity", "1", "45 %", "01.01.2025 00:00",
                                             "45 %", "01.01.2025 00:00", "45.00 %"}));
        QCOMPARE(panel.Model()->headerData(4, Qt::Horizontal).toString(), QStringLiteral("Time of minimum"));

        panel.SetPeriodKind(PeriodKind::Week);
        QVERIFY(RowsCome(panel));
        QCOMPARE(panel.Model()->rowCount(), 2);
        QCOMPARE(panel.Model()->CellText(0, 0), QStringLiteral("2025-W01"));
        QCOMPARE(panel.Model()->CellText(0, 2), QStringLiteral("3"));

        // Both days included; the day fields started at the history's first and last day.
        panel.SetRange(QDate(2024, 12, 31), QDate(2025, 1, 1));
        QVERIFY(RowsCome(panel));
        QCOMPARE(panel.Model()->CellText(0, 2), QStringLiteral("2"));
        QCOMPARE(panel.Model()->CellText(0, 7), QStringLiteral("20.00 °C"));
        panel.SetRange(std::nullopt, QDate(2024, 12, 30));
        panel.SetPeriodKind(PeriodKind::Day);
        QVERIFY(RowsCome(panel));
        QCOMPARE(panel.Model()->rowCount(), 2);
        QCOMPARE(panel.Model()->CellText(0, 0), QStringLiteral("30.12.2024"));

        panel.SetRange(QDate(2026, 1, 1), std::nullopt);
        QVERIFY(RowsCome(panel));
        QCOMPARE(panel.Model()->rowCount(), 0);
        QCOMPARE(panel.StatusText(), QStringLiteral("No measurements to summarise"));
    }

    void optionsChangeTextsUnitAndFormats() {
        DatasetsHistory history;
        YearsEnd(history);
        CStatisticsPanel panel(history);
        panel.show();
        panel.SetPeriodKind(PeriodKind::Month);
        Options().SetLanguageID(1031);
        Options().SetTemperatureFormat(1);
        Options().SetDateFormat(4);
        panel.OnOptionsChanged({.language = true, .format = true});
        QVERIFY(panel.Computing());
        QCOMPARE(panel.Model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Zeitraum"));
        QVERIFY(RowsCome(panel));
        QCOMPARE(Row(panel, 0), (QStringList{"2024-12", "Innentemperatur", "2", "68.0 °F", "2024-12-30 06:00",
                                             "77.0 °F", "2024-12-31 12:00", "72.50 °F"}));
        QCOMPARE(panel.findChild<QComboBox*>(QStringLiteral("period"))->currentText(),
                 QStringLiteral("Monat"));
    }

    // The rows are computed while the window runs on, and are those a direct summary gives; a
    // change of the history while they are computed brings the rows of the history changed.
    void rowsAreComputedAsideAndFollowAChangeMadeMeanwhile() {
        DatasetsHistory history;
        history.datasets = Hourly(24 * 400);
        CStatisticsPanel panel(history);
        panel.show();
        QSignalSpy shown(&panel, &CStatisticsPanel::RowsShown);
        panel.SetPeriodKind(PeriodKind::Day);
        QVERIFY(panel.Computing());
        QCOMPARE(panel.StatusText(), QStringLiteral("Computing the statistics …"));
        QCOMPARE(panel.Model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Measurement"));
        QVERIFY(RowsCome(panel));
        QCOMPARE(shown.count(), 1);
        QCOMPARE(panel.StatusText(), QString());
        QCOMPARE(Csv(panel.Model()->Summaries()), Csv(Summarize(history.datasets, PeriodKind::Day)));
        QCOMPARE(panel.Model()->rowCount(), 400 * 2);

        panel.SetPeriodKind(PeriodKind::Month);
        const std::vector<CDataset> more = Hourly(24 * 500);
        history.datasets.assign(more.begin(), more.end()); // what the running request read stays
        panel.Invalidate();
        QVERIFY(RowsCome(panel));
        QCOMPARE(Csv(panel.Model()->Summaries()), Csv(Summarize(more, PeriodKind::Month)));
        QCOMPARE(panel.Model()->CellText(panel.Model()->rowCount() - 1, 0), QStringLiteral("05.2025"));
    }

    // Requests one after the other: only the newest one's rows are shown, whichever finishes
    // first.
    void theNewestRequestIsTheOneShown() {
        DatasetsHistory history;
        history.datasets = Hourly(24 * 400);
        CStatisticsPanel panel(history);
        QSignalSpy shown(&panel, &CStatisticsPanel::RowsShown);
        panel.SetPeriodKind(PeriodKind::Day);
        panel.SetPeriodKind(PeriodKind::Year);
        QVERIFY(RowsCome(panel));
        QVERIFY(QThreadPool::globalInstance()->waitForDone(Bound));
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QCOMPARE(shown.count(), 1);
        QCOMPARE(Csv(panel.Model()->Summaries()), Csv(Summarize(history.datasets, PeriodKind::Year)));
    }

    // The main window on the desktop's own history store closes while the rows of a large history
    // are computed, and an import then appends to the store the computation reads a snapshot of.
    void closingTheWindowWhileRowsAreComputedIsSafe() {
        TempDir folder;
        const std::filesystem::path file = folder / "history.nvh";
        Options().SetRecordingHistoryFile(file);
        DesktopWorkspace history;
        QVERIFY(history.Recording().Append(file, Hourly(24 * 2000)));
        QVERIFY(history.ReadRecording(file));
        FakeLink link;
        auto frame = std::make_unique<CMainFrame>(history, link);
        frame->ShowStatistics(true);
        frame->show();
        frame->Statistics()->SetPeriodKind(PeriodKind::Day);
        QVERIFY(frame->Statistics()->Computing());
        frame->close();
        frame.reset();
        QVERIFY(history.Recording().Append(file, {Measured(CDateTime(2030, 1, 1, 0, 0, 0), 1.0f, 50.0f)}));
        QVERIFY(QThreadPool::globalInstance()->waitForDone(Bound));
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QCOMPARE(history.DisplayedCount(), std::size_t(24 * 2000 + 1));
        Options().SetRecordingHistoryFile(Options().GetDefaultHistoryFile());
    }

    void savesCsvAndSaysWhenItCannot() {
        DatasetsHistory history;
        YearsEnd(history);
        CStatisticsPanel panel(history);
        panel.SetPeriodKind(PeriodKind::Year);
        TempDir folder;
        const QString file = QString::fromStdString((folder / "stats.csv").string());
        QVERIFY(panel.SaveCsv(file));
        const std::string csv = ReadWholeFile(folder / "stats.csv");
        QCOMPARE(
            QString::fromStdString(csv.substr(0, csv.find("\r\n", csv.find("\r\n") + 2))),
            QStringLiteral("period,quantity,unit,count,min,min_at,max,max_at,mean\r\n"
                           "2024,indoor_temperature,°C,2,20.0,2024-12-30T06:00,25.0,2024-12-31T12:00,22.50"));

        const QString intoFolder = QString::fromStdString(folder.path().string());
        QVERIFY(!panel.SaveCsv(intoFolder));
        QVERIFY(panel.StatusText().contains(intoFolder));
    }

    void theMainWindowTogglesItAndRoutesPrintAndExport() {
        DatasetsHistory history;
        YearsEnd(history);
        FakeLink link;
        CMainFrame frame(history, link);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QVERIFY(!frame.IsStatisticsShown());
        QTest::keyClick(&frame, Qt::Key_T, Qt::ControlModifier);
        QVERIFY(frame.IsStatisticsShown());
        QTRY_COMPARE(frame.Statistics()->Model()->rowCount(), 4); // by month
        int checked = 0;
        QList<QAction*> actions = frame.ToolBar()->actions();
        for (QAction* popup : frame.menuBar()->actions())
            actions += popup->menu()->actions();
        for (QAction* action : actions)
            if (action->data().toInt() == Command::DataStatistics && action->isChecked())
                ++checked;
        QCOMPARE(checked, 2); // the Data menu's entry and the toolbar button

        TempDir folder;
        const QString file = QString::fromStdString((folder / "statistics.csv").string());
        SetFileDialogHook([&](QWidget*, const FileDialogRequest& request) -> std::optional<QString> {
            return request.pattern == QStringLiteral("*.csv") ? std::optional(file) : std::nullopt;
        });
        frame.OnCommand(Command::DataExport);
        QVERIFY(ReadWholeFile(folder / "statistics.csv").rfind("period,quantity,", 0) == 0);

        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString((folder / "statistics.pdf").string()));
        QTimer::singleShot(0, [] {
            if (auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget()))
                dialog->accept();
        });
        QCOMPARE(frame.Statistics()->Print(printer), 1);
        QVERIFY(std::filesystem::file_size(folder / "statistics.pdf") > 0);

        frame.OnCommand(Command::DataChart); // the chart takes the statistics' place
        QVERIFY(frame.IsChartShown());
        QVERIFY(!frame.IsStatisticsShown());
    }

    // The main window on the real hardware manager with the simulated station: an import adds
    // datasets, and the statistics shown follow.
    void theViewFollowsAnImport() {
        TempDir folder;
        const std::filesystem::path file = folder / "history.nvh";
        Options().SetRecordingHistoryFile(file);
        WriteWholeFile(file, "");
        DesktopWorkspace history;
        QVERIFY(history.ReadRecording(file));
        QVERIFY(history.OpenDisplayed(file.string()));
        auto port = std::make_shared<GatedPort>();
        port->With([](SimulatedSerialPort& station) {
            StationImageSpec spec;
            spec.transmitters = 1;
            spec.measurements = 120; // every five minutes from 2005-01-17 14:35 to 00:30 the next day
            station.eeprom().bytes() = CreateStationImage(spec);
        });
        CHWManagerLink link(port);
        {
            CMainFrame frame(history, link);
            frame.SetImportDialog([](CMainFrame& f) {
                CDataImportDlg dialog(f.Link(), f.History().Recording(), &f);
                dialog.exec();
            });
            frame.show();
            frame.ShowStatistics(true);
            CStatisticsPanel& panel = *frame.Statistics();
            panel.SetPeriodKind(PeriodKind::Day);
            QCOMPARE(panel.Model()->rowCount(), 0);

            frame.OnCommand(Command::DataImport); // returns when the dialog closed
            QCOMPARE(history.Recording().Size(), std::size_t(120));
            QTRY_COMPARE_WITH_TIMEOUT(panel.Model()->rowCount(), 8, Bound); // 2 days, 4 measurements
            QCOMPARE(panel.Model()->CellText(0, 0), QStringLiteral("17.01.2005"));
            QCOMPARE(panel.Model()->CellText(0, 2), QStringLiteral("113")); // 14:35 to 23:55
            QCOMPARE(panel.Model()->CellText(4, 0), QStringLiteral("18.01.2005"));
            QCOMPARE(panel.Model()->CellText(4, 2), QStringLiteral("7")); // 00:00 to 00:30
            frame.close();
        }
        port->Release();
        Options().SetRecordingHistoryFile(Options().GetDefaultHistoryFile());
    }
};

static RegisterUiTest<StatisticsPanelTest> registerStatisticsPanelTest;

#include "StatisticsPanelTest.moc"
