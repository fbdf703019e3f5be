#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>

// Whether two paths name the same file: by device and inode when both exist (links followed),
// otherwise by their absolute paths with the links that exist followed.
bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// A file the program uses in one role ("history file", "options file", "station image").
struct FileInRole {
    std::string role;
    std::filesystem::path path; // empty: the role has no file this time
};

// "'o.xml' is both the history file and the options file": the first two roles that name the same
// file, none when every role has a file of its own. Writing one as the other would destroy it.
std::optional<std::string> FileInTwoRoles(std::span<const FileInRole> files);
