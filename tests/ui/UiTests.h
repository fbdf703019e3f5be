#pragma once

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
