// The three settings lines an open writes when asked to: the port's POSIX settings under the
// field names the log has always had.
#include "LogCapture.h"
#include "RecordingPort.h"
#include "link/I2CDriver.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

const std::string Timeouts = "COMMTIMEOUTS ReadIntervalTimeout=0x0, ReadTotalTimeoutMultiplier=0x0, "
                             "ReadTotalTimeoutConstant=0x0, WriteTotalTimeoutMultiplier=0x0, "
                             "WriteTotalTimeoutConstant=0x0";

std::vector<std::string> SettingsLines(const PortSettings& settings, bool logSettings) {
    LogCapture log;
    auto port = std::make_shared<RecordingPort>();
    port->reported = settings;
    CI2CDriver driver(port);
    driver.Open("/dev/ttyUSB0", 300, 0xA0, logSettings);
    std::vector<std::string> lines;
    for (const std::string& line : log.Lines())
        if (line.starts_with("DCB ") || line.starts_with("COMMTIMEOUTS ") || line.starts_with("COMMPROP "))
            lines.push_back(line);
    return lines;
}

TEST(SettingsLog, TheStationLineAndItsDriverInThreeLines) {
    PortSettings settings;
    settings.line.speed = 300;
    settings.driver = {16, 115200, 4, 0x10000000, 3, 7};
    const std::vector<std::string> expected = {
        "DCB BaudRate=0x12C, fBinary=1, fParity=0, fOutxCtsFlow=0, fOutxDsrFlow=0, fDtrControl=0, "
        "fDsrSensitivity=0, fTXContinueOnXoff=1, fOutX=0, fInX=0, fErrorChar=0, fNull=0, fRtsControl=0, "
        "fAbortOnError=0, XonLim=0, XoffLim=0, ByteSize=8, Parity=0x0, StopBits=0x0, XonChar=0x0, "
        "XoffChar=0x0, ErrorChar=0x0, EofChar=0x0, EvtChar=0x0",
        Timeouts,
        "COMMPROP wPacketLength=0, wPacketVersion=0, dwServiceMask=0x0, dwMaxTxQueue=16, dwMaxRxQueue=0, "
        "dwMaxBaud=0x1C200, dwProvSubType=0x4, dwProvCapabilities=0x10000000, dwSettableParams=0x0, "
        "dwSettableBaud=0x0, wSettableData=0x0, wSettableStopParity=0x0, dwCurrentTxQueue=3, "
        "dwCurrentRxQueue=7"};
    EXPECT_EQ(SettingsLines(settings, true), expected);
    EXPECT_TRUE(SettingsLines(settings, false).empty());
}

// Each line setting shows in the fields that stand for it.
TEST(SettingsLog, LineSettingsInTheirFields) {
    using Parity = PortSettings::Parity;
    struct Case {
        const char* what;
        PortSettings::Line line;
        std::vector<std::string> fields; // runs of the DCB line
    } cases[] = {
        {"7E2 at 9600",
         {9600, 7, Parity::Even, 2, false, false},
         {"BaudRate=0x2580, fBinary=1, fParity=1,", "ByteSize=7, Parity=0x2, StopBits=0x2,"}},
        {"odd parity", {300, 8, Parity::Odd, 1, false, false}, {"fParity=1,", "Parity=0x1, StopBits=0x0,"}},
        {"hardware flow", {300, 8, Parity::None, 1, true, false}, {"fOutxCtsFlow=1,", "fRtsControl=2,"}},
        {"XON/XOFF", {300, 8, Parity::None, 1, false, true}, {"fTXContinueOnXoff=0, fOutX=1, fInX=1,"}},
    };
    for (const Case& c : cases) {
        PortSettings settings;
        settings.line = c.line;
        const std::vector<std::string> lines = SettingsLines(settings, true);
        ASSERT_EQ(lines.size(), 3u) << c.what;
        for (const std::string& fields : c.fields)
            EXPECT_NE(lines[0].find(fields), std::string::npos) << c.what << ": " << lines[0];
        EXPECT_EQ(lines[1], Timeouts) << c.what;
    }
}

} // namespace
