// The MQTT options dialog and publishing after the desktop's import, against Debian's mosquitto.
#include "ui/MqttOptionsDlg.h"
#include "history/HistoryData.h"
#include "settings/Options.h"
#include "station/StationImage.h"
#include "ui/DesktopPublisher.h"

#include "Fakes.h"
#include "MosquittoBroker.h"
#include "MqttSubscriber.h"
#include "TempDir.h"
#include "UiTests.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

namespace {

std::vector<CDataset> Measurements(int count) {
    std::vector<CDataset> datasets;
    for (int i = 0; i < count; ++i)
        datasets.push_back(MakeMeasurement(CDateTime(2024, 5, 1, 10, i, 0), 1, 7));
    return datasets;
}

} // namespace

class MqttOptionsDlgTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_saved = Options().GetMqtt();
        m_folder = std::make_unique<TempDir>();
        Options().SetLanguageID(1033);
    }
    void cleanup() {
        Options().SetMqtt(m_saved);
        m_folder.reset();
    }

    void ShowsTheOptionsAndOkStoresThem() {
        MqttOptions set;
        set.broker = "mqtt://old:1883";
        set.user = "station";
        Options().SetMqtt(set);
        CMqttOptionsDlg dialog;
        QCOMPARE(dialog.BrokerEdit()->text(), QStringLiteral("mqtt://old:1883"));
        QCOMPARE(dialog.findChildren<QCheckBox*>().value(0)->isChecked(), true);
        dialog.BrokerEdit()->setText(QStringLiteral("  mqtt://new:1884 "));
        QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        const MqttOptions stored = Options().GetMqtt();
        QCOMPARE(stored.broker, std::string("mqtt://new:1884"));
        QCOMPARE(stored.user, std::string("station"));
        QCOMPARE(stored.deviceId.size(), std::size_t(12)); // made once publishing is on
    }

    void TestConnectionSaysWhatHappened() {
        MosquittoBroker broker;
        CMqttOptionsDlg dialog;
        dialog.BrokerEdit()->setText(QString::fromStdString(broker.Url()));
        QTest::mouseClick(dialog.TestButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(dialog.TestButton()->isEnabled(), 10000);
        QCOMPARE(dialog.TestResult()->text(),
                 QStringLiteral("Connected and logged in to %1.").arg(QString::fromStdString(broker.Url())));

        broker.Stop();
        QTest::mouseClick(dialog.TestButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(dialog.TestButton()->isEnabled(), 10000);
        QVERIFY2(dialog.TestResult()->text().contains(QStringLiteral("cannot be reached")),
                 qPrintable(dialog.TestResult()->text()));
        QVERIFY(Options().GetMqtt() == m_saved); // a test stores nothing
    }

    void PublishingAfterAnImportReportsOneLine() {
        const auto recording = *m_folder / "history.nvh";
        Options().SetRecordingHistoryFile(recording);
        CHistoryData recorded;
        QVERIFY(recorded.Append(recording, Measurements(10)));

        MosquittoBroker broker;
        MqttOptions mqtt;
        mqtt.broker = broker.Url();
        Options().SetMqtt(mqtt);
        DesktopPublisher publisher(nullptr);
        QSignalSpy finished(&publisher, &DesktopPublisher::Finished);
        {
            MqttSubscriber archive(broker.Port(), "nivaro/archive");
            publisher.PublishAfterImport(recorded, std::nullopt);
            QVERIFY(finished.wait(10000));
            QCOMPARE(finished.takeFirst().at(0).toString(), QString());
            QCOMPARE(archive.Sync().size(), std::size_t(10));
        }
        broker.Stop();
        publisher.PublishAfterImport(recorded, std::nullopt);
        QVERIFY(finished.wait(10000));
        const QString problem = finished.takeFirst().at(0).toString();
        QVERIFY2(problem.contains(QStringLiteral("cannot be reached")) && !problem.contains('\n'),
                 qPrintable(problem));
    }

private:
    MqttOptions m_saved;
    std::unique_ptr<TempDir> m_folder;
};

static RegisterUiTest<MqttOptionsDlgTest> registerMqttOptionsDlgTest;

#include "MqttOptionsDlgTest.moc"
