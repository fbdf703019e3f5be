// Development tool: renders the main window with demo data in one language and saves it as PNG.
//   nivaro-screenshot OUTPUT.png LANGUAGE_ID [chart|statistics]
// With "chart" it shows the chart of a year of half-hourly demo data instead of the table, with
// "statistics" the monthly statistics of that year; "options" saves the options dialog, "menus"
// the main window with each menu opened below its title.
// It works in a fresh temporary folder, so no options or history file of the user is touched.
#include "history/HistoryData.h"
#include "settings/Options.h"
#include "settings/StartupDirectory.h"
#include "ui/ChartPanel.h"
#include "ui/ChartView.h"
#include "ui/DataView.h"
#include "ui/DesktopWorkspace.h"
#include "ui/MainFrame.h"
#include "ui/OptionsDlg.h"
#include "ui/StationLinkFactory.h"
#include "ui/StatisticsPanel.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

// One decimal, and never a negative zero.
float Tenths(double value) {
    return float(std::round(value * 10) / 10) + 0.0f;
}

std::vector<CDataset> DemoDatasets(int count) {
    std::vector<CDataset> datasets;
    for (int i = 0; i < count; ++i) {
        const int minutes = i * 30;
        CDataset dataset;
        dataset.SetDateTime(CDateTime(2024, 3, 14 + minutes / 1440, (minutes / 60) % 24, minutes % 60, 0));
        const double day = std::sin((minutes / 60.0 - 9.0) / 24.0 * 2 * M_PI);
        dataset.SetTemperature(0, Tenths(21.0 + 0.8 * day));
        dataset.SetHumidity(0, float(std::round(44 - 3 * day)));
        dataset.SetTemperature(1, Tenths(6.5 + 5.5 * day));
        dataset.SetHumidity(1, float(std::round(72 - 15 * day)));
        dataset.SetTemperature(2, Tenths(4.0 + 4.0 * day));
        dataset.SetHumidity(2, float(std::round(80 - 10 * day)));
        dataset.SetTemperature(3, i == 7 ? CDataset::TemperatureNotAvailable : Tenths(-1.5 + 3.0 * day));
        dataset.SetHumidity(3, i == 7 ? CDataset::HumidityNotAvailable : float(std::round(88 - 6 * day)));
        datasets.push_back(dataset);
    }
    return datasets;
}

// A year of weather every half hour: seasons, days and nights, passing weather, and a transmitter
// out of reach for two days in autumn.
std::vector<CDataset> DemoYear() {
    std::vector<CDataset> datasets;
    const DATE start = CDateTime(2024, 1, 1, 0, 0, 0).Value();
    for (int i = 0; i < 366 * 48; ++i) {
        const double days = i / 48.0;
        if (days >= 150 && days < 153.5)
            continue;                                                    // the station was off for a few days
        const double season = std::sin((days - 110) / 365.0 * 2 * M_PI); // 1 in late July
        const double daily = std::sin((days - std::floor(days) - 0.375) * 2 * M_PI); // 1 mid-afternoon
        const double weather =
            0.6 * std::sin(days / 3.7 * 2 * M_PI) + 0.4 * std::sin(days / 9.3 * 2 * M_PI + 1);
        CDataset d;
        d.SetDateTime(CDateTime(start + days));
        d.SetTemperature(0, Tenths(20.5 + 1.8 * season + 0.4 * daily));
        d.SetHumidity(0, float(std::round(46 + 9 * season - 2 * daily)));
        d.SetTemperature(1, Tenths(9.5 + 10 * season + (3 + 2 * season) * daily + 3 * weather));
        d.SetHumidity(1,
                      float(std::round(std::clamp(74 - 10 * season - 12 * daily - 8 * weather, 20.0, 99.0))));
        d.SetTemperature(2, Tenths(7.5 + 9 * season + 2 * daily + 2.5 * weather));
        d.SetHumidity(2,
                      float(std::round(std::clamp(82 - 8 * season - 6 * daily - 6 * weather, 20.0, 99.0))));
        const bool away = days >= 280 && days < 282;
        d.SetTemperature(3, away ? CDataset::TemperatureNotAvailable
                                 : Tenths(12 + 6 * season + 0.8 * daily + weather));
        d.SetHumidity(3, away ? CDataset::HumidityNotAvailable : float(std::round(60 - 5 * season)));
        datasets.push_back(d);
    }
    return datasets;
}

// The menu bar with every menu drawn open below it, side by side, each below its title or just
// right of the one before.
QPixmap MenusPicture(CMainFrame& frame) {
    const QPixmap bar = frame.menuBar()->grab();
    std::vector<std::pair<int, QPixmap>> opened;
    int right = 0, height = 0;
    for (QAction* title : frame.menuBar()->actions()) {
        QMenu* menu = title->menu();
        if (!menu)
            continue;
        menu->ensurePolished();
        menu->adjustSize();
        const int x = std::max(frame.menuBar()->actionGeometry(title).x(), right + 8);
        opened.emplace_back(x, menu->grab());
        right = x + opened.back().second.width();
        height = std::max(height, opened.back().second.height());
    }
    QPixmap picture(std::max(right, bar.width()), bar.height() + height + 4);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.drawPixmap(0, 0, bar);
    for (const auto& [x, menu] : opened)
        painter.drawPixmap(x, bar.height() + 2, menu);
    return picture;
}

} // namespace

int main(int argc, char** argv) {
    const bool chartDay = argc == 4 && std::string(argv[3]) == "chart-day";
    const bool chart = argc == 4 && (std::string(argv[3]) == "chart" || chartDay);
    const bool statistics = argc == 4 && std::string(argv[3]) == "statistics";
    const bool options = argc == 4 && std::string(argv[3]) == "options";
    const bool menus = argc == 4 && std::string(argv[3]) == "menus";
    if (argc != 3 && !chart && !statistics && !options && !menus) {
        std::fprintf(
            stderr,
            "usage: nivaro-screenshot OUTPUT.png LANGUAGE_ID [chart|chart-day|statistics|options|menus]\n");
        return 2;
    }
    const std::filesystem::path output = std::filesystem::absolute(argv[1]);
    const int language = std::atoi(argv[2]);
    std::string pattern = (std::filesystem::temp_directory_path() / "nivaro-shot-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        return 1;
    const std::filesystem::path folder = pattern;
    std::filesystem::current_path(folder);
    StartupDirectory();
    COptionsImpl::UseFile(folder / "Nivaro.xml");
    Options().SetLanguageID(std::uint16_t(language));
    Options().SetNrOfTransmitters(3);
    Options().SetPort("sim");

    QApplication application(argc, argv);
    DesktopWorkspace history;
    history.Recording().Append(Options().GetRecordingHistoryFile(),
                               chart || statistics ? DemoYear() : DemoDatasets(96));
    std::unique_ptr<StationLink> link = MakeStationLink();
    int result = 1;
    {
        CMainFrame frame(history, *link);
        frame.resize(chart ? 1280 : 1060, chart ? 760 : 620);
        if (statistics) {
            frame.ShowStatistics(true);
            frame.Statistics()->SetPeriodKind(PeriodKind::Month);
        }
        frame.show();
        frame.View()->selectRow(int(history.DisplayedCount()) - 3);
        if (chart) {
            frame.ShowChart(true);
            frame.Chart()->SetRange(chartDay ? CChartPanel::LastDay : CChartPanel::LastYear);
        }
        std::unique_ptr<COptionsDlg> dialog;
        if (options) {
            dialog = std::make_unique<COptionsDlg>(history, &frame);
            dialog->show();
        }
        if (chart)
            QTimer::singleShot(1000, [&] {
                // The pointer over the chart, two thirds across, with its label.
                CChartView* view = frame.Chart()->View();
                const QRectF plot = view->TemperaturePlot();
                const QPointF at(plot.left() + plot.width() * 0.62, plot.top() + plot.height() * 0.3);
                QMouseEvent move(QEvent::MouseMove, at, view->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                                 Qt::NoModifier);
                QCoreApplication::sendEvent(view, &move);
            });
        QTimer::singleShot(1500, [&] {
            QPixmap picture = options ? dialog->grab() : frame.grab();
            if (menus)
                picture = MenusPicture(frame);
            result = picture.save(QString::fromStdString(output.string()), "PNG") ? 0 : 1;
            if (options)
                std::fprintf(stderr, "options dialog: %d x %d\n", dialog->width(), dialog->height());
            QCoreApplication::quit();
        });
        QApplication::exec();
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return result;
}
