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
    PseudoTerminal() : m_master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)) {
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
            throw std::runtime_error("no pseudo-terminal");
        char name[128];
        if (::ptsname_r(m_master, name, sizeof name) != 0)
            throw std::runtime_error("no pseudo-terminal name");
        m_device = name;
    }
    ~PseudoTerminal() {
        if (m_master >= 0)
            ::close(m_master);
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    const std::string& Device() const { return m_device; }

private:
    int m_master;
    std::string m_device;
};
