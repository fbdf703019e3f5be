#include "link/I2CDriver.h"

#include "base/Check.h"
#include "base/Errors.h"
#include "link/PortSettingsLog.h"
#include "log/Logger.h"

#include <algorithm>
#include <cerrno>
#include <stdexcept>

CI2CDriver::CI2CDriver(PortFactory factory) : m_factory(std::move(factory)) {
    m_dummyBuffer.fill(0x55);
}

CI2CDriver::CI2CDriver(std::shared_ptr<SerialPort> port) : m_port(std::move(port)) {
    m_dummyBuffer.fill(0x55);
}

CI2CDriver::~CI2CDriver() {
    if (m_port && m_port->isOpen())
        m_port->close();
}

void CI2CDriver::Open(const char* portName, std::uint32_t baudRate, std::uint8_t deviceAddress,
                      bool logSettings) {
    Check(portName != nullptr) << "No port name";
    m_portName = portName;
    if (IsOpened())
        Close();
    m_deviceWriteAddress = deviceAddress & 0xFE;
    m_deviceReadAddress = deviceAddress | 0x01;
    // The same port object for the same name: a simulated station keeps its state across reopenings.
    if (m_factory && (!m_port || m_portMadeFor != m_portName)) {
        m_port.reset();
        m_port = m_factory(m_portName);
        m_portMadeFor = m_portName;
        m_timing.reset(); // another adapter, maybe
        m_freshAfterNanos = 0;
    }
    Check(m_port != nullptr) << "No serial port for " << m_portName;
    m_port->open(m_portName, baudRate);
    m_sdaDrivenLow = m_sclDrivenLow = false;
    SettleModemStatus(); // the open's own pulse on both lines must not count as the station's
    if (logSettings)
        LogPortSettings(m_port->settings());
}

bool CI2CDriver::Close() {
    if (!IsOpened())
        return true;
    // The kernel drops RTS and DTR in one request, in no fixed order: SCL first would let SDA rise
    // on a high clock, a STOP that commits whatever a cut-off write latched. Released here first.
    if (m_sdaDrivenLow || m_sclDrivenLow) {
        try {
            ReleaseLines();
        } catch (const std::exception&) {
            // a port that fails here is closed all the same
        }
    }
    return m_port->close();
}

bool CI2CDriver::IsOpened() const {
    return m_port && m_port->isOpen();
}

void CI2CDriver::SettleModemStatus() {
    const auto lagMs = static_cast<std::uint32_t>(m_freshAfterNanos / 1'000'000 + 1);
    m_port->sleep(std::max(ModemStatusSettleMs, lagMs));
    ModemStatus status;
    OsCheck(m_port->modemStatus(status))
        << "Call to GetCommModemStatus in CI2CDriver::SettleModemStatus() failed.";
}

void CI2CDriver::ReFillBuffer() {
    // The port stays open: the attempt starts from released lines and a fresh dummy write. Only a
    // port lost earlier (a failed open, an adapter unplugged and plugged in again) is opened anew.
    ModemStatus status;
    if (IsOpened() && !m_port->modemStatus(status)) {
        const int error = errno;
        CLogger::Instance().Log(30, "Port %s does not answer (%s); opening it again", m_portName.c_str(),
                                os_error::ErrorText(error).c_str());
        Close();
    }
    if (!IsOpened()) {
        Open(m_portName.c_str(), 300, 0xA0, false);
    } else if (m_sdaDrivenLow || m_sclDrivenLow) {
        ReleaseLines();
        SettleModemStatus();
    }
    switch (m_port->startDummyWrite(m_dummyBuffer.data(), m_dummyBuffer.size())) {
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
    OsCheck(m_port->modemStatus(status)) << failure;
    return status;
}

ModemStatus CI2CDriver::Lines(const char* failure) {
    const std::int64_t wait = m_changedAt + m_freshAfterNanos - m_port->clockNanos();
    if (wait > 0)
        m_port->pauseNanos(wait);
    return ReadStatus(failure);
}

ModemStatus CI2CDriver::LinesReleased(bool sdaToo) {
    ModemStatus status = Lines();
    const std::int64_t until = m_port->clockNanos() + HeldLowBoundNanos;
    while ((status.dsr || (sdaToo && status.cts)) && m_port->clockNanos() < until) {
        m_port->pauseNanos(PollNanos);
        status = ReadStatus();
    }
    return status;
}

CI2CDriver::AdapterTiming CI2CDriver::MeasureAdapter() {
    if (m_sdaDrivenLow || m_sclDrivenLow)
        ReleaseLines();
    AdapterTiming timing;
    // SDA must read high before it is pulled, or a stale status would pass for a fast one.
    const std::int64_t released = m_port->clockNanos();
    while (ReadStatus().cts) {
        if (m_port->clockNanos() - released > MaxStatusLagNanos)
            throw std::runtime_error("SDA held low by another device in CI2CDriver::MeasureAdapter");
        m_port->pauseNanos(PollNanos);
    }
    constexpr int Reads = 4;
    const std::int64_t readsStart = m_port->clockNanos();
    for (int i = 0; i < Reads; ++i)
        ReadStatus();
    timing.statusReadNanos = (m_port->clockNanos() - readsStart) / Reads;
    // SDA pulled and released on the idle bus is a START and a STOP with nothing in between,
    // which no slave takes for a command.
    const std::int64_t pulling = m_port->clockNanos();
    Sda(SdaLow);
    const std::int64_t pulled = m_changedAt;
    timing.lineChangeNanos = pulled - pulling;
    for (;;) {
        const std::int64_t readAt = m_port->clockNanos();
        if (ReadStatus().cts) {
            timing.statusLagNanos = readAt - pulled;
            break;
        }
        if (readAt - pulled > MaxStatusLagNanos) {
            Sda(SdaHigh);
            throw std::runtime_error(
                "SDA pulled low does not read low within 100 ms in CI2CDriver::MeasureAdapter");
        }
        m_port->pauseNanos(PollNanos);
    }
    m_freshAfterNanos = timing.FreshAfterNanos();
    Sda(SdaHigh);
    if (LinesReleased(true).cts)
        throw std::runtime_error("SDA held low by another device in CI2CDriver::MeasureAdapter");
    m_timing = timing;
    CLogger::Instance().Log(30,
                            "Adapter on %s: a line change takes %.3f ms, a status read %.3f ms, a change "
                            "shows %.3f ms late",
                            m_portName.c_str(), static_cast<double>(timing.lineChangeNanos) / 1e6,
                            static_cast<double>(timing.statusReadNanos) / 1e6,
                            static_cast<double>(timing.statusLagNanos) / 1e6);
    return timing;
}

void CI2CDriver::EnsureMeasured() {
    if (!m_timing)
        MeasureAdapter();
}

void CI2CDriver::Sda(SdaState newState) {
    OsCheck(m_port->setRts(newState != SdaHigh))
        << "Call to EscapeCommFunction in CI2CDriver::Sda(" << (newState == SdaLow ? "SdaLow" : "SdaHigh")
        << ") failed.";
    m_sdaDrivenLow = newState != SdaHigh;
    LineDelay();
    m_changedAt = m_port->clockNanos();
}

void CI2CDriver::Scl(SclState newState) {
    OsCheck(m_port->setDtr(newState != SclHigh))
        << "Call to EscapeCommFunction in CI2CDriver::Scl(" << (newState == SclLow ? "SclLow" : "SclHigh")
        << ") failed.";
    m_sclDrivenLow = newState != SclHigh;
    LineDelay();
    m_changedAt = m_port->clockNanos();
}

std::string CI2CDriver::SdaStateName(int state) {
    return state == SdaLow ? "SdaLow" : "SdaHigh";
}

std::string CI2CDriver::SclStateName(int state) {
    return state == SclLow ? "SclLow" : "SclHigh";
}
