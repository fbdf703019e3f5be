#pragma once

#include "platform/SystemRoots.h"

#include <set>
#include <string>
#include <sys/types.h>

// The terminals the kernel writes its console to: names ("ttyS0", "tty0") and device numbers.
struct ConsoleList {
    std::set<std::string> names;
    std::set<dev_t> devices;
};

// From the text of /sys/class/tty/console/active ("tty0 ttyS0") and of /proc/consoles (one line
// per console: name, flags, "major:minor" last). Either text may be empty.
ConsoleList ParseConsoleList(const std::string& active, const std::string& consoles);

// The active consoles as the kernel lists them; reads the two files, opens no device.
ConsoleList ActiveConsoles(const SystemRoots& roots = {});

// Whether a device path is a system console: /dev/console and /dev/tty, a terminal the kernel
// lists as a console by name (after symbolic links are followed, as /dev/serial/by-id uses them),
// or a device node with a console's number. Looks at names and file status only, never opens.
bool IsSystemConsole(const std::string& devicePath, const ConsoleList& consoles);
bool IsSystemConsole(const std::string& devicePath, const SystemRoots& roots = {});
