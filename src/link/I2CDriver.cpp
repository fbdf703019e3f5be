#include "link/I2CDriver.h"

#include "base/Check.h"
#include "base/Errors.h"
#include "log/Logger.h"
#include "ports/PortFactory.h"

#include <cerrno>

namespace {

void LogDCB(const PortSettings::Line& d) {
    CLogger::Instance().Log(
        30,
        "DCB BaudRate=0x%X, fBinary=%d, fParity=%d, fOutxCtsFlow=%d, fOutxDsrFlow=%d, fDtrControl=%d, "
        "fDsrSensitivity=%d, fTXContinueOnXoff=%d, fOutX=%d, fInX=%d, fErrorChar=%d, fNull=%d, "
        "fRtsControl=%d, "
        "fAbortOnError=%d, XonLim=%d, XoffLim=%d, ByteSize=%d, Parity=0x%X, StopBits=0x%X, XonChar=0x%X, "
        "XoffChar=0x%X, ErrorChar=0x%X, EofChar=0x%X, EvtChar=0x%X",
        d.baudRate, d.fBinary, d.fParity, d.fOutxCtsFlow, d.fOutxDsrFlow, d.fDtrControl, d.fDsrSensitivity,
        d.fTXContinueOnXoff, d.fOutX, d.fInX, d.fErrorChar, d.fNull, d.fRtsControl, d.fAbortOnError, d.xonLim,
        d.xoffLim, d.byteSize, d.parity, d.stopBits, d.xonChar, d.xoffChar, d.errorChar, d.eofChar,
        d.evtChar);
}

void LogCommTimeouts(const PortSettings::Timeouts& t) {
    CLogger::Instance().Log(30,
                            "COMMTIMEOUTS ReadIntervalTimeout=0x%X, ReadTotalTimeoutMultiplier=0x%X, "
                            "ReadTotalTimeoutConstant=0x%X, WriteTotalTimeoutMultiplier=0x%X, "
                            "WriteTotalTimeoutConstant=0x%X",
                            t.readInterval, t.readTotalMultiplier, t.readTotalConstant,
                            t.writeTotalMultiplier, t.writeTotalConstant);
}

void LogCommProperties(const PortSettings::Properties& p) {
    CLogger::Instance().Log(
        30,
        "COMMPROP wPacketLength=%d, wPacketVersion=%d, dwServiceMask=0x%X, dwMaxTxQueue=%d, dwMaxRxQueue=%d, "
        "dwMaxBaud=0x%X, dwProvSubType=0x%X, dwProvCapabilities=0x%X, dwSettableParams=0x%X, "
        "dwSettableBaud=0x%X, "
        "wSettableData=0x%X, wSettableStopParity=0x%X, dwCurrentTxQueue=%d, dwCurrentRxQueue=%d",
        p.packetLength, p.packetVersion, p.serviceMask, p.maxTxQueue, p.maxRxQueue, p.maxBaud, p.provSubType,
        p.provCapabilities, p.settableParams, p.settableBaud, p.settableData, p.settableStopParity,
        p.currentTxQueue, p.currentRxQueue);
}

} // namespace

CI2CDriver::CI2CDriver()
    : CI2CDriver(PortFactory([](const std::string& name) { return MakeSerialPort(name); })) {}

CI2CDriver::CI2CDriver(PortFactory factory) : _factory(std::move(factory)) {
    _dummyBuffer.fill(0x55);
}

CI2CDriver::CI2CDriver(std::shared_ptr<SerialPort> port) : _port(std::move(port)) {
    _dummyBuffer.fill(0x55);
}

CI2CDriver::~CI2CDriver() {
    if (_port && _port->isOpen())
        _port->close();
}

void CI2CDriver::Open(const char* portName, std::uint32_t baudRate, std::uint8_t deviceAddress,
                      bool logSettings) {
    Check(portName != nullptr) << "No port name";
    _portName = portName;
    if (IsOpened())
        Close();
    _DeviceWriteAddress = deviceAddress & 0xFE;
    _DeviceReadAddress = deviceAddress | 0x01;
    // The same port object for the same name: a simulated station keeps its state across reopenings.
    if (_factory && (!_port || _portMadeFor != _portName)) {
        _port.reset();
        _port = _factory(_portName);
        _portMadeFor = _portName;
    }
    Check(_port != nullptr) << "No serial port for " << _portName;
    _port->open(_portName, baudRate);
    _sdaDrivenLow = _sclDrivenLow = false;
    SettleModemStatus(); // the open's own pulse on both lines must not count as the station's
    if (logSettings) {
        const PortSettings settings = _port->settings();
        LogDCB(settings.line);
        LogCommTimeouts(PortSettings::Timeouts{}); // the values set: all zero
        LogCommProperties(settings.properties);
    }
}

bool CI2CDriver::Close() {
    if (!IsOpened())
        return true;
    return _port->close();
}

bool CI2CDriver::IsOpened() const {
    return _port && _port->isOpen();
}

void CI2CDriver::SettleModemStatus() {
    _port->sleep(ModemStatusSettleMs);
    ModemStatus status;
    OsCheck(_port->modemStatus(status))
        << "Call to GetCommModemStatus in CI2CDriver::SettleModemStatus() failed.";
}

void CI2CDriver::ReFillBuffer() {
    // The port stays open: the attempt starts from released lines and a fresh dummy write. Only a
    // port lost earlier (a failed open, an adapter unplugged and plugged in again) is opened anew.
    ModemStatus status;
    if (IsOpened() && !_port->modemStatus(status)) {
        const int error = errno;
        CLogger::Instance().Log(30, "Port %s does not answer (%s); opening it again", _portName.c_str(),
                                os_error::ErrorText(error).c_str());
        Close();
    }
    if (!IsOpened()) {
        Open(_portName.c_str(), 300, 0xA0, false);
    } else if (_sdaDrivenLow || _sclDrivenLow) {
        Scl(SclHigh);
        Sda(SdaHigh);
        SettleModemStatus();
    }
    switch (_port->startDummyWrite(_dummyBuffer.data(), _dummyBuffer.size())) {
    case DummyWrite::Completed:
        return;
    case DummyWrite::Pending:
        CLogger::Instance().Log(50, "Dummy buffer io written");
        return;
    case DummyWrite::Failed:
        break;
    }
    const int error = errno;
    CLogger::Instance().Log(10, " CI2CDriver::ReFillBuffer Error. Return code 0x%X",
                            static_cast<unsigned>(error));
    throw os_error("CHWManager::WriteBuffer Could not (re)fill dummy buffer", error);
}

CI2CDriver::SdaState CI2CDriver::Sda() {
    ModemStatus status;
    OsCheck(_port->modemStatus(status)) << "Call to GetCommModemStatus in CI2CDriver::Sda() failed.";
    return status.cts ? SdaLow : SdaHigh;
}

ModemStatus CI2CDriver::Lines() {
    ModemStatus status;
    OsCheck(_port->modemStatus(status)) << "Call to GetCommModemStatus in CI2CDriver::Lines() failed.";
    return status;
}

CI2CDriver::SclState CI2CDriver::Scl() {
    ModemStatus status;
    OsCheck(_port->modemStatus(status)) << "Call to GetCommModemStatus in CI2CDriver::Scl() failed.";
    return status.dsr ? SclLow : SclHigh;
}

void CI2CDriver::Sda(SdaState newState) {
    OsCheck(_port->setRts(newState != SdaHigh)) << "Call to EscapeCommFunction in CI2CDriver::Sda("
                                                << (newState == SdaLow ? "SdaLow" : "SdaHigh") << ") failed.";
    _sdaDrivenLow = newState != SdaHigh;
    LineDelay();
}

void CI2CDriver::Scl(SclState newState) {
    OsCheck(_port->setDtr(newState != SclHigh)) << "Call to EscapeCommFunction in CI2CDriver::Scl("
                                                << (newState == SclLow ? "SclLow" : "SclHigh") << ") failed.";
    _sclDrivenLow = newState != SclHigh;
    LineDelay();
}

std::string CI2CDriver::SdaStateName(int state) {
    return state == SdaLow ? "SdaLow" : "SdaHigh";
}

std::string CI2CDriver::SclStateName(int state) {
    return state == SclLow ? "SclLow" : "SclHigh";
}
