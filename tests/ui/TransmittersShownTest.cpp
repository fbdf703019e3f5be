#include "settings/Options.h"
#include "ui/ChartPanel.h"
#include "ui/ChartView.h"
#include "ui/DataModel.h"
#include "ui/DataView.h"
#include "ui/StatisticsModel.h"
#include "ui/StatisticsPanel.h"

#include "Fakes.h"
#include "UiTests.h"

#include <QtTest>

namespace {

// A day of datasets every hour with values from the indoor sensor up to that transmitter.
std::vector<CDataset> Day(int transmitters, int day = 14) {
    std::vector<CDataset> datasets;
    for (int hour = 0; hour < 24; ++hour) {
        CDataset d;
        d.SetDateTime(CDateTime(2024, 3, day, hour, 0, 0));
        for (int sensor = 0; sensor < CDataset::SensorCount; ++sensor) {
            d.SetTemperature(sensor, sensor <= transmitters ? 10.0f + float(sensor)
                                                            : CDataset::TemperatureNotAvailable);
            d.SetHumidity(sensor, sensor <= transmitters ? 50.0f : CDataset::HumidityNotAvailable);
        }
        datasets.push_back(d);
    }
    return datasets;
}

} // namespace

// The table, the chart and the statistics show the transmitters the displayed history holds, not
// the count the station reports, and follow when the history changes or another file is shown.
class TransmittersShownTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        Options().SetLanguageID(1033);
        Options().SetNrOfTransmitters(3);
    }
    void cleanup() { Options().SetNrOfTransmitters(1); }

    void theViewsAgreeOnTheHistorysTransmitters() {
        DatasetsHistory history;
        history.datasets = Day(5);
        CDataView table(history);
        CChartPanel chart(history);
        CStatisticsPanel statistics(history);
        statistics.SetPeriodKind(PeriodKind::Day);

        const auto agree = [&](int transmitters, int statisticsRows) {
            chart.Refresh();
            statistics.Refresh();
            QTRY_VERIFY_WITH_TIMEOUT(!statistics.Computing(), 20000); // the rows come from a worker
            const int quantities = 2 * (transmitters + 1);
            QCOMPARE(table.Transmitters(), transmitters);
            QCOMPARE(table.Model()->columnCount(), 2 + quantities);
            QCOMPARE(int(chart.Quantities().size()), quantities);
            QCOMPARE(statistics.Model()->rowCount(), statisticsRows);
            if (transmitters > 0) {
                const QString last = table.Model()->headerData(1 + quantities, Qt::Horizontal).toString();
                QVERIFY2(last.contains(QString::number(transmitters)), qPrintable(last));
                QCOMPARE(chart.View()->Picture().series.back().name,
                         QStringLiteral("Outdoor humidity %1").arg(transmitters));
            }
            if (statisticsRows > 0)
                QCOMPARE(statistics.Model()->CellText(statisticsRows - 1, 1),
                         QStringLiteral("Outdoor humidity %1").arg(transmitters));
        };
        agree(5, 12);

        // Another file shown, with fewer transmitters.
        history.datasets = Day(2);
        table.OnOptionsChanged({.historyFile = true});
        agree(2, 6);

        // An import brings a transmitter more.
        const std::vector<CDataset> more = Day(4, 15);
        history.datasets.insert(history.datasets.end(), more.begin(), more.end());
        table.Refill();
        agree(4, 6 + 10);

        // The station's count changes nothing the history holds.
        Options().SetNrOfTransmitters(1);
        table.BuildColumns();
        agree(4, 16);

        // Nothing displayed: the station's transmitters are the columns to expect.
        history.datasets.clear();
        Options().SetNrOfTransmitters(3);
        table.OnOptionsChanged({.historyFile = true});
        agree(3, 0);
    }
};

static RegisterUiTest<TransmittersShownTest> registerTransmittersShownTest;

#include "TransmittersShownTest.moc"
