#include "settings/UserDataFolder.h"

#include <cstdlib>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

std::optional<fs::path> UserDataFolder(const char* xdgDataHome, const char* home) {
    if (xdgDataHome && fs::path(xdgDataHome).is_absolute())
        return fs::path(xdgDataHome) / "nivaro";
    if (home && fs::path(home).is_absolute())
        return fs::path(home) / ".local" / "share" / "nivaro";
    return std::nullopt;
}

fs::path EnterUserDataFolder() {
    const std::optional<fs::path> folder = UserDataFolder(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
    if (!folder)
        throw std::runtime_error("no user data folder: neither XDG_DATA_HOME nor HOME is an absolute path");
    std::error_code error;
    fs::create_directories(*folder, error);
    if (!error)
        fs::current_path(*folder, error);
    if (error)
        throw std::runtime_error("user data folder '" + folder->string() +
                                 "' cannot be used: " + error.message());
    return *folder;
}
