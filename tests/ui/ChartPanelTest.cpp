#include "ui/ChartPanel.h"
#include "settings/Options.h"
#include "ui/ChartTime.h"
#include "ui/ChartView.h"
#include "ui/CommandIds.h"
#include "ui/HistoryAccess.h"
#include "ui/MainFrame.h"

#include "Fakes.h"
#include "TempDir.h"
#include "UiTests.h"

#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QtTest>

#include <vector>

namespace {

const DATE Start = CDateTime(2024, 3, 14, 0, 0, 0).Value();

// The chart's history with a generator of datasets.
class ChartHistory : public DatasetsHistory {
public:
    int transmitters = 1; // the outdoor sensors with values; the others are not available

    // Datasets every half hour from Start on; every sensor reads value(i) and humidity 50.
    void Append(
        int count, const std::function<float(int)>& value = [](int i) { return float(i % 20); }) {
        const int first = int(datasets.size());
        for (int i = first; i < first + count; ++i) {
            CDataset d;
            d.SetDateTime(CDateTime(Start + i / 48.0));
            for (int s = 0; s < CDataset::SensorCount; ++s) {
                d.SetTemperature(s, s <= transmitters ? value(i) : CDataset::TemperatureNotAvailable);
                d.SetHumidity(s, s <= transmitters ? 50 : CDataset::HumidityNotAvailable);
            }
            datasets.push_back(d);
        }
    }
};

std::size_t PointCount(const CChartPanel& panel, std::size_t quantity) {
    return panel.Line(quantity).points.size();
}

const std::vector<ChartPoint>& Points(const CChartPanel& panel, std::size_t quantity) {
    return panel.Line(quantity).points;
}

QString SeriesName(const CChartPanel& panel, std::size_t quantity) {
    return panel.View()->Picture().series.at(quantity).name;
}

QPoint Centre(const QRectF& rect) {
    return rect.center().toPoint();
}

} // namespace

class ChartPanelTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        Options().SetLanguageID(1033);
        Options().SetNrOfTransmitters(1);
        Options().SetTemperatureFormat(0);
        Options().SetDateFormat(0);
        Options().SetTimeFormat(0);
    }
    void cleanup() { init(); }

    // The series are those of the transmitters the history holds, whatever the station reports;
    // only an empty history shows the station's.
    void seriesFollowTheTransmittersOfTheHistory_data() {
        QTest::addColumn<int>("inHistory");
        QTest::addColumn<int>("station");
        QTest::addColumn<int>("series");
        QTest::addColumn<QString>("lastTemperature");
        QTest::newRow("none") << 0 << 3 << 2 << "Indoor temperature";
        QTest::newRow("one") << 1 << 3 << 4 << "Outdoor temperature 1";
        QTest::newRow("five, station three") << 5 << 3 << 12 << "Outdoor temperature 5";
        QTest::newRow("empty history") << -1 << 3 << 8 << "Outdoor temperature 3";
        QTest::newRow("empty, station not read yet") << -1 << 6 << 2 << "Indoor temperature";
    }
    void seriesFollowTheTransmittersOfTheHistory() {
        QFETCH(int, inHistory);
        QFETCH(int, station);
        QFETCH(int, series);
        QFETCH(QString, lastTemperature);
        Options().SetNrOfTransmitters(station);
        ChartHistory history;
        history.transmitters = inHistory;
        if (inHistory >= 0)
            history.Append(100);
        CChartPanel panel(history);
        panel.resize(900, 600);
        panel.show();
        QCOMPARE(int(panel.Quantities().size()), series);
        for (int q = 0; q < series; ++q) {
            QVERIFY(!panel.View()->LegendEntry(std::size_t(q)).isEmpty());
            QCOMPARE(PointCount(panel, std::size_t(q)), std::size_t(inHistory >= 0 ? 100 : 0));
        }
        QCOMPARE(SeriesName(panel, std::size_t(series / 2 - 1)), lastTemperature);
        QVERIFY(panel.View()->Picture().series.back().humidity);
    }

    void aHistoryWithMoreTransmittersAddsSeries() {
        ChartHistory history;
        history.Append(10);
        CChartPanel panel(history);
        QCOMPARE(panel.Quantities().size(), std::size_t(4));
        history.transmitters = 3;
        history.Append(10);
        panel.Invalidate();
        panel.Refresh();
        QCOMPARE(panel.Quantities().size(), std::size_t(8));
        QCOMPARE(SeriesName(panel, 3), QStringLiteral("Outdoor temperature 3"));
    }

    void reservedValuesLeaveGaps_data() {
        QTest::addColumn<float>("temperature");
        QTest::addColumn<float>("humidity");
        QTest::newRow("not available") << CDataset::TemperatureNotAvailable << CDataset::HumidityNotAvailable;
        QTest::newRow("overflow") << CDataset::TemperatureOverflow << CDataset::HumidityOverflow;
    }
    void reservedValuesLeaveGaps() {
        QFETCH(float, temperature);
        QFETCH(float, humidity);
        ChartHistory history;
        history.Append(30);
        for (int i = 10; i < 13; ++i) {
            history.datasets[std::size_t(i)].SetTemperature(1, temperature);
            history.datasets[std::size_t(i)].SetHumidity(1, humidity);
        }
        CChartPanel panel(history);
        panel.SetRange(CChartPanel::All);
        // Outdoor temperature (quantity 1) and outdoor humidity (3) break; indoor does not.
        QCOMPARE(panel.Line(0).RunCount(), std::size_t(1));
        QCOMPARE(panel.Line(1).RunCount(), std::size_t(2));
        QCOMPARE(panel.Line(3).RunCount(), std::size_t(2));
        QCOMPARE(PointCount(panel, 1), std::size_t(27));
        for (const ChartPoint& p : Points(panel, 1))
            QVERIFY(p.y < 20);
        for (const ChartPoint& p : Points(panel, 3))
            QCOMPARE(p.y, 50.0f);
        QVERIFY(panel.TemperatureRange().second < 30);
        QVERIFY(panel.HumidityRange().first < 50 && panel.HumidityRange().second > 50);
        QVERIFY(panel.HumidityRange().second <= 100);
    }

    void aHistoryChangeAddsPointsAndTheWindowFollows() {
        ChartHistory history;
        history.Append(48); // one day
        CChartPanel panel(history);
        panel.resize(800, 500);
        panel.show();
        panel.SetRange(CChartPanel::LastWeek);
        QCOMPARE(PointCount(panel, 0), std::size_t(48));
        history.Append(24);
        panel.Invalidate();
        QTRY_COMPARE(PointCount(panel, 0), std::size_t(72));
        QCOMPARE(panel.Window().to, history.datasets.back().GetDateTime().Value());
        QCOMPARE(panel.View()->Picture().to, history.datasets.back().GetDateTime().Value());
    }

    void theChartWaitsUntilItIsShown() {
        ChartHistory history;
        history.Append(10);
        CChartPanel panel(history);
        history.Append(10);
        panel.Invalidate();
        QCoreApplication::processEvents();
        QCOMPARE(PointCount(panel, 0), std::size_t(10));
        panel.show();
        QTRY_COMPARE(PointCount(panel, 0), std::size_t(20));
    }

    void aUnitChangeRescales() {
        ChartHistory history;
        history.Append(10, [](int i) { return float(i); }); // 0.0 .. 9.0 °C
        CChartPanel panel(history);
        QCOMPARE(Points(panel, 0).back().y, 9.0f);
        QVERIFY(panel.View()->Picture().temperatureTitle.contains(QStringLiteral("°C")));
        QVERIFY(panel.TemperatureRange().second < 15);

        Options().SetTemperatureFormat(1);
        panel.OnOptionsChanged({.format = true});
        const std::vector<ChartPoint> points = Points(panel, 0);
        QCOMPARE(points.front().y, ToFahrenheit(0.0f));
        QCOMPARE(points.back().y, ToFahrenheit(9.0f));
        QCOMPARE(points.back().high, ToFahrenheit(9.0f));
        QVERIFY(panel.View()->Picture().temperatureTitle.contains(QStringLiteral("°F")));
        QVERIFY(panel.TemperatureRange().first <= 32 && panel.TemperatureRange().second >= 48.2);
        QCOMPARE(Points(panel, 2).back().y, 50.0f); // humidity stays
    }

    void aLanguageChangeRenamesTheSeries() {
        ChartHistory history;
        history.Append(10);
        CChartPanel panel(history);
        Options().SetLanguageID(1031);
        panel.OnOptionsChanged({.language = true});
        QCOMPARE(SeriesName(panel, 0), QStringLiteral("Innentemperatur"));
        QCOMPARE(SeriesName(panel, 3), QStringLiteral("Luftfeuchte außen 1"));
        Options().SetLanguageID(1036);
        panel.OnOptionsChanged({.language = true});
        QCOMPARE(SeriesName(panel, 1), QStringLiteral("Température extérieure 1"));
        QCOMPARE(panel.Texts().ranges.size(), 5);
    }

    void rangesEndWithTheNewestDataset_data() {
        QTest::addColumn<int>("range");
        QTest::addColumn<double>("days");
        QTest::newRow("day") << int(CChartPanel::LastDay) << 1.0;
        QTest::newRow("week") << int(CChartPanel::LastWeek) << 7.0;
        QTest::newRow("month") << int(CChartPanel::LastMonth) << 31.0; // April 22 back to March 22
        QTest::newRow("all") << int(CChartPanel::All) << 40.0 - 1.0 / 48;
    }
    void rangesEndWithTheNewestDataset() {
        QFETCH(int, range);
        QFETCH(double, days);
        ChartHistory history;
        history.datasets.clear();
        history.Append(48 * 40);
        CChartPanel panel(history);
        panel.SetRange(CChartPanel::Range(range));
        const DATE last = history.datasets.back().GetDateTime().Value();
        QCOMPARE(panel.Window().to, last);
        QVERIFY(std::abs(panel.Window().to - panel.Window().from - days) < 1e-6);
    }

    void zoomPanAndWholeHistory() {
        ChartHistory history;
        history.Append(48 * 10);
        CChartPanel panel(history);
        panel.SetRange(CChartPanel::All);
        const ChartWindow all = panel.Window();
        const double width = all.to - all.from;

        panel.ZoomAt(0.5, 0.5);
        QVERIFY(panel.IsZoomed());
        QVERIFY(std::abs((panel.Window().to - panel.Window().from) - width / 2) < 1e-9);
        QVERIFY(std::abs((panel.Window().from + panel.Window().to) / 2 - (all.from + all.to) / 2) < 1e-9);
        QVERIFY(PointCount(panel, 0) < std::size_t(48 * 10));

        const DATE before = panel.Window().from;
        panel.Pan(0.25);
        QVERIFY(std::abs(panel.Window().from - (before + width / 8)) < 1e-9);
        panel.Pan(10); // not past the newest dataset
        QCOMPARE(panel.Window().to, all.to);

        // A zoomed window stays put while datasets arrive.
        const ChartWindow zoomed = panel.Window();
        history.Append(48);
        panel.Refresh();
        QCOMPARE(panel.Window().from, zoomed.from);

        panel.ZoomAt(0.5, 1000); // no further out than the whole history
        QCOMPARE(panel.Window().from, all.from);

        panel.ShowSpan(0.25, 0.5);
        QVERIFY(panel.IsZoomed());
        panel.ShowWholeHistory();
        QVERIFY(!panel.IsZoomed());
        QCOMPARE(panel.CurrentRange(), CChartPanel::All);
        QCOMPARE(panel.Window().to, history.datasets.back().GetDateTime().Value());
    }

    void mouseZoomsWithWheelAndRubberBand() {
        ChartHistory history;
        history.Append(48 * 10);
        CChartPanel panel(history);
        panel.resize(900, 500);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        panel.SetRange(CChartPanel::All);
        const ChartWindow all = panel.Window();
        const QRectF plot = panel.View()->TemperaturePlot();
        QWidget* viewport = panel.View();

        const QPoint left(int(plot.left() + plot.width() * 0.25), int(plot.center().y()));
        const QPoint right(int(plot.left() + plot.width() * 0.75), int(plot.center().y()));
        QTest::mousePress(viewport, Qt::LeftButton, {}, left);
        QTest::mouseMove(viewport, right);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, right);
        QVERIFY(panel.IsZoomed());
        const double width = all.to - all.from;
        QVERIFY(std::abs((panel.Window().to - panel.Window().from) - width / 2) < width * 0.01);

        const ChartWindow banded = panel.Window();
        QWheelEvent wheel(QPointF(plot.center()), viewport->mapToGlobal(plot.center()), {}, QPoint(0, 120),
                          Qt::NoButton, {}, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(viewport, &wheel);
        QVERIFY(std::abs((panel.Window().to - panel.Window().from) -
                         (banded.to - banded.from) * CChartView::WheelFactor) < 1e-9);

        QTest::mouseDClick(viewport, Qt::LeftButton, {}, right);
        QVERIFY(!panel.IsZoomed());
        QCOMPARE(panel.Window().from, all.from);
    }

    void manyDatasetsAreReducedToThePixels() {
        ChartHistory history;
        history.Append(100000, [](int i) { return i == 51234 ? 60.0f : float(i % 7); });
        CChartPanel panel(history);
        panel.SetRange(CChartPanel::All);
        QVERIFY(PointCount(panel, 0) <= std::size_t(panel.Window().buckets + 2));
        QCOMPARE(panel.TemperatureRange().second >= 60, true); // the one warm spell is not lost
        // It shows in its column's band; the column's mean stays with its neighbours.
        const auto warm = std::find_if(Points(panel, 0).begin(), Points(panel, 0).end(),
                                       [](const ChartPoint& p) { return p.high == 60; });
        QVERIFY(warm != Points(panel, 0).end());
        QVERIFY(warm->y < 10 && warm->low == 0);
    }

    void emptyHistorySaysSo() {
        ChartHistory history;
        CChartPanel panel(history);
        QCOMPARE(panel.Message(), QStringLiteral("No datasets to show"));
        QCOMPARE(PointCount(panel, 0), std::size_t(0));
        history.Append(3);
        panel.Refresh();
        QCOMPARE(panel.Message(), QString());
    }

    void savesPngAndSvg() {
        ChartHistory history;
        history.Append(100);
        CChartPanel panel(history);
        panel.resize(640, 400);
        panel.show();
        TempDir folder;
        const QString png = QString::fromStdString((folder / "chart.png").string());
        const QString svg = QString::fromStdString((folder / "chart.SVG").string());
        QVERIFY(panel.SaveChart(png));
        QVERIFY(panel.SaveChart(svg));
        QCOMPARE(QImage(png).isNull(), false);
        QVERIFY(ReadWholeFile(folder / "chart.png").substr(1, 3) == "PNG");
        const std::string drawing = ReadWholeFile(folder / "chart.SVG");
        QVERIFY(drawing.find("<svg") != std::string::npos);
        // Lines and texts as vectors, not a picture of the screen.
        QVERIFY(drawing.find("<path") != std::string::npos && drawing.find("<text") != std::string::npos);
        QVERIFY(drawing.find("<image") == std::string::npos);

        const QString missing = QString::fromStdString((folder / "no such folder" / "chart.png").string());
        QVERIFY(!panel.SaveChart(missing));
        QVERIFY(panel.StatusText().contains(missing));
        QVERIFY(!std::filesystem::exists(folder / "no such folder"));

        panel.SetFileChooser([&](CChartPanel&) { return png; });
        std::filesystem::remove(folder / "chart.png");
        panel.OnSaveChart();
        QVERIFY(std::filesystem::exists(folder / "chart.png"));
        QCOMPARE(panel.StatusText(), QString());
    }

    void dateTimeFormatsFollowTheOptions_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("format");
        QTest::newRow("default") << "%d.%m.%Y %H:%M"
                                 << "dd'.'MM'.'yyyy' 'HH':'mm";
        QTest::newRow("iso, 12 hours") << "%Y-%m-%d %I:%M %p"
                                       << "yyyy'-'MM'-'dd' 'hh':'mm' 'AP";
        QTest::newRow("literal letters") << "%y at %H%%"
                                         << "yy' at 'HH'%'";
    }
    void dateTimeFormatsFollowTheOptions() {
        QFETCH(QString, pattern);
        QFETCH(QString, format);
        QCOMPARE(QtDateTimeFormat(pattern.toStdString()), format);
        const QDateTime when(QDate(2024, 3, 14), QTime(15, 5));
        QCOMPARE(when.toString(QtDateTimeFormat("%d.%m.%Y %I:%M %p")), QStringLiteral("14.03.2024 03:05 PM"));
    }

    void theMainWindowTogglesAndFeedsTheChart() {
        ChartHistory history;
        history.Append(48);
        FakeLink link;
        CMainFrame frame(history, link);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QVERIFY(!frame.IsChartShown());
        const auto toggles = [&] {
            QList<QAction*> shown = frame.ToolBar()->actions();
            for (QAction* popup : frame.menuBar()->actions())
                shown += popup->menu()->actions();
            QList<QAction*> found;
            for (QAction* action : shown)
                if (action->data().toInt() == Command::DataChart && action->isCheckable())
                    found.append(action);
            return found;
        };
        QCOMPARE(toggles().size(), 2); // the Data menu's entry and the toolbar button
        frame.OnCommand(Command::DataChart);
        QVERIFY(frame.IsChartShown());
        QVERIFY(frame.Chart()->isVisible());
        for (QAction* action : toggles())
            QVERIFY(action->isChecked());
        QTRY_COMPARE(PointCount(*frame.Chart(), 0), std::size_t(48));

        history.Append(10);
        history.SignalChange();
        QTRY_COMPARE(PointCount(*frame.Chart(), 0), std::size_t(58));

        Options().SetTemperatureFormat(1);
        frame.ApplyOptionsChanges({.format = true});
        QVERIFY(frame.Chart()->View()->Picture().temperatureTitle.contains(QStringLiteral("°F")));

        // The station's count changes nothing while the history holds one transmitter.
        Options().SetNrOfTransmitters(2);
        frame.Observer().lock()->TransmittersChanged(2);
        QCoreApplication::processEvents();
        QCOMPARE(frame.Chart()->Quantities().size(), std::size_t(4));

        QTest::keyClick(&frame, Qt::Key_G, Qt::ControlModifier);
        QVERIFY(!frame.IsChartShown());
        for (QAction* action : toggles())
            QVERIFY(!action->isChecked());

        Options().SetLanguageID(1031); // the rebuilt menu's toggle keeps the state
        frame.OnCommand(Command::DataChart);
        frame.ApplyOptionsChanges({.language = true});
        QCOMPARE(toggles().size(), 2);
        for (QAction* action : toggles())
            QVERIFY(action->isChecked());
        QCOMPARE(SeriesName(*frame.Chart(), 0), QStringLiteral("Innentemperatur"));
    }

    void theLegendShowsAndHidesASeries() {
        ChartHistory history;
        history.Append(48, [](int) { return 20.0f; });
        for (CDataset& d : history.datasets)
            d.SetTemperature(1, 50);
        CChartPanel panel(history);
        panel.resize(900, 600);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        QVERIFY(panel.TemperatureRange().second > 50);

        QTest::mouseClick(panel.View(), Qt::LeftButton, {}, Centre(panel.View()->LegendEntry(1)));
        QVERIFY(!panel.IsShown(1));
        QVERIFY(!panel.View()->Picture().series[1].visible);
        QVERIFY(panel.TemperatureRange().second < 25); // the axis fits the series still shown
        QVERIFY(panel.IsShown(0) && panel.IsShown(3));

        // Hidden it stays, through new datasets, until clicked again.
        history.Append(2, [](int) { return 20.0f; });
        panel.Refresh();
        QVERIFY(!panel.IsShown(1));
        QTest::mouseClick(panel.View(), Qt::LeftButton, {}, Centre(panel.View()->LegendEntry(1)));
        QVERIFY(panel.IsShown(1));
        QVERIFY(panel.TemperatureRange().second > 50);
    }

    void thePointerReadsTheValues() {
        Options().SetDateFormat(4); // %Y-%m-%d
        ChartHistory history;
        history.Append(48, [](int i) { return float(i) / 2; });
        CChartPanel panel(history);
        panel.resize(900, 600);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        panel.SetRange(CChartPanel::All);
        const CChartView& view = *panel.View();
        const QRectF plot = view.TemperaturePlot();
        // Dataset 24 of 48 (12:00, 12.0 °C) is 24/47 of the way across.
        const QPointF at(plot.left() + plot.width() * 24 / 47, plot.center().y());
        const QString values = view.ValuesAt(at);
        QVERIFY2(values.startsWith(QStringLiteral("2024-03-14 12:00")), qPrintable(values));
        QVERIFY2(values.contains(QStringLiteral("Indoor temperature: 12.0 °C")), qPrintable(values));
        QVERIFY2(values.contains(QStringLiteral("Outdoor humidity 1: 50.0 %")), qPrintable(values));
        // The lower panel reads the same time; a hidden series is left out; nothing off the plots.
        QCOMPARE(view.ValuesAt(QPointF(at.x(), view.HumidityPlot().center().y())), values);
        panel.SetShown(0, false);
        QVERIFY(!view.ValuesAt(at).contains(QStringLiteral("Indoor temperature")));
        QCOMPARE(view.ValuesAt(QPointF(plot.left() - 20, at.y())), QString());

        // Over a reduced stretch the label gives the mean with the extremes.
        history.datasets.clear();
        history.Append(48 * 400, [](int i) { return float(i % 48) / 2; });
        panel.SetShown(0, true);
        panel.Refresh();
        const QString reduced =
            view.ValuesAt(QPointF(view.TemperaturePlot().center().x(), plot.center().y()));
        QVERIFY2(reduced.contains(QStringLiteral("Indoor temperature: 11.8 °C (0.0 – 23.5)")),
                 qPrintable(reduced));
        // A column of a day is labelled with its day.
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d\n")).match(reduced).hasMatch(),
                 qPrintable(reduced));
    }
};

static RegisterUiTest<ChartPanelTest> registerChartPanelTest;

#include "ChartPanelTest.moc"
