#include "link/PortSettingsLog.h"

#include "log/Logger.h"

namespace {

unsigned ParityCode(PortSettings::Parity parity) {
    switch (parity) {
    case PortSettings::Parity::None:
        return 0;
    case PortSettings::Parity::Odd:
        return 1;
    case PortSettings::Parity::Even:
        return 2;
    }
    return 0;
}

void LogDCB(const PortSettings::Line& line) {
    const int parity = line.parity != PortSettings::Parity::None ? 1 : 0;
    const int ctsFlow = line.rtsCtsFlow ? 1 : 0;
    const int xonXoff = line.xonXoffFlow ? 1 : 0;
    const int rtsControl = line.rtsCtsFlow ? 2 : 0; // the handshake value of the two-bit field
    const unsigned stopBits = line.stopBits == 2 ? 2 : 0;
    // A raw line is the binary mode, the only one there is; DTR and RTS are the program's to drive.
    CLogger::Instance().Log(
        30,
        "DCB BaudRate=0x%X, fBinary=%d, fParity=%d, fOutxCtsFlow=%d, fOutxDsrFlow=%d, fDtrControl=%d, "
        "fDsrSensitivity=%d, fTXContinueOnXoff=%d, fOutX=%d, fInX=%d, fErrorChar=%d, fNull=%d, "
        "fRtsControl=%d, "
        "fAbortOnError=%d, XonLim=%d, XoffLim=%d, ByteSize=%d, Parity=0x%X, StopBits=0x%X, XonChar=0x%X, "
        "XoffChar=0x%X, ErrorChar=0x%X, EofChar=0x%X, EvtChar=0x%X",
        line.speed, 1, parity, ctsFlow, 0, 0, 0, 1 - xonXoff, xonXoff, xonXoff, 0, 0, rtsControl, 0, 0, 0,
        line.dataBits, ParityCode(line.parity), stopBits, 0u, 0u, 0u, 0u, 0u);
}

void LogCommTimeouts() {
    CLogger::Instance().Log(30,
                            "COMMTIMEOUTS ReadIntervalTimeout=0x%X, ReadTotalTimeoutMultiplier=0x%X, "
                            "ReadTotalTimeoutConstant=0x%X, WriteTotalTimeoutMultiplier=0x%X, "
                            "WriteTotalTimeoutConstant=0x%X",
                            0u, 0u, 0u, 0u, 0u);
}

void LogCommProperties(const PortSettings::Driver& driver) {
    CLogger::Instance().Log(
        30,
        "COMMPROP wPacketLength=%d, wPacketVersion=%d, dwServiceMask=0x%X, dwMaxTxQueue=%d, dwMaxRxQueue=%d, "
        "dwMaxBaud=0x%X, dwProvSubType=0x%X, dwProvCapabilities=0x%X, dwSettableParams=0x%X, "
        "dwSettableBaud=0x%X, "
        "wSettableData=0x%X, wSettableStopParity=0x%X, dwCurrentTxQueue=%d, dwCurrentRxQueue=%d",
        0, 0, 0u, driver.transmitFifoSize, 0, driver.baudBase, driver.uartType, driver.flags, 0u, 0u, 0u, 0u,
        driver.bytesToSend, driver.bytesReceived);
}

} // namespace

void LogPortSettings(const PortSettings& settings) {
    LogDCB(settings.line);
    LogCommTimeouts();
    LogCommProperties(settings.driver);
}
