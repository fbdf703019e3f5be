#include "ui/DataView.h"
#include "settings/Options.h"
#include "ui/DataModel.h"
#include "ui/SubEdit.h"
#include "ui/TypingRules.h"

#include "Fakes.h"
#include "UiTests.h"

#include <QtTest>

class DataViewTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        Options().SetLanguageID(1033);
        Options().SetNrOfTransmitters(1);
        Options().SetTemperatureFormat(0);
    }

    void typingRules_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("caret");
        QTest::addColumn<QChar>("typed");
        QTest::addColumn<bool>("temperature");
        QTest::addColumn<bool>("accepted");
        // temperature: leading minus, one decimal
        QTest::newRow("minus into empty") << "" << 0 << QChar('-') << true << true;
        QTest::newRow("minus at start") << "12" << 0 << QChar('-') << true << true;
        QTest::newRow("minus not at start") << "12" << 1 << QChar('-') << true << false;
        QTest::newRow("second minus") << "-12" << 0 << QChar('-') << true << false;
        QTest::newRow("point") << "-12" << 3 << QChar('.') << true << true;
        QTest::newRow("point at start") << "12" << 0 << QChar('.') << true << false;
        QTest::newRow("second point") << "1.2" << 3 << QChar('.') << true << false;
        QTest::newRow("first decimal") << "-12." << 4 << QChar('5') << true << true;
        QTest::newRow("second decimal at end") << "-12.5" << 5 << QChar('3') << true << false;
        QTest::newRow("decimal before full decimals") << "-12.5" << 4 << QChar('3') << true << false;
        QTest::newRow("digit before point") << "-12.5" << 1 << QChar('3') << true << true;
        QTest::newRow("backspace after decimals") << "-12.5" << 5 << QChar('\b') << true << true;
        QTest::newRow("letter") << "1" << 1 << QChar('a') << true << false;
        QTest::newRow("comma as the decimal point") << "1" << 1 << QChar(',') << true << true;
        QTest::newRow("comma after a point") << "1.2" << 3 << QChar(',') << true << false;
        // humidity: digits only
        QTest::newRow("humidity digit") << "4" << 1 << QChar('5') << false << true;
        QTest::newRow("humidity minus") << "" << 0 << QChar('-') << false << false;
        QTest::newRow("humidity point") << "45" << 2 << QChar('.') << false << false;
    }
    void typingRules() {
        QFETCH(QString, text);
        QFETCH(int, caret);
        QFETCH(QChar, typed);
        QFETCH(bool, temperature);
        QFETCH(bool, accepted);
        QCOMPARE(AcceptTypedCharacter(text.toStdString(), caret, char(typed.unicode()), temperature,
                                      temperature ? 1 : 0),
                 accepted);
    }

    void temperatureCellTakesMinusTwelvePointFiveAndEnterStoresIt() {
        FakeHistory history;
        history.SetRows(3);
        CDataView view(history);
        view.resize(600, 300);
        view.show();
        QVERIFY(view.BeginEdit(1, 2));
        CSubEdit* edit = view.Edit();
        QVERIFY(edit->isVisible());
        edit->clear();
        QTest::keyClicks(edit, "-12.53");
        QCOMPARE(edit->text(), QStringLiteral("-12.5")); // the second decimal was refused
        QTest::keyClick(edit, Qt::Key_Return);
        QVERIFY(!view.IsEditing());
        QVERIFY(!edit->isVisible());
        QCOMPARE(history.stored.size(), std::size_t(1));
        QVERIFY(history.stored[0].dataset.GetDateTime() == FakeHistory::DatasetOfRow(1).GetDateTime());
        QCOMPARE(history.stored[0].column, 2);
        QCOMPARE(history.stored[0].text, std::string("-12.5"));
    }

    void humidityCellRefusesMinusAndPoint() {
        FakeHistory history;
        history.SetRows(2);
        CDataView view(history);
        view.resize(600, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QVERIFY(view.BeginEdit(0, 3));
        CSubEdit* edit = view.Edit();
        edit->clear();
        QTest::keyClicks(edit, "-4.5");
        QCOMPARE(edit->text(), QStringLiteral("45"));
        QVERIFY(view.IsEditing());
        QTest::keyClick(edit, Qt::Key_Enter);
        QVERIFY(!view.IsEditing());
        QCOMPARE(history.stored.size(), std::size_t(1));
        QCOMPARE(history.stored.at(0).text, std::string("45"));
    }

    void escapeAndFocusLossCancel() {
        FakeHistory history;
        history.SetRows(2);
        CDataView view(history);
        view.resize(600, 300);
        view.show();
        view.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&view));
        QVERIFY(view.BeginEdit(0, 2));
        QTest::keyClicks(view.Edit(), "7");
        QTest::keyClick(view.Edit(), Qt::Key_Escape);
        QVERIFY(!view.IsEditing());

        QVERIFY(view.BeginEdit(0, 2));
        view.Edit()->clearFocus(); // focus loss
        QVERIFY(!view.IsEditing());

        QVERIFY(view.BeginEdit(1, 3));
        view.CancelEdit();
        QVERIFY(!view.IsEditing());
        QVERIFY(history.stored.empty());
    }

    void rowNumbersAndDatesAreNotEditable() {
        FakeHistory history;
        history.SetRows(2);
        CDataView view(history);
        view.show();
        QVERIFY(!view.BeginEdit(0, 0));
        QVERIFY(!view.BeginEdit(0, 1));
        QVERIFY(!view.IsEditing());
    }

    void newRowsFollowTheEndOnlyWhenItWasInView() {
        FakeHistory history;
        history.SetRows(5);
        CDataView view(history);
        view.resize(500, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.Refill();
        history.SetRows(500);
        view.Refill(); // the last row was in view: follow the end
        QTRY_VERIFY(view.rowAt(view.viewport()->height() - 2) >= 495);

        view.scrollToTop();
        history.SetRows(600);
        view.Refill(); // scrolled up: stay
        QCOMPARE(view.rowAt(0), 0);
        QCOMPARE(view.Model()->rowCount(), 600);
    }

    void fahrenheitRetitlesTheTemperatureColumns() {
        FakeHistory history;
        CDataView view(history);
        QCOMPARE(view.Model()->headerData(4, Qt::Horizontal).toString(),
                 QStringLiteral("Temperature 1 (°C)"));
        Options().SetTemperatureFormat(1);
        view.BuildColumns();
        QCOMPARE(view.Model()->headerData(2, Qt::Horizontal).toString(),
                 QStringLiteral("Temperature Indoor (°F)"));
        QCOMPARE(view.Model()->headerData(5, Qt::Horizontal).toString(), QStringLiteral("Humidity 1 (%)"));
    }
};

static RegisterUiTest<DataViewTest> registerDataViewTest;

#include "DataViewTest.moc"
