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
    _levels.push_back({_clock.now(), {_eeprom.SdaLow(), _busSclLow}});
}

SimulatedSerialPort::~SimulatedSerialPort() {
    if (_open)
        close();
    _lock.Release();
}

bool SimulatedSerialPort::Usable() {
    if (_vanished || (_dead && _open)) {
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

void SimulatedSerialPort::LockImage(const std::string& name) {
    if (_imageFile.empty())
        return;
    if (const int error = _lock.Acquire(_imageFile))
        throw os_error("Could not open com-port " + name + " (" + EepromImageLock::Reason(_imageFile, error) +
                           ")",
                       error);
}

void SimulatedSerialPort::open(const std::string& name, std::uint32_t /*baudRate*/) {
    if (_open)
        close();
    if (_vanished)
        throw os_error("Could not open com-port " + name, ENOENT);
    LockImage(name);
    try {
        LoadImage();
    } catch (...) {
        _lock.Release();
        throw;
    }
    _open = true;
    _dead = false;
    ++_opens;
    CatchUp();
    // The kernel raises both outputs at open; the port's set-up clears them with its first
    // request. The short low pulse on both bus lines is an edge like any other for the DSR
    // reports; the base unit does not take it for the PC talking.
    SetBothLines(true);
    _clock.busyWait(_adapter.lineChangeNanos);
    CatchUp();
    if (_busHeld) {
        _busHeld = false;
        _base.PcHoldsBus(false, _clock.now());
    }
    SetBothLines(false);
    DeliverDsrReports(_clock.now());
    _dsrSeen = _dsrEdges;
}

void SimulatedSerialPort::SaveImage() {
    if (_imageFile.empty() || !_lock.Held())
        return; // only the holder writes the image
    SaveEepromImage(_imageFile, _eeprom.bytes());
    // Saved: the next open reads the file again, which another holder may have changed by then.
    // After a failed save the memory stays the station's, so nothing is lost.
    _imageLoaded = false;
}

bool SimulatedSerialPort::close() {
    if (!_open)
        return true;
    _open = false;
    SetBothLines(false);
    bool saved = true;
    try {
        SaveImage();
    } catch (const std::exception& e) {
        CLogger::Instance().Log(10, "%s", e.what());
        saved = false;
    }
    _lock.Release();
    return saved;
}

void SimulatedSerialPort::HolderDied() {
    if (!_open)
        return;
    _open = false;
    if (_hangUpOnClose) {
        SetBothLines(false);
    } else if (_rts || _dtr) {
        _busHeld = true;
        _base.PcHoldsBus(true, _clock.now());
        BusChanged(_clock.now());
    }
    try {
        SaveImage();
    } catch (const std::exception& e) {
        CLogger::Instance().Log(10, "%s", e.what());
    }
    _lock.Release();
}

void SimulatedSerialPort::RunBaseUnit(Nanos until) {
    while (_base.Next() <= until) {
        const Nanos at = _base.Next();
        if (_base.Step(_eeprom))
            BusChanged(at);
    }
}

bool SimulatedSerialPort::modemStatus(ModemStatus& status) {
    if (!Usable())
        return false;
    CatchUp();
    // A driver that asks the device gets the levels of when its request started; one that caches
    // them has seen only what was notified by then.
    status = LevelsAt(_adapter.cachedStatus ? _clock.now() - _adapter.statusLagNanos : _clock.now());
    _dsrSeen = _dsrEdges; // changes reported later still count
    ++_statusReads;
    _clock.busyWait(_adapter.statusReadNanos);
    CatchUp();
    return true;
}

ModemStatus SimulatedSerialPort::LevelsAt(Nanos t) {
    ForgetLevelsBefore(_clock.now() - _adapter.statusLagNanos);
    ModemStatus status = _levels.front().status;
    for (const Levels& levels : _levels) {
        if (levels.at > t)
            break;
        status = levels.status;
    }
    return status;
}

bool SimulatedSerialPort::waitDsrChange(std::uint32_t milliseconds, bool& changed) {
    if (!Usable())
        return false;
    const Nanos start = _clock.now();
    const Nanos deadline = start + static_cast<Nanos>(milliseconds) * 1'000'000;
    struct Count {
        Nanos& waited;
        SimClock& clock;
        Nanos start;
        ~Count() { waited += clock.now() - start; }
    } count{_waitedNanos, _clock, start};
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
        Nanos next = std::min(_base.Next(), deadline);
        if (!_dsrReports.empty())
            next = std::min(next, _dsrReports.front());
        _clock.sleepUntil(next);
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
    _waitedNanos += static_cast<Nanos>(milliseconds) * 1'000'000;
    _clock.sleepUntil(_clock.now() + static_cast<Nanos>(milliseconds) * 1'000'000);
    if (!_vanished)
        CatchUp(); // the station lives on while the port is closed
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
