// Cell edits against the real history stores and file.
#include "history/HistoryData.h"
#include "settings/Options.h"
#include "ui/DataModel.h"
#include "ui/DataView.h"
#include "ui/DesktopWorkspace.h"
#include "ui/SubEdit.h"
#include "ui/UserMessage.h"

#include "UiTests.h"

#include <QtTest>

class HistoryEditTest : public QObject {
    Q_OBJECT
private slots:
    void enterWritesTheValueToTheHistoryFile() {
        Options().SetLanguageID(1033);
        Options().SetNrOfTransmitters(1);
        Options().SetTemperatureFormat(0);
        const std::filesystem::path file = Options().GetRecordingHistoryFile();
        std::filesystem::remove(file);
        std::vector<CDataset> datasets(3);
        for (int i = 0; i < 3; ++i) {
            datasets[std::size_t(i)].SetDateTime(CDateTime(2024, 5, 1, 10 + i, 0, 0));
            datasets[std::size_t(i)].SetTemperature(0, 20.0f + float(i));
            datasets[std::size_t(i)].SetHumidity(0, 50.0f);
        }
        DesktopWorkspace history;
        QVERIFY(history.Recording().Append(file, datasets));
        QVERIFY(history.ReadRecording(file));
        QVERIFY(history.OpenDisplayed(file.string()));

        CDataView view(history);
        view.resize(700, 300);
        view.show();
        QCOMPARE(view.Model()->rowCount(), 3);
        QCOMPARE(view.Model()->CellText(1, 2), QStringLiteral("21.0"));
        QVERIFY(view.BeginEdit(1, 2));
        view.Edit()->clear();
        QTest::keyClicks(view.Edit(), "-12.5");
        QTest::keyClick(view.Edit(), Qt::Key_Return);
        QCOMPARE(view.Model()->CellText(1, 2), QStringLiteral("-12.5"));

        // A German comma is the decimal point; a value no station measures is refused with a word.
        QStringList messages;
        SetUserMessageHook([&](QWidget*, MessageKind, const QString& text) { messages.append(text); });
        QVERIFY(view.BeginEdit(0, 2));
        view.Edit()->clear();
        QTest::keyClicks(view.Edit(), "19,5");
        QTest::keyClick(view.Edit(), Qt::Key_Return);
        QCOMPARE(view.Model()->CellText(0, 2), QStringLiteral("19.5"));
        QVERIFY(view.BeginEdit(0, 3));
        view.Edit()->clear();
        QTest::keyClicks(view.Edit(), "150");
        QTest::keyClick(view.Edit(), Qt::Key_Return);
        LogUserMessages();
        QCOMPARE(messages,
                 QStringList{QStringLiteral("A humidity lies between 0 and 99 %, or is --- or OFL.")});
        QCOMPARE(view.Model()->CellText(0, 3), QStringLiteral("50"));

        QVERIFY(view.BeginEdit(2, 3));
        view.Edit()->clear();
        QTest::keyClicks(view.Edit(), "63");
        QTest::keyClick(view.Edit(), Qt::Key_Escape); // not stored

        CHistoryData reread;
        QVERIFY(reread.Read(file));
        QCOMPARE(reread.Size(), std::size_t(3));
        QCOMPARE(reread.At(1).GetTemperature(0), -12.5f);
        QCOMPARE(reread.At(0).GetTemperature(0), 19.5f);
        QCOMPARE(reread.At(0).GetHumidity(0), 50.0f);
        QCOMPARE(reread.At(2).GetHumidity(0), 50.0f);
    }
};

static RegisterUiTest<HistoryEditTest> registerHistoryEditTest;

#include "HistoryEditTest.moc"
