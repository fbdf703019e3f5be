#pragma once

#include "ui/UserMessage.h"

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

using UiTestFactory = std::function<std::unique_ptr<QObject>()>;
std::vector<UiTestFactory>& UiTestFactories();

// Registers a Qt test class with the test program.
template <typename Test> struct RegisterUiTest {
    RegisterUiTest() {
        UiTestFactories().push_back([] { return std::make_unique<Test>(); });
    }
};

inline std::vector<UiTestFactory>& UiTestFactories() {
    static std::vector<UiTestFactory> factories;
    return factories;
}

// A message box would wait for a click that never comes: by default tests see messages in the
// log. A test that looks at messages sets its own hook and puts this one back.
inline void LogUserMessages() {
    SetUserMessageHook(
        [](QWidget*, MessageKind, const QString& text) { qWarning("message: %s", qPrintable(text)); });
}
