// Runs the Qt test classes of the desktop application offscreen, with the options file and the
// start-up directory in a temporary folder: every class, or only the one named by "--class NAME"
// (CTest runs each class as its own test). The other arguments go to Qt Test.
#include "settings/Options.h"
#include "settings/StartupDirectory.h"
#include "ui/OptionsDlg.h"

#include "TempDir.h"
#include "UiTests.h"

#include <QApplication>
#include <QtTest>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// Takes "--class NAME" out of the arguments; empty when absent.
QByteArray TakeClassArgument(int& argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--class") != 0)
            continue;
        QByteArray name = argv[i + 1];
        std::copy(argv + i + 2, argv + argc, argv + i);
        argc -= 2;
        argv[argc] = nullptr;
        return name;
    }
    return {};
}

} // namespace

int main(int argc, char** argv) {
    const QByteArray only = TakeClassArgument(argc, argv);
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
    bool ran = false;
    for (const auto& make : UiTestFactories()) {
        std::unique_ptr<QObject> test = make();
        if (!only.isEmpty() && only != test->metaObject()->className())
            continue;
        ran = true;
        failures += QTest::qExec(test.get(), argc, argv);
    }
    if (!ran) {
        std::fprintf(stderr, "test_ui: no test class %s\n", only.constData());
        return 1;
    }
    return failures == 0 ? 0 : 1;
}
