// The desktop program: fixes the start-up directory (the current one, or the user data folder
// when started from the menu), configures the log from the options, runs
// the main window until it is closed and ends with exit code 1 (0 when the window could not be
// made). The options are saved when the process ends.
#include "log/Logger.h"
#include "settings/Options.h"
#include "settings/StartupDirectory.h"
#include "settings/UserDataFolder.h"
#include "ui/Commands.h"
#include "ui/DesktopWorkspace.h"
#include "ui/MainFrame.h"
#include "ui/QtTranslations.h"
#include "ui/StationLinkFactory.h"

#include <QApplication>
#include <QMessageBox>

#include <algorithm>
#include <memory>
#include <string_view>

namespace {

// "--user-data" (the desktop menu entry passes it) moves the start-up directory to the user data
// folder; the option is taken out of the arguments Qt sees. False after a failure was shown.
bool ChooseStartupDirectory(int& argc, char** argv) {
    const auto end = argv + argc;
    const auto option = std::find(argv + 1, end, std::string_view("--user-data"));
    if (option == end)
        return true;
    std::rotate(option, option + 1, end);
    argv[--argc] = nullptr;
    try {
        EnterUserDataFolder();
        return true;
    } catch (const std::exception& e) {
        QApplication application(argc, argv);
        QMessageBox::critical(nullptr, QStringLiteral("Nivaro"), QString::fromStdString(e.what()));
        return false;
    }
}

} // namespace

int main(int argc, char** argv) {
    if (!ChooseStartupDirectory(argc, argv))
        return 1;
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

        // The histories and their file watch outlive the window.
        DesktopWorkspace history;
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
