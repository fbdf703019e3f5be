#include "platform/TtySysfs.h"

#include <fstream>

namespace {

namespace fs = std::filesystem;

// The serial core's own bus drivers sit between the port and the driver that owns the hardware.
bool IsSerialCoreDriver(const std::string& name) {
    return name == "port" || name == "ctrl";
}

std::string FirstWord(const fs::path& file) {
    std::ifstream in(file);
    std::string word;
    in >> word;
    return word;
}

} // namespace

TtyInfo ReadTtyInfo(const std::string& ttyName, const SystemRoots& roots) {
    TtyInfo info;
    const fs::path tty = roots.sys / "class" / "tty" / ttyName;
    std::error_code error;
    fs::path device = fs::canonical(tty / "device", error);
    if (error)
        return info;
    info.hasDevice = true;
    info.usb = device.string().find("/usb") != std::string::npos;
    // A type of 0 is PORT_UNKNOWN: the 8250 driver lists its slots whether a UART answers or not.
    info.noUart = FirstWord(tty / "type") == "0";
    const fs::path devices = roots.sys / "devices";
    for (fs::path at = device; !at.empty() && at != devices && at != at.root_path(); at = at.parent_path()) {
        const fs::path driver = fs::read_symlink(at / "driver", error);
        if (error)
            continue;
        const std::string name = driver.filename().string();
        if (!IsSerialCoreDriver(name)) {
            info.driver = name;
            break;
        }
    }
    return info;
}
