// What the table's in-place editor accepts as a corrected value.
#include "ui/CellInput.h"
#include "station/Dataset.h"

#include "UiTests.h"

#include <QtTest>

class CellInputTest : public QObject {
    Q_OBJECT
private slots:
    void acceptsWhatAStationCouldMeasure_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("fahrenheit");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("value"); // what is stored when accepted
        QTest::newRow("decimal point") << int(dcIndoorTemperature) << "19.5" << false << true << "19.5";
        QTest::newRow("decimal comma is a point")
            << int(dcIndoorTemperature) << "19,5" << false << true << "19.5";
        QTest::newRow("negative comma") << int(dcOutdoorTemperature2) << "-12,3" << false << true << "-12.3";
        QTest::newRow("lowest") << int(dcIndoorTemperature) << "-30.0" << false << true << "-30.0";
        QTest::newRow("highest") << int(dcIndoorTemperature) << "69.9" << false << true << "69.9";
        QTest::newRow("below the range") << int(dcIndoorTemperature) << "-30.1" << false << false << "";
        QTest::newRow("above the range") << int(dcIndoorTemperature) << "70" << false << false << "";
        QTest::newRow("far above") << int(dcIndoorTemperature) << "999999.9" << false << false << "";
        QTest::newRow("fahrenheit highest") << int(dcIndoorTemperature) << "157.8" << true << true << "157.8";
        QTest::newRow("fahrenheit above") << int(dcIndoorTemperature) << "158" << true << false << "";
        QTest::newRow("fahrenheit lowest") << int(dcIndoorTemperature) << "-22" << true << true << "-22";
        QTest::newRow("celsius limit in fahrenheit is fine")
            << int(dcIndoorTemperature) << "69.9" << true << true << "69.9";
        QTest::newRow("not available") << int(dcIndoorTemperature) << "---" << false << true << "---";
        QTest::newRow("overflow") << int(dcOutdoorHumidity1) << "OFL" << false << true << "OFL";
        QTest::newRow("humidity") << int(dcIndoorHumidity) << "45" << false << true << "45";
        QTest::newRow("humidity highest") << int(dcIndoorHumidity) << "99" << false << true << "99";
        QTest::newRow("humidity above") << int(dcIndoorHumidity) << "150" << false << false << "";
        QTest::newRow("humidity below") << int(dcIndoorHumidity) << "-1" << false << false << "";
        QTest::newRow("not a number") << int(dcIndoorTemperature) << "abc" << false << false << "";
        QTest::newRow("trailing text") << int(dcIndoorTemperature) << "12abc" << false << false << "";
        QTest::newRow("two separators") << int(dcIndoorTemperature) << "1,2.3" << false << false << "";
        QTest::newRow("empty") << int(dcIndoorTemperature) << "" << false << false << "";
        QTest::newRow("date column") << int(dcDate) << "1" << false << false << "";
    }
    void acceptsWhatAStationCouldMeasure() {
        QFETCH(int, column);
        QFETCH(QString, text);
        QFETCH(bool, fahrenheit);
        QFETCH(bool, accepted);
        QFETCH(QString, value);
        const CellInput input = CheckCellInput(column, text.toStdString(), fahrenheit);
        QCOMPARE(input.accepted, accepted);
        if (accepted)
            QCOMPARE(QString::fromStdString(input.value), value);
        else
            QVERIFY(input.problem != CellInput::Problem::None);
    }
};

static RegisterUiTest<CellInputTest> registerCellInputTest;

#include "CellInputTest.moc"
