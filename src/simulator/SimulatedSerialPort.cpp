#include "simulator/SimulatedSerialPort.h"

#include "base/Errors.h"
#include "log/Logger.h"
#include "simulator/EepromImageFile.h"

#include <cerrno>

SimulatedSerialPort::SimulatedSerialPort(ClockMode mode, std::filesystem::path imageFile,
                                         InitialImage initialImage)
    : m_clock(mode), m_imageFile(std::move(imageFile)), m_initialImage(std::move(initialImage)) {
    if (m_imageFile.empty() && m_initialImage)
        m_initialImage(m_eeprom.bytes());
    m_busSclLow = m_base.SclLow();
    m_levels.push_back({m_clock.now(), {m_eeprom.SdaLow(), m_busSclLow}});
}

SimulatedSerialPort::~SimulatedSerialPort() {
    if (m_open)
        close();
    m_lock.Release();
}

bool SimulatedSerialPort::Usable() {
    if (m_vanished || (m_dead && m_open)) {
        errno = EIO;
        return false;
    }
    if (!m_open) {
        errno = EBADF;
        return false;
    }
    return true;
}

void SimulatedSerialPort::LoadImage() {
    if (m_imageFile.empty() || m_imageLoaded)
        return;
    try {
        if (!LoadEepromImage(m_imageFile, m_eeprom.bytes()) && m_initialImage)
            m_initialImage(m_eeprom.bytes());
    } catch (const std::exception& e) {
        throw os_error(e.what(), EINVAL);
    }
    m_imageLoaded = true;
}

void SimulatedSerialPort::LockImage(const std::string& name) {
    if (m_imageFile.empty())
        return;
    if (const int error = m_lock.Acquire(m_imageFile))
        throw os_error("Could not open com-port " + name + " (" +
                           EepromImageLock::Reason(m_imageFile, error) + ")",
                       error);
}

void SimulatedSerialPort::open(const std::string& name, std::uint32_t /*baudRate*/) {
    if (m_open)
        close();
    if (m_vanished)
        throw os_error("Could not open com-port " + name, ENOENT);
    LockImage(name);
    try {
        LoadImage();
    } catch (...) {
        m_lock.Release();
        throw;
    }
    m_open = true;
    m_dead = false;
    ++m_opens;
    CatchUp();
    // The kernel raises both outputs at open; the port's set-up clears them with its first
    // request. The short low pulse on both bus lines is an edge like any other for the DSR
    // reports; the base unit does not take it for the PC talking.
    SetBothLines(true);
    m_clock.busyWait(m_adapter.lineChangeNanos);
    CatchUp();
    if (m_busHeld) {
        m_busHeld = false;
        m_base.PcHoldsBus(false, m_clock.now());
    }
    SetBothLines(false);
    DeliverDsrReports(m_clock.now());
    m_dsrSeen = m_dsrEdges;
}

void SimulatedSerialPort::SaveImage() {
    if (m_imageFile.empty() || !m_lock.Held())
        return; // only the holder writes the image
    SaveEepromImage(m_imageFile, m_eeprom.bytes());
    // Saved: the next open reads the file again, which another holder may have changed by then.
    // After a failed save the memory stays the station's, so nothing is lost.
    m_imageLoaded = false;
}

bool SimulatedSerialPort::close() {
    if (!m_open)
        return true;
    m_open = false;
    SetBothLines(false);
    bool saved = true;
    try {
        SaveImage();
    } catch (const std::exception& e) {
        CLogger::Instance().Log(10, "%s", e.what());
        saved = false;
    }
    m_lock.Release();
    return saved;
}

void SimulatedSerialPort::HolderDied() {
    if (!m_open)
        return;
    m_open = false;
    if (m_hangUpOnClose) {
        SetBothLines(false);
    } else if (m_rts || m_dtr) {
        m_busHeld = true;
        m_base.PcHoldsBus(true, m_clock.now());
        BusChanged(m_clock.now());
    }
    try {
        SaveImage();
    } catch (const std::exception& e) {
        CLogger::Instance().Log(10, "%s", e.what());
    }
    m_lock.Release();
}

void SimulatedSerialPort::RunBaseUnit(Nanos until) {
    while (m_base.Next() <= until) {
        const Nanos at = m_base.Next();
        if (m_base.Step(m_eeprom))
            BusChanged(at);
    }
}

bool SimulatedSerialPort::modemStatus(ModemStatus& status) {
    if (!Usable())
        return false;
    CatchUp();
    // A driver that asks the device gets the levels of when its request started; one that caches
    // them has seen only what was notified by then.
    status = LevelsAt(m_adapter.cachedStatus ? m_clock.now() - m_adapter.statusLagNanos : m_clock.now());
    m_dsrSeen = m_dsrEdges; // changes reported later still count
    ++m_statusReads;
    m_clock.busyWait(m_adapter.statusReadNanos);
    CatchUp();
    return true;
}

ModemStatus SimulatedSerialPort::LevelsAt(Nanos t) {
    ForgetLevelsBefore(m_clock.now() - m_adapter.statusLagNanos);
    ModemStatus status = m_levels.front().status;
    for (const Levels& levels : m_levels) {
        if (levels.at > t)
            break;
        status = levels.status;
    }
    return status;
}

bool SimulatedSerialPort::waitDsrChange(std::uint32_t milliseconds, bool& changed) {
    if (!Usable())
        return false;
    const Nanos start = m_clock.now();
    const Nanos deadline = start + static_cast<Nanos>(milliseconds) * 1'000'000;
    struct Count {
        Nanos& waited;
        SimClock& clock;
        Nanos start;
        ~Count() { waited += clock.now() - start; }
    } count{m_waitedNanos, m_clock, start};
    for (;;) {
        CatchUp();
        if (m_dsrEdges != m_dsrSeen) {
            m_dsrSeen = m_dsrEdges;
            changed = true;
            return true;
        }
        const Nanos now = m_clock.now();
        if (now >= deadline)
            break;
        Nanos next = std::min(m_base.Next(), deadline);
        if (!m_dsrReports.empty())
            next = std::min(next, m_dsrReports.front());
        m_clock.sleepUntil(next);
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
    m_waitedNanos += static_cast<Nanos>(milliseconds) * 1'000'000;
    m_clock.sleepUntil(m_clock.now() + static_cast<Nanos>(milliseconds) * 1'000'000);
    if (!m_vanished)
        CatchUp(); // the station lives on while the port is closed
}

PortSettings SimulatedSerialPort::settings() const {
    // The line as the station's adapter is set up; like many USB adapters, the driver tells
    // nothing of itself.
    PortSettings s;
    s.line.speed = 300;
    return s;
}
