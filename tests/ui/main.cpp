// Runs every Qt test class of the desktop application offscreen, with the options file and the
// start-up directory in a temporary folder.
#include "settings/Options.h"
#include "settings/StartupDirectory.h"
#include "ui/OptionsDlg.h"

#include "TempDir.h"
#include "UiTests.h"

#include <QApplication>
#include <QtTest>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TempDir folder;
    CurrentDirectory current(folder.path());
    StartupDirectory();
    COptionsImpl::UseFile(folder / "Nivaro.xml");
    // The real list would open the machine's serial devices (one of them is the console).
    SetPresentPortsSource([] { return std::vector<std::string>{}; });
    LogUserMessages();
    QApplication app(argc, argv);
    int failures = 0;
    for (const auto& make : UiTestFactories()) {
        std::unique_ptr<QObject> test = make();
        failures += QTest::qExec(test.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
