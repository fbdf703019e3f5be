// The import progress dialog against the simulated station on the real hardware manager.
#include "history/HistoryData.h"
#include "history/HistoryRecord.h"
#include "settings/Options.h"
#include "station/Hardware.h"
#include "station/StationImage.h"
#include "ui/DataImportDlg.h"
#include "ui/HWManagerLink.h"

#include "FileSizeLimit.h"
#include "GatedPort.h"
#include "TempDir.h"
#include "UiTests.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

namespace {

constexpr int Bound = 20000; // ms; only ends a hang

ReadPositionBytes ReadPosition(GatedPort& port) {
    return port.With([](SimulatedSerialPort& station) {
        return SummarizeStationImage(station.eeprom().bytes()).readPosition;
    });
}

} // namespace

class ImportDialogTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_folder = std::make_unique<TempDir>();
        m_history = *m_folder / "history.nvh";
        Options().SetRecordingHistoryFile(m_history);
        m_recording = std::make_unique<CHistoryData>();
        m_port = std::make_shared<GatedPort>();
        m_port->With([](SimulatedSerialPort& station) {
            StationImageSpec spec;
            spec.transmitters = 3;
            spec.measurements = 120;
            station.eeprom().bytes() = CreateStationImage(spec);
        });
        m_link = std::make_unique<CHWManagerLink>(m_port);
        QVERIFY(m_link->Start("sim"));
    }
    void cleanup() {
        m_port->Release();
        m_link.reset();
        m_recording.reset();
        // Later tests use the start-up folder's history file again.
        Options().SetRecordingHistoryFile(Options().GetDefaultHistoryFile());
        Options().SetLanguageID(1033);
        m_folder.reset();
    }

    void aSuccessfulReadAppendsTheDatasetsAndClosesWithOne() {
        CDataImportDlg dialog(*m_link, *m_recording);
        QSignalSpy finished(&dialog, &QDialog::finished);
        dialog.show();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, Bound);
        QCOMPARE(finished.at(0).at(0).toInt(), CDataImportDlg::Succeeded);
        QCOMPARE(m_recording->Size(), std::size_t(120));
        CHistoryData file;
        QVERIFY(file.Read(m_history));
        QCOMPARE(file.Size(), std::size_t(120));
        // Steps are reported before each block: the last one shows the last block under way.
        QVERIFY(dialog.Progress()->value() > dialog.Progress()->maximum() / 2);
        QCOMPARE(ReadPosition(*m_port), EncodeReadPosition(file.At(119).GetDateTime().Value(), 119, 3));
    }

    void queuingIsRetriedWhileTheLinkHoldsAnotherRequest() {
        // A request of someone else still in the list: the dialog waits for it to go.
        struct Idle : CHWRequest {
            Idle() : CHWRequest({}) {}
            void Execute(CI2CDriver&) override { SetSucceeded(true); }
            std::string Name() const override { return "Idle"; }
        };
        const auto idle = std::make_shared<Idle>();
        QVERIFY(m_link->AddRequest(idle));
        CDataImportDlg dialog(*m_link, *m_recording);
        QSignalSpy finished(&dialog, &QDialog::finished);
        dialog.show();
        QTest::qWait(3 * CDataImportDlg::RetryMs); // a few refused attempts
        QVERIFY(!dialog.Request());
        QTRY_VERIFY_WITH_TIMEOUT(idle->Succeeded(), Bound);
        QCOMPARE(m_link->TakeRequest(), StationLink::RequestPtr(idle));
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, Bound);
        QCOMPARE(finished.at(0).at(0).toInt(), CDataImportDlg::Succeeded);
        QCOMPARE(m_recording->Size(), std::size_t(120));
    }

    void cancelClosesWithTwoOnlyWhenTheAbortIsReported() {
        const ReadPositionBytes before = ReadPosition(*m_port);
        m_port->Hold(); // the worker stops at its first port call
        CDataImportDlg dialog(*m_link, *m_recording);
        QSignalSpy finished(&dialog, &QDialog::finished);
        dialog.show();
        QTRY_VERIFY_WITH_TIMEOUT(m_port->WorkerWaiting(), Bound);
        QVERIFY(dialog.Request());
        QTest::mouseClick(dialog.CancelButton(), Qt::LeftButton);
        QCoreApplication::processEvents();
        QCOMPARE(finished.count(), 0); // still running: the dialog waits for the report
        QVERIFY(dialog.isVisible());
        m_port->Release();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, Bound);
        QCOMPARE(finished.at(0).at(0).toInt(), CDataImportDlg::Cancelled);
        QCOMPARE(m_recording->Size(), std::size_t(0));
        QCOMPARE(ReadPosition(*m_port), before);
    }

    void anInvalidNewestDatasetIsExplainedUntilTheStationRecordsAgain() {
        m_port->With([](SimulatedSerialPort& station) {
            CDataset broken = NextMeasurement(station.eeprom().bytes(), 5, 1);
            CDateTime invalid;
            invalid.SetStatus(CDateTime::invalid);
            broken.SetDateTime(invalid);
            AppendMeasurement(station.eeprom().bytes(), broken);
        });
        CDataImportDlg dialog(*m_link, *m_recording);
        QSignalSpy finished(&dialog, &QDialog::finished);
        dialog.show();
        auto* label = dialog.findChild<QLabel*>();
        QVERIFY(label);
        const QString reason =
            QStringLiteral("The newest dataset in the station has an invalid date and time. The "
                           "station's next measurement clears it; the import then goes on by "
                           "itself.");
        QTRY_COMPARE_WITH_TIMEOUT(label->text(), reason, Bound);
        QVERIFY(label->wordWrap());
        QCOMPARE(finished.count(), 0);
        QCOMPARE(m_recording->Size(), std::size_t(0));

        m_port->With([](SimulatedSerialPort& station) {
            AppendMeasurement(station.eeprom().bytes(), NextMeasurement(station.eeprom().bytes(), 5, 1));
        });
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, Bound);
        QCOMPARE(finished.at(0).at(0).toInt(), CDataImportDlg::Succeeded);
        QCOMPARE(m_recording->Size(), std::size_t(121)); // all but the invalid one
    }

    // A history file that cannot take the datasets: the dialog says why while it tries again, and
    // the station keeps its read position; once the file can grow, the import goes through.
    void aFailedAttemptIsExplainedWithItsReason() {
        const ReadPositionBytes before = ReadPosition(*m_port);
        auto full = std::make_unique<FileSizeLimit>(HistoryRecordSize);
        CDataImportDlg dialog(*m_link, *m_recording);
        QSignalSpy finished(&dialog, &QDialog::finished);
        dialog.show();
        QTRY_VERIFY_WITH_TIMEOUT(dialog.StateLabel()->text().contains(QStringLiteral("File too large")),
                                 Bound);
        QVERIFY2(dialog.StateLabel()->text().startsWith(
                     QStringLiteral("The last attempt failed: Appending to history file")),
                 qPrintable(dialog.StateLabel()->text()));
        QCOMPARE(finished.count(), 0);
        QCOMPARE(ReadPosition(*m_port), before);
        full.reset();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, Bound);
        QCOMPARE(finished.at(0).at(0).toInt(), CDataImportDlg::Succeeded);
        QCOMPARE(m_recording->Size(), std::size_t(120));
    }

private:
    std::unique_ptr<TempDir> m_folder;
    std::filesystem::path m_history;
    std::shared_ptr<GatedPort> m_port;
    std::unique_ptr<CHWManagerLink> m_link;
    std::unique_ptr<CHistoryData> m_recording; // the window's recording store
};

static RegisterUiTest<ImportDialogTest> registerImportDialogTest;

#include "ImportDialogTest.moc"
