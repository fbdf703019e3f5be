#pragma once

#include <string>

// Whether the hardware manager's worker runs with an open port; when not, why, in words for the
// user (the port's own reason, such as "Could not open com-port /dev/ttyUSB0 (...) Permission denied").
struct StartResult {
    std::string failure; // empty when started

    explicit operator bool() const { return failure.empty(); }
};
