// Opening a large history in the desktop program, measured as its user waits for it: from the
// file chosen in File > Open to the rows in the view, painted, with the window's thread free again;
// and the longest time the window's thread was busy without a break meanwhile, which is what a
// click or a key pressed during the open would have waited for. The real main window, its commands
// and the desktop's history workspace run offscreen; the station is the simulated one.
//
//   bench_desktop_open [--runs N] [--view table|statistics] [FILE]
//
// Without FILE a history of a million datasets of five transmitters is written first. The window's
// thread is watched by a timer that should fire every millisecond: the longest gap between two of
// its ticks, less the millisecond, is the longest stall.
#include "../MillionDatasets.h"
#include "history/HistoryFile.h"
#include "history/HistoryRecord.h"
#include "history/LoadedHistory.h"
#include "settings/Options.h"
#include "settings/StartupDirectory.h"
#include "ui/CommandIds.h"
#include "ui/Commands.h"
#include "ui/DataModel.h"
#include "ui/DataView.h"
#include "ui/DesktopWorkspace.h"
#include "ui/FileDialogs.h"
#include "ui/MainFrame.h"
#include "ui/StationLinkFactory.h"
#include "ui/StatisticsModel.h"
#include "ui/StatisticsPanel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int HangBound = 60000; // ms; only ends a hang

// Processor time of the whole process (every thread), user and system, in seconds.
double Seconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

double ProcessorSeconds() {
    return Seconds(CLOCK_PROCESS_CPUTIME_ID);
}

struct OpenFigures {
    double processorSeconds = 0; // from the choice to usable, all threads
    double rowsSeconds = 0;      // the rows in the model
    double usableSeconds = 0;
    double longestStallMs = 0; // wall-clock: the window's thread may also wait for the processor
    double longestBusyMs = 0;  // the window thread's own processor time between two ticks
    bool finished = false;
};

void ProcessEventsFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Marks when the watched widget paints.
class PaintWatch : public QObject {
public:
    std::function<void()> painted;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && painted)
            painted();
        return QObject::eventFilter(watched, event);
    }
};

// One open of file in a new main window that shows the table or the statistics.
OpenFigures MeasureOpen(const fs::path& file, std::size_t records, bool statistics) {
    DesktopWorkspace history;
    const std::unique_ptr<StationLink> link = MakeStationLink();
    CMainFrame frame(history, *link);
    InstallCommands(frame);
    frame.ShowStatistics(statistics);
    frame.show();
    ProcessEventsFor(300); // shown, the first ping answered, the empty statistics computed
    while (frame.Statistics()->Computing())
        ProcessEventsFor(10);

    QEventLoop loop;
    QElapsedTimer clock;
    qint64 lastTick = 0;
    qint64 longestGap = 0;
    double lastBusy = 0;
    double longestBusy = 0;
    bool rowsIn = false;
    bool painted = false;
    OpenFigures figures;
    PaintWatch watch;
    QWidget* shown = statistics ? static_cast<QWidget*>(frame.Statistics()->Table()->viewport())
                                : frame.View()->viewport();
    shown->installEventFilter(&watch);
    const auto inView = [&] {
        return statistics ? !frame.Statistics()->Computing() && frame.Statistics()->Model()->rowCount() > 0 &&
                                frame.View()->Model()->rowCount() == int(records)
                          : frame.View()->Model()->rowCount() == int(records);
    };
    watch.painted = [&] { painted = painted || rowsIn; };

    double processorAtChoice = 0;
    QTimer ticks;
    ticks.setTimerType(Qt::PreciseTimer);
    ticks.setInterval(1);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longestGap = std::max(longestGap, now - lastTick);
        lastTick = now;
        const double busy = Seconds(CLOCK_THREAD_CPUTIME_ID);
        longestBusy = std::max(longestBusy, busy - lastBusy);
        lastBusy = busy;
        if (!rowsIn && inView()) {
            rowsIn = true;
            figures.rowsSeconds = double(now) / 1e9;
        }
        // Rows in the view and painted, and the thread back at this timer: usable.
        if (rowsIn && painted) {
            figures.usableSeconds = double(now) / 1e9;
            figures.processorSeconds = ProcessorSeconds() - processorAtChoice;
            figures.longestStallMs = std::max(0.0, double(longestGap) / 1e6 - 1.0);
            figures.longestBusyMs = longestBusy * 1e3;
            figures.finished = true;
            loop.quit();
        }
    });
    QTimer::singleShot(HangBound, &loop, &QEventLoop::quit);
    SetFileDialogHook([&](QWidget*, const FileDialogRequest&) {
        return std::optional(QString::fromStdString(file.string()));
    });
    QTimer::singleShot(0, &frame, [&] {
        processorAtChoice = ProcessorSeconds();
        clock.start();
        lastTick = 0;
        lastBusy = Seconds(CLOCK_THREAD_CPUTIME_ID);
        ticks.start();
        frame.OnCommand(Command::FileOpen); // as the dialog closes on the chosen file
    });
    loop.exec();
    SetFileDialogHook({});
    shown->removeEventFilter(&watch);
    frame.close();
    return figures;
}

void WriteMillionDatasets(const fs::path& file) {
    std::ofstream out(file, std::ios::binary);
    if (!WriteHistoryRecords(out, MillionDatasets()) || !out.flush()) {
        std::fprintf(stderr, "bench_desktop_open: %s could not be written\n", file.c_str());
        std::exit(1);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int runs = 3;
    bool statistics = false;
    fs::path file;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--view") == 0 && i + 1 < argc)
            statistics = std::strcmp(argv[++i], "statistics") == 0;
        else
            file = fs::absolute(argv[i]);
    }

    // The options file, the recording history and the simulated station in a folder of their own.
    const fs::path folder = fs::temp_directory_path() / ("nivaro-bench-desktop-" + std::to_string(getpid()));
    fs::create_directories(folder);
    fs::current_path(folder);
    StartupDirectory();
    COptionsImpl::UseFile(folder / "Nivaro.xml");
    Options().SetPort("sim:" + (folder / "st.img").string());
    Options().SetRecordingHistoryFile(folder / "recording.nvh");
    if (file.empty()) {
        file = folder / "history.nvh";
        WriteMillionDatasets(file);
    }
    const std::size_t records = fs::file_size(file) / HistoryRecordSize;

    int result = 0;
    {
        QApplication application(argc, argv);
        // The bare work the open cannot avoid: the file read whole into memory, on this thread.
        double bareRead = 1e9;
        double bareProcessor = 1e9;
        for (int run = 0; run < runs; ++run) {
            QElapsedTimer clock;
            clock.start();
            const double processor = ProcessorSeconds();
            const LoadedHistory loaded = LoadHistoryFile(file);
            bareRead = std::min(bareRead, double(clock.nsecsElapsed()) / 1e9);
            bareProcessor = std::min(bareProcessor, ProcessorSeconds() - processor);
        }
        std::vector<OpenFigures> measured;
        for (int run = 0; run < runs; ++run)
            measured.push_back(MeasureOpen(file, records, statistics));
        const char* view = statistics ? "statistics" : "table";
        std::printf(
            "desktop open of %zu records, %s view (reading the file alone: %.3f s, processor %.3f s):\n",
            records, view, bareRead, bareProcessor);
        for (const OpenFigures& figures : measured) {
            if (figures.finished)
                std::printf(
                    "  rows in the view after %.3f s, usable after %.3f s (aim 0.3; processor %.3f s), "
                    "longest window-thread stall %.0f ms (processor %.0f ms)\n",
                    figures.rowsSeconds, figures.usableSeconds, figures.processorSeconds,
                    figures.longestStallMs, figures.longestBusyMs);
            else
                std::printf("  not usable within %d s\n", HangBound / 1000);
            result = figures.finished ? result : 1;
        }
    }
    std::error_code ec;
    fs::current_path(fs::temp_directory_path(), ec);
    fs::remove_all(folder, ec);
    return result;
}
