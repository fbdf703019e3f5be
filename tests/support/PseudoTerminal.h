#pragma once

#include <fcntl.h>
#include <stdexcept>
#include <stdlib.h>
#include <string>
#include <unistd.h>

// A pseudo-terminal pair, for a device path that opens and answers termios but has no modem
// lines: what a port that is not a serial adapter looks like. The master stays open while it lives.
class PseudoTerminal {
public:
    PseudoTerminal() : _master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)) {
        if (_master < 0 || ::grantpt(_master) != 0 || ::unlockpt(_master) != 0)
            throw std::runtime_error("no pseudo-terminal");
        char name[128];
        if (::ptsname_r(_master, name, sizeof name) != 0)
            throw std::runtime_error("no pseudo-terminal name");
        _device = name;
    }
    ~PseudoTerminal() {
        if (_master >= 0)
            ::close(_master);
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    const std::string& Device() const { return _device; }

private:
    int _master;
    std::string _device;
};
