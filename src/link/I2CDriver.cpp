#include "link/I2CDriver.h"

#include "base/Check.h"
#include "base/Errors.h"
#include "log/Logger.h"

#include <algorithm>
#include <cerrno>
#include <stdexcept>

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
    _deviceWriteAddress = deviceAddress & 0xFE;
    _deviceReadAddress = deviceAddress | 0x01;
    // The same port object for the same name: a simulated station keeps its state across reopenings.
    if (_factory && (!_port || _portMadeFor != _portName)) {
        _port.reset();
        _port = _factory(_portName);
        _portMadeFor = _portName;
        _timing.reset(); // another adapter, maybe
        _freshAfterNanos = 0;
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
    // The kernel drops RTS and DTR in one request, in no fixed order: SCL first would let SDA rise
    // on a high clock, a STOP that commits whatever a cut-off write latched. Released here first.
    if (_sdaDrivenLow || _sclDrivenLow) {
        try {
            ReleaseLines();
        } catch (const std::exception&) {
            // a port that fails here is closed all the same
        }
    }
    return _port->close();
}

bool CI2CDriver::IsOpened() const {
    return _port && _port->isOpen();
}

void CI2CDriver::SettleModemStatus() {
    const auto lagMs = static_cast<std::uint32_t>(_freshAfterNanos / 1'000'000 + 1);
    _port->sleep(std::max(ModemStatusSettleMs, lagMs));
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
        ReleaseLines();
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
    return Lines("Call to GetCommModemStatus in CI2CDriver::Sda() failed.").cts ? SdaLow : SdaHigh;
}

CI2CDriver::SclState CI2CDriver::Scl() {
    return Lines("Call to GetCommModemStatus in CI2CDriver::Scl() failed.").dsr ? SclLow : SclHigh;
}

ModemStatus CI2CDriver::ReadStatus(const char* failure) {
    ModemStatus status;
    OsCheck(_port->modemStatus(status)) << failure;
    return status;
}

ModemStatus CI2CDriver::Lines(const char* failure) {
    const std::int64_t wait = _changedAt + _freshAfterNanos - _port->clockNanos();
    if (wait > 0)
        _port->pauseNanos(wait);
    return ReadStatus(failure);
}

ModemStatus CI2CDriver::LinesReleased(bool sdaToo) {
    ModemStatus status = Lines();
    const std::int64_t until = _port->clockNanos() + HeldLowBoundNanos;
    while ((status.dsr || (sdaToo && status.cts)) && _port->clockNanos() < until) {
        _port->pauseNanos(PollNanos);
        status = ReadStatus();
    }
    return status;
}

CI2CDriver::AdapterTiming CI2CDriver::MeasureAdapter() {
    if (_sdaDrivenLow || _sclDrivenLow)
        ReleaseLines();
    AdapterTiming timing;
    // SDA must read high before it is pulled, or a stale status would pass for a fast one.
    const std::int64_t released = _port->clockNanos();
    while (ReadStatus().cts) {
        if (_port->clockNanos() - released > MaxStatusLagNanos)
            throw std::runtime_error("SDA held low by another device in CI2CDriver::MeasureAdapter");
        _port->pauseNanos(PollNanos);
    }
    constexpr int Reads = 4;
    const std::int64_t readsStart = _port->clockNanos();
    for (int i = 0; i < Reads; ++i)
        ReadStatus();
    timing.statusReadNanos = (_port->clockNanos() - readsStart) / Reads;
    // SDA pulled and released on the idle bus is a START and a STOP with nothing in between,
    // which no slave takes for a command.
    const std::int64_t pulling = _port->clockNanos();
    Sda(SdaLow);
    const std::int64_t pulled = _changedAt;
    timing.lineChangeNanos = pulled - pulling;
    for (;;) {
        const std::int64_t readAt = _port->clockNanos();
        if (ReadStatus().cts) {
            timing.statusLagNanos = readAt - pulled;
            break;
        }
        if (readAt - pulled > MaxStatusLagNanos) {
            Sda(SdaHigh);
            throw std::runtime_error(
                "SDA pulled low does not read low within 100 ms in CI2CDriver::MeasureAdapter");
        }
        _port->pauseNanos(PollNanos);
    }
    _freshAfterNanos = timing.FreshAfterNanos();
    Sda(SdaHigh);
    if (LinesReleased(true).cts)
        throw std::runtime_error("SDA held low by another device in CI2CDriver::MeasureAdapter");
    _timing = timing;
    CLogger::Instance().Log(30,
                            "Adapter on %s: a line change takes %.3f ms, a status read %.3f ms, a change "
                            "shows %.3f ms late",
                            _portName.c_str(), static_cast<double>(timing.lineChangeNanos) / 1e6,
                            static_cast<double>(timing.statusReadNanos) / 1e6,
                            static_cast<double>(timing.statusLagNanos) / 1e6);
    return timing;
}

void CI2CDriver::EnsureMeasured() {
    if (!_timing)
        MeasureAdapter();
}

void CI2CDriver::Sda(SdaState newState) {
    OsCheck(_port->setRts(newState != SdaHigh)) << "Call to EscapeCommFunction in CI2CDriver::Sda("
                                                << (newState == SdaLow ? "SdaLow" : "SdaHigh") << ") failed.";
    _sdaDrivenLow = newState != SdaHigh;
    LineDelay();
    _changedAt = _port->clockNanos();
}

void CI2CDriver::Scl(SclState newState) {
    OsCheck(_port->setDtr(newState != SclHigh)) << "Call to EscapeCommFunction in CI2CDriver::Scl("
                                                << (newState == SclLow ? "SclLow" : "SclHigh") << ") failed.";
    _sclDrivenLow = newState != SclHigh;
    LineDelay();
    _changedAt = _port->clockNanos();
}

std::string CI2CDriver::SdaStateName(int state) {
    return state == SdaLow ? "SdaLow" : "SdaHigh";
}

std::string CI2CDriver::SclStateName(int state) {
    return state == SclLow ? "SclLow" : "SclHigh";
}
