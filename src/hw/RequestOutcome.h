#pragma once

#include <string>

// How a station request ended, as its receiver is told when the worker hands it back.
struct RequestOutcome {
    bool succeeded = false;
    bool aborted = false; // it stopped because an abort was asked for
    std::string message;  // why it failed ("" when it succeeded)
};
