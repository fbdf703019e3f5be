// The port choices of the options dialog: which devices are offered and which item a port
// option selects.
#include "platform/SerialPortList.h"
#include "platform/TtySysfs.h"

#include "TempDir.h"

#include <gtest/gtest.h>

using Items = std::vector<std::string>;

TEST(SerialPortList, FindPortItem) {
    struct Case {
        const char* what;
        Items items;
        const char* port;
        int expected;
    } cases[] = {
        {"the equal item, not a longer one after it", {"COM1", "COM10"}, "COM1", 0},
        {"equal ignoring case", {"COM10", "com1"}, "COM1", 1},
        {"device paths alike", {"/dev/ttyUSB1", "/dev/ttyUSB10"}, "/dev/ttyUSB1", 0},
        {"a prefix is searched from the second item", {"COM1", "COM10", "COM11"}, "COM", 1},
        {"and wraps around to the first", {"COM1", "sim"}, "CO", 0},
        {"nothing stands for the port", {"COM1", "sim"}, "sim:station.img", -1},
        {"empty list", {}, "COM1", -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FindPortItem(c.items, c.port), c.expected) << c.what;
}

TEST(SerialPortList, TheDefaultPortIsTheFirstUsbAdapterOrNone) {
    const struct {
        Items present;
        std::string expected;
    } cases[] = {
        {{}, ""},
        {{"/dev/ttyS1", "/dev/ttyS4"}, ""}, // a board UART is never chosen for the user
        {{"/dev/ttyS1", "/dev/ttyUSB1", "/dev/ttyUSB0"}, "/dev/ttyUSB1"},
        {{"/dev/ttyACM0", "/dev/ttyUSB2"}, "/dev/ttyUSB2"},
        {{"/dev/ttyS1", "/dev/ttyACM3"}, "/dev/ttyACM3"},
        {{"/dev/serial/by-id/usb-Adapter-if00-port0"}, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DefaultSerialPort(c.present), c.expected) << ::testing::PrintToString(c.present);
}

TEST(SerialPortList, ChoicesKeepTheItemsAndAddPresentDevicesAndSimOnce) {
    EXPECT_EQ(PortChoices({"/dev/ttyS0", "/dev/ttyUSB0", "sim"}, {"/dev/ttyUSB0", "/dev/ttyACM0"}),
              (Items{"/dev/ttyS0", "/dev/ttyUSB0", "sim", "/dev/ttyACM0"}));
    EXPECT_EQ(PortChoices({}, {"/dev/ttyUSB1"}), (Items{"/dev/ttyUSB1", "sim"}));
    EXPECT_EQ(PortChoices({}, {}), (Items{"sim"}));
}

namespace {

namespace fs = std::filesystem;

// A small sysfs: a device folder with its driver, and the tty entry that points at it.
struct FakeSys {
    TempDir dir;
    SystemRoots roots{dir / "sys", dir / "proc"};
    fs::path dev = dir / "dev";

    FakeSys() {
        fs::create_directories(roots.sys / "class" / "tty" / "console");
        fs::create_directories(roots.proc);
        fs::create_directories(dev / "serial" / "by-id");
    }
    fs::path Device(const std::string& path, const std::string& driver) {
        const fs::path device = roots.sys / "devices" / path;
        fs::create_directories(device);
        fs::create_directories(roots.sys / "bus" / "drivers" / driver);
        fs::create_symlink(roots.sys / "bus" / "drivers" / driver, device / "driver");
        return device;
    }
    void Tty(const std::string& name, const fs::path& device, const char* type = nullptr, bool node = true) {
        const fs::path tty = roots.sys / "class" / "tty" / name;
        fs::create_directories(tty);
        if (!device.empty())
            fs::create_symlink(device, tty / "device");
        if (type)
            WriteWholeFile(tty / "type", type);
        if (node)
            WriteWholeFile(dev / name, "");
    }
    void Consoles(const std::string& active) {
        WriteWholeFile(roots.sys / "class" / "tty" / "console" / "active", active);
    }
};

} // namespace

TEST(SerialPortList, PresentPortsComeFromSysfsWithoutSilentUartsOrTheConsole) {
    FakeSys sys;
    sys.Device("platform/serial8250", "serial8250");
    for (const char* name : {"ttyS0", "ttyS1", "ttyS2"}) {
        const std::string port = std::string("platform/serial8250/serial8250:0/serial8250:0.") + name[4];
        sys.Tty(name, sys.Device(port, "port"), name[4] == '1' ? "0\n" : "4\n");
    }
    sys.Tty("ttyUSB10", sys.Device("pci0000:00/usb1/1-1/1-1:1.0/ttyUSB10", "ftdi_sio"));
    sys.Tty("ttyUSB2", sys.Device("pci0000:00/usb1/1-2/1-2:1.0/ttyUSB2", "pl2303"));
    sys.Tty("ttyUSB5", sys.Device("pci0000:00/usb1/1-3/1-3:1.0/ttyUSB5", "ch341"), nullptr, false);
    sys.Tty("ttyACM0", sys.Device("pci0000:00/usb1/1-4/1-4:1.0", "cdc_acm"));
    sys.Tty("ttyAMA0", sys.Device("platform/fe201000.serial", "uart-pl011"));
    sys.Tty("tty0", {});
    sys.Consoles("tty0 ttyS2\n");
    fs::create_symlink("../../ttyUSB2", sys.dev / "serial" / "by-id" / "usb-Adapter_A-if00-port0");
    fs::create_symlink("../../ttyS2", sys.dev / "serial" / "by-id" / "pci-console");

    const std::string dev = sys.dev.string();
    EXPECT_EQ(PresentSerialPorts(sys.dev, sys.roots),
              (Items{dev + "/ttyS0", dev + "/ttyUSB2", dev + "/ttyUSB10", dev + "/ttyACM0", dev + "/ttyAMA0",
                     dev + "/serial/by-id/usb-Adapter_A-if00-port0"}))
        << "no silent slot (ttyS1), no console (ttyS2), no virtual terminal, no missing node";
    EXPECT_TRUE(
        PresentSerialPorts(sys.dir / "missing", SystemRoots{sys.dir / "none", sys.dir / "none"}).empty());

    struct Case {
        const char* tty;
        bool hasDevice;
        const char* driver;
        bool usb;
    } cases[] = {
        {"ttyS0", true, "serial8250", false}, {"ttyUSB2", true, "pl2303", true},
        {"ttyACM0", true, "cdc_acm", true},   {"tty0", false, "", false},
        {"ttyX9", false, "", false},
    };
    for (const Case& c : cases) {
        const TtyInfo info = ReadTtyInfo(c.tty, sys.roots);
        EXPECT_EQ(info.hasDevice, c.hasDevice) << c.tty;
        EXPECT_EQ(info.driver, c.driver) << c.tty;
        EXPECT_EQ(info.usb, c.usb) << c.tty;
    }
}
