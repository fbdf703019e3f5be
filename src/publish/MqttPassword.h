#pragma once

#include "settings/MqttOptions.h"

#include <optional>
#include <string>

// The broker password: from the file the options name (which only its owner may read: a file
// others can read is refused), else from the environment variable they name, else none.
struct PasswordLookup {
    std::optional<std::string> password;
    std::string error; // set when a password was asked for and cannot be had
};
PasswordLookup LookUpPassword(const MqttOptions& options);
