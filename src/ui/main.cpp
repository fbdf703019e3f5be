// The desktop program: fixes the start-up directory, configures the log from the options, runs
// the main window until it is closed and ends with exit code 1 (0 when the window could not be
// made). The options are saved when the process ends.
#include "log/Logger.h"
#include "settings/Options.h"
#include "settings/StartupDirectory.h"
#include "ui/Commands.h"
#include "ui/HistoryStores.h"
#include "ui/MainFrame.h"
#include "ui/QtTranslations.h"
#include "ui/StationLinkFactory.h"

#include <QApplication>

#include <memory>

int main(int argc, char** argv) {
    StartupDirectory();
    CLogger& log = CLogger::Instance();
    log.SetLevel(Options().GetLogLevel());
    log.SetFileOutput(Options().GetLogToFile());
    log.Log(30, "Application Started");

    int result = 0;
    {
        QApplication application(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Nivaro"));
        QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/nivaro.svg")));
        UseQtTranslations(Options().GetLanguageID());
        // The window's close ends the loop with 1, as the frame's base handling of its
        // destruction does.
        QApplication::setQuitOnLastWindowClosed(false);

        HistoryStores history;
        std::unique_ptr<StationLink> link = MakeStationLink();
        std::unique_ptr<CMainFrame> frame;
        try {
            frame = std::make_unique<CMainFrame>(history, *link);
            InstallCommands(*frame);
        } catch (const std::exception& e) {
            log.Log(10, "%s", e.what());
        }
        if (!frame) {
            log.Log(30, "Main window creation failed!\n");
        } else {
            QObject::connect(frame.get(), &CMainFrame::Closed, &application,
                             [] { QCoreApplication::exit(1); });
            frame->show();
            result = QApplication::exec();
            frame.reset();
        }
    }
    log.Log(30, "Application Exited");
    return result;
}
