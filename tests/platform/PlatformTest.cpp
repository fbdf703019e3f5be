// Port names and the Posix port on what a machine without a serial device has.
#include "base/Errors.h"
#include "link/I2CDriver.h"
#include "platform/PortName.h"
#include "platform/PosixSerialPort.h"

#include "PseudoTerminal.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

TEST(PortName, Resolution) {
    struct Case {
        const char* name;
        PortTarget::Kind kind;
        const char* path;
    };
    const Case cases[] = {
        {"COM1", PortTarget::Kind::Device, "/dev/ttyS0"},
        {"COM12", PortTarget::Kind::Device, "/dev/ttyS11"},
        {"com3", PortTarget::Kind::Device, "/dev/ttyS2"},
        {"COM0", PortTarget::Kind::Device, "COM0"},
        {"COMX", PortTarget::Kind::Device, "COMX"},
        {"/dev/ttyUSB0", PortTarget::Kind::Device, "/dev/ttyUSB0"},
        {"sim", PortTarget::Kind::Simulator, ""},
        {"sim:station.bin", PortTarget::Kind::Simulator, "station.bin"},
        {"simulator", PortTarget::Kind::Device, "simulator"},
    };
    for (const Case& c : cases) {
        const PortTarget target = ResolvePortName(c.name);
        EXPECT_EQ(target.kind, c.kind) << c.name;
        EXPECT_EQ(target.path, c.path) << c.name;
    }
}

namespace {

std::string OpenError(PosixSerialPort& port, const std::string& name) {
    try {
        port.open(name, 300);
    } catch (const os_error& e) {
        return e.what();
    }
    return "opened";
}

std::string OpenError(const std::string& name) {
    PosixSerialPort port;
    return OpenError(port, name);
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

} // namespace

TEST(PosixSerialPort, MissingDeviceNamesThePort) {
    const std::string text = OpenError("/dev/nivaro-no-such-port");
    EXPECT_TRUE(Contains(text, "Could not open com-port /dev/nivaro-no-such-port")) << text;
    EXPECT_TRUE(Contains(text, "No such file or directory")) << text;

    const std::string com = OpenError("COM200");
    EXPECT_TRUE(Contains(com, "Could not open com-port COM200 (/dev/ttyS199)")) << com;
}

TEST(PosixSerialPort, NonSerialDevicesAreRefused) {
    const std::string null = OpenError("/dev/null");
    EXPECT_TRUE(Contains(null, "Could not get DCB (/dev/null is not a serial port with modem lines)"))
        << null;

    const PseudoTerminal terminal;
    const std::string pty = OpenError(terminal.Device());
    EXPECT_TRUE(Contains(pty, terminal.Device() + " is not a serial port with modem lines")) << pty;
}

// The port object that failed stays alive, as a program's would: what it opened must be closed
// all the same, so that the next opener hears the same reason and not "in use".
TEST(PosixSerialPort, AFailedOpenLeavesThePortFree) {
    const PseudoTerminal terminal;
    PosixSerialPort first;
    const std::string reason = OpenError(first, terminal.Device());
    EXPECT_TRUE(Contains(reason, "is not a serial port with modem lines")) << reason;
    EXPECT_FALSE(first.isOpen());

    PosixSerialPort second;
    EXPECT_EQ(OpenError(second, terminal.Device()), reason);
    EXPECT_EQ(OpenError(first, terminal.Device()), reason); // the same object tries again
}

TEST(PosixSerialPort, PermissionProblemNamesTheGroupFix) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root opens any device";
    char path[] = "/tmp/nivaro-port-XXXXXX";
    const int fd = ::mkstemp(path);
    ASSERT_GE(fd, 0);
    ::close(fd);
    ::chmod(path, 0);
    const std::string text = OpenError(path);
    ::unlink(path);
    EXPECT_TRUE(Contains(text, "Could not open com-port")) << text;
    EXPECT_TRUE(Contains(text, "dialout")) << text;
    EXPECT_TRUE(Contains(text, "Permission denied")) << text;
}

TEST(PosixSerialPort, DriverOpenFailsWithTheTextAndHoldsNothing) {
    CI2CDriver driver(std::make_shared<PosixSerialPort>());
    EXPECT_THROW(driver.Open("/dev/nivaro-no-such-port", 300, 0xA0, true), os_error);
    EXPECT_FALSE(driver.IsOpened());
    EXPECT_TRUE(driver.Close());
}
