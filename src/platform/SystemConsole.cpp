#include "platform/SystemConsole.h"

#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <vector>

namespace {

std::string ReadSmallFile(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool ParseDeviceNumber(const std::string& text, dev_t& device) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size())
        return false;
    try {
        std::size_t used = 0;
        const unsigned long major = std::stoul(text.substr(0, colon), &used);
        if (used != colon)
            return false;
        const unsigned long minor = std::stoul(text.substr(colon + 1), &used);
        if (used != text.size() - colon - 1)
            return false;
        device = makedev(major, minor);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// Follows symbolic links by their text, so a link to a node that is missing still names it.
std::filesystem::path Resolve(std::filesystem::path path) {
    std::error_code error;
    for (int depth = 0; depth < 16 && std::filesystem::is_symlink(path, error); ++depth) {
        const std::filesystem::path target = std::filesystem::read_symlink(path, error);
        if (error)
            break;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(path, error);
    return error ? path.lexically_normal() : resolved;
}

} // namespace

ConsoleList ParseConsoleList(const std::string& active, const std::string& consoles) {
    ConsoleList list;
    std::istringstream names(active);
    for (std::string name; names >> name;)
        list.names.insert(name);
    std::istringstream lines(consoles);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::vector<std::string> parts;
        for (std::string word; words >> word;)
            parts.push_back(word);
        if (parts.empty())
            continue;
        list.names.insert(parts.front());
        dev_t device = 0;
        if (parts.size() > 1 && ParseDeviceNumber(parts.back(), device))
            list.devices.insert(device);
    }
    return list;
}

ConsoleList ActiveConsoles(const SystemRoots& roots) {
    return ParseConsoleList(ReadSmallFile(roots.sys / "class" / "tty" / "console" / "active"),
                            ReadSmallFile(roots.proc / "consoles"));
}

bool IsSystemConsole(const std::string& devicePath, const ConsoleList& consoles) {
    const std::filesystem::path resolved = Resolve(devicePath);
    const std::string name = resolved.filename().string();
    if (resolved == "/dev/console" || resolved == "/dev/tty" || consoles.names.count(name) != 0)
        return true;
    // /proc/consoles names a pseudo-terminal "pts/3": compare the device numbers too.
    const std::string underDev = resolved.parent_path().filename().string() + "/" + name;
    if (consoles.names.count(underDev) != 0 && resolved.parent_path().parent_path() == "/dev")
        return true;
    struct stat status {};
    if (::stat(devicePath.c_str(), &status) == 0 && S_ISCHR(status.st_mode))
        return consoles.devices.count(status.st_rdev) != 0;
    return false;
}

bool IsSystemConsole(const std::string& devicePath, const SystemRoots& roots) {
    return IsSystemConsole(devicePath, ActiveConsoles(roots));
}
