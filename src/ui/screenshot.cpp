// Development tool: renders the main window with demo data in one language and saves it as PNG.
//   nivaro-screenshot OUTPUT.png LANGUAGE_ID
// It works in a fresh temporary folder, so no options or history file of the user is touched.
#include "history/HistoryData.h"
#include "settings/Options.h"
#include "settings/StartupDirectory.h"
#include "ui/DataView.h"
#include "ui/HistoryStores.h"
#include "ui/MainFrame.h"
#include "ui/StationLinkFactory.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
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

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: nivaro-screenshot OUTPUT.png LANGUAGE_ID\n");
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
    RecordingHistory().Append(Options().GetRecordingHistoryFile(), DemoDatasets(96));

    QApplication application(argc, argv);
    HistoryStores history;
    std::unique_ptr<StationLink> link = MakeStationLink();
    int result = 1;
    {
        CMainFrame frame(history, *link);
        frame.resize(1060, 620);
        frame.show();
        frame.View()->selectRow(int(DisplayedCount()) - 3);
        QTimer::singleShot(1500, [&] {
            result = frame.grab().save(QString::fromStdString(output.string()), "PNG") ? 0 : 1;
            QCoreApplication::quit();
        });
        QApplication::exec();
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return result;
}
