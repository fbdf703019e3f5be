#include "simulator/SimulatedSerialPort.h"

#include "base/Errors.h"
#include "log/Logger.h"
#include "simulator/EepromImageFile.h"

#include <cerrno>

SimulatedSerialPort::SimulatedSerialPort(ClockMode mode, std::filesystem::path imageFile,
                                         InitialImage initialImage)
    : _clock(mode), _imageFile(std::move(imageFile)), _initialImage(std::move(initialImage)) {
    if (_imageFile.empty() && _initialImage)
        _initialImage(_eeprom.bytes());
    _busSclLow = _base.SclLow();
}

SimulatedSerialPort::~SimulatedSerialPort() {
    if (_open)
        close();
}

bool SimulatedSerialPort::Usable() {
    if (_vanished) {
        errno = EIO;
        return false;
    }
    if (!_open) {
        errno = EBADF;
        return false;
    }
    return true;
}

void SimulatedSerialPort::LoadImage() {
    if (_imageFile.empty() || _imageLoaded)
        return;
    try {
        if (!LoadEepromImage(_imageFile, _eeprom.bytes()) && _initialImage)
            _initialImage(_eeprom.bytes());
    } catch (const std::exception& e) {
        throw os_error(e.what(), EINVAL);
    }
    _imageLoaded = true;
}

void SimulatedSerialPort::open(const std::string& name, std::uint32_t /*baudRate*/) {
    if (_open)
        close();
    if (_vanished)
        throw os_error("Could not open com-port " + name, ENOENT);
    LoadImage();
    _open = true;
    // Opening clears both outputs: the PC releases the bus.
    _rts = _dtr = false;
    CatchUp();
    BusChanged(_clock.now());
    _dsrSeen = _dsrEdges;
}

bool SimulatedSerialPort::close() {
    if (!_open)
        return true;
    _open = false;
    _rts = _dtr = false;
    BusChanged(_clock.now());
    if (_imageFile.empty())
        return true;
    try {
        SaveEepromImage(_imageFile, _eeprom.bytes());
    } catch (const std::exception& e) {
        CLogger::Instance().Log(10, "%s", e.what());
        return false;
    }
    return true;
}

void SimulatedSerialPort::RunBaseUnit(Nanos until) {
    while (_base.Next() <= until) {
        const Nanos at = _base.Next();
        if (_base.Step(_eeprom.bytes()))
            BusChanged(at);
    }
}

bool SimulatedSerialPort::waitDsrChange(std::uint32_t milliseconds, bool& changed) {
    if (!Usable())
        return false;
    const Nanos deadline = _clock.now() + static_cast<Nanos>(milliseconds) * 1'000'000;
    for (;;) {
        CatchUp();
        if (_dsrEdges != _dsrSeen) {
            _dsrSeen = _dsrEdges;
            changed = true;
            return true;
        }
        const Nanos now = _clock.now();
        if (now >= deadline)
            break;
        _clock.sleepUntil(std::min(_base.Next(), deadline));
    }
    changed = false;
    return true;
}

DummyWrite SimulatedSerialPort::startDummyWrite(const std::uint8_t*, std::size_t) {
    if (!Usable())
        return DummyWrite::Failed;
    return DummyWrite::Pending; // the adapter ignores the transmit line
}

void SimulatedSerialPort::sleep(std::uint32_t milliseconds) {
    _clock.sleepUntil(_clock.now() + static_cast<Nanos>(milliseconds) * 1'000'000);
    if (_open && !_vanished)
        CatchUp();
}

PortSettings SimulatedSerialPort::settings() const {
    PortSettings s;
    s.line.baudRate = 300;
    s.line.fBinary = 1;
    s.line.fTXContinueOnXoff = 1;
    s.line.byteSize = 8;
    s.properties.maxTxQueue = 4096;
    s.properties.maxRxQueue = 4096;
    s.properties.maxBaud = 300;
    return s;
}
