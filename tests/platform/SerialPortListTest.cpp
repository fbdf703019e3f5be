// The port choices of the options dialog: which devices are offered and which item a port
// option selects.
#include "platform/SerialPortList.h"

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

TEST(SerialPortList, ChoicesKeepTheItemsAndAddPresentDevicesAndSimOnce) {
    EXPECT_EQ(PortChoices({"/dev/ttyS0", "/dev/ttyUSB0", "sim"}, {"/dev/ttyUSB0", "/dev/ttyACM0"}),
              (Items{"/dev/ttyS0", "/dev/ttyUSB0", "sim", "/dev/ttyACM0"}));
    EXPECT_EQ(PortChoices({}, {"/dev/ttyUSB1"}), (Items{"/dev/ttyUSB1", "sim"}));
    EXPECT_EQ(PortChoices({}, {}), (Items{"sim"}));
}

TEST(SerialPortList, PresentPortsListAdaptersInNumberOrderAndSkipSilentUarts) {
    TempDir dev;
    for (const char* name : {"ttyUSB10", "ttyUSB2", "ttyACM0", "ttyS0", "ttyS1", "tty0", "null"})
        WriteWholeFile(dev / name, "");
    std::filesystem::create_directories(dev / "serial" / "by-id");
    WriteWholeFile(dev / "serial" / "by-id" / "usb-Adapter_A-if00-port0", "");
    const std::string root = dev.path().string();
    // Plain files are no terminals: the ttyS entries do not answer.
    EXPECT_EQ(PresentSerialPorts(dev.path()), (Items{root + "/ttyUSB2", root + "/ttyUSB10", root + "/ttyACM0",
                                                     root + "/serial/by-id/usb-Adapter_A-if00-port0"}));
    EXPECT_TRUE(PresentSerialPorts(dev / "missing").empty());
}
