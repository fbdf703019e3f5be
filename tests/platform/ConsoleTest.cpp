// The system console is never offered and never opened: recognised from the kernel's lists, by
// name through symbolic links, and by device number.
#include "TempDir.h"
#include "base/Errors.h"
#include "platform/PosixSerialPort.h"
#include "platform/SystemConsole.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// A pseudo-terminal pair; the slave's path and device number stand in for a serial device.
struct Pty {
    int master = -1;
    std::string slave;
    dev_t device = 0;
    Pty() {
        master = ::posix_openpt(O_RDWR | O_NOCTTY);
        EXPECT_GE(master, 0);
        EXPECT_EQ(::grantpt(master), 0);
        EXPECT_EQ(::unlockpt(master), 0);
        slave = ::ptsname(master);
        struct stat status {};
        EXPECT_EQ(::stat(slave.c_str(), &status), 0);
        device = status.st_rdev;
    }
    ~Pty() { ::close(master); }
};

// A small copy of the kernel's console lists.
SystemRoots FakeRoots(const TempDir& dir, const std::string& active, const std::string& consoles) {
    SystemRoots roots{dir / "sys", dir / "proc"};
    std::filesystem::create_directories(roots.sys / "class" / "tty" / "console");
    std::filesystem::create_directories(roots.proc);
    WriteWholeFile(roots.sys / "class" / "tty" / "console" / "active", active);
    WriteWholeFile(roots.proc / "consoles", consoles);
    return roots;
}

std::string NumberOf(dev_t device) {
    return std::to_string(major(device)) + ":" + std::to_string(minor(device));
}

std::string OpenError(PosixSerialPort& port, const std::string& name) {
    try {
        port.open(name, 300);
    } catch (const std::exception& e) {
        return e.what();
    }
    return "opened";
}

} // namespace

TEST(SystemConsole, KernelListsAreRead) {
    struct Case {
        const char* what;
        const char* active;
        const char* consoles;
        std::set<std::string> names;
        std::set<dev_t> devices;
    } cases[] = {
        {"serial console",
         "ttyS0\n",
         "ttyS0                -W- (EC p a)    4:64\n",
         {"ttyS0"},
         {makedev(4, 64)}},
        {"two consoles",
         "tty0 ttyS1\n",
         "tty0 -WU (E  p  )    4:1\nttyS1 -W- (E  p a)  4:65\n",
         {"tty0", "ttyS1"},
         {makedev(4, 1), makedev(4, 65)}},
        {"no /proc/consoles", "ttyAMA0\n", "", {"ttyAMA0"}, {}},
        {"a line without a device number", "", "netcon0 -W- (E )\n", {"netcon0"}, {}},
        {"nothing", "", "", {}, {}},
    };
    for (const Case& c : cases) {
        const ConsoleList list = ParseConsoleList(c.active, c.consoles);
        EXPECT_EQ(list.names, c.names) << c.what;
        EXPECT_EQ(list.devices, c.devices) << c.what;
    }
}

TEST(SystemConsole, RecognisedByNameLinkAndDeviceNumber) {
    TempDir dir;
    Pty pty;
    const SystemRoots roots =
        FakeRoots(dir, "tty0 ttyS0\n", "ttyS0 -W- (EC p a) 4:64\nother -W- " + NumberOf(pty.device) + "\n");
    std::filesystem::create_directories(dir / "dev" / "serial" / "by-id");
    WriteWholeFile(dir / "dev" / "ttyUSB0", "");
    std::filesystem::create_symlink("../../ttyS0", dir / "dev" / "serial" / "by-id" / "pci-console-port");
    std::filesystem::create_symlink("../../ttyUSB0", dir / "dev" / "serial" / "by-id" / "usb-Adapter-port0");
    struct Case {
        std::string path;
        bool console;
    } cases[] = {
        {"/dev/console", true},
        {"/dev/tty", true},
        {(dir / "dev" / "ttyS0").string(), true}, // by name, whether or not the node exists
        {(dir / "dev" / "serial" / "by-id" / "pci-console-port").string(), true},
        {(dir / "dev" / "serial" / "by-id" / "usb-Adapter-port0").string(), false},
        {(dir / "dev" / "ttyUSB0").string(), false},
        {pty.slave, true}, // by device number
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsSystemConsole(c.path, roots), c.console) << c.path;
    EXPECT_FALSE(IsSystemConsole(pty.slave, FakeRoots(dir, "", ""))) << "not listed";
}

TEST(SystemConsole, PortRefusesItBeforeOpening) {
    TempDir dir;
    Pty pty;
    // The slave listed as console: refused with its own text, not the failure an open would give.
    PosixSerialPort listed(FakeRoots(dir, "", "pts -W- " + NumberOf(pty.device) + "\n"));
    const std::string refused = OpenError(listed, pty.slave);
    EXPECT_NE(
        refused.find("Could not open com-port " + pty.slave + " (" + pty.slave + " is the system console"),
        std::string::npos)
        << refused;
    EXPECT_EQ(refused.find("busy"), std::string::npos) << "no system text after our own reason: " << refused;
    EXPECT_FALSE(listed.isOpen());

    // A console named ttyS0 that does not even exist here: the check comes first.
    PosixSerialPort named(FakeRoots(dir, "ttyS0\n", ""));
    const std::string missing = OpenError(named, (dir / "ttyS0").string());
    EXPECT_NE(missing.find("is the system console"), std::string::npos) << missing;
    EXPECT_EQ(missing.find("No such file"), std::string::npos) << missing;

    PosixSerialPort unlisted(FakeRoots(dir, "", ""));
    const std::string opened = OpenError(unlisted, pty.slave);
    EXPECT_NE(opened.find("is not a serial port with modem lines"), std::string::npos) << opened;
}
