#pragma once

#include <filesystem>
#include <optional>

// The folder a program started from the desktop menu (or by the hourly import unit) works in,
// instead of the folder it happened to be started in: "$XDG_DATA_HOME/nivaro", or
// "$HOME/.local/share/nivaro" when XDG_DATA_HOME is unset, empty or not an absolute path (the
// XDG base directory rule). Nothing when neither gives a folder.
std::optional<std::filesystem::path> UserDataFolder(const char* xdgDataHome, const char* home);

// Creates the user data folder of this process's environment with its parents and makes it the
// current directory, so it becomes the start-up directory. Call before anything asks for the
// start-up directory. Throws std::runtime_error saying which folder failed and why.
std::filesystem::path EnterUserDataFolder();
