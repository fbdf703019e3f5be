#pragma once

#include "platform/SerialPort.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

// Bit-banged I2C master on the modem lines of a serial port: SDA on RTS/CTS, SCL on DTR/DSR, both
// inverted by the adapter. Speaks to the station's EEPROM and synchronises with the base unit.
// Used by one thread only.
class CI2CDriver {
public:
    enum SdaState { SdaHigh = 0, SdaLow = 1 };
    enum SclState { SclHigh = 0, SclLow = 1 };

    // Makes the port for a name; called again only when the name changes. The caller decides
    // what a name stands for (a device, a simulated station).
    using PortFactory = std::function<std::unique_ptr<SerialPort>(const std::string& name)>;

    explicit CI2CDriver(PortFactory factory);
    // Always this port, whatever the name (tests, the simulator with a chosen clock).
    explicit CI2CDriver(std::shared_ptr<SerialPort> port);
    ~CI2CDriver();
    CI2CDriver(const CI2CDriver&) = delete;
    CI2CDriver& operator=(const CI2CDriver&) = delete;

    // Line access. The port is opened once per run; a synchronisation attempt resets the lines on
    // the open port instead of reopening it (every open raises both lines for a moment).
    void Open(const char* portName, std::uint32_t baudRate, std::uint8_t deviceAddress, bool logSettings);
    bool Close();
    bool IsOpened() const;
    void ReFillBuffer();
    SdaState Sda();
    SclState Scl();
    void Sda(SdaState newState);
    void Scl(SclState newState);
    static std::string SdaStateName(int state);
    static std::string SclStateName(int state);

    // Bus conditions and bytes. Releasing both lines never lets SDA rise while SCL is high.
    void StartCondition();
    void StopCondition();
    void PutByte(std::uint8_t byte);
    void GetByte(std::uint8_t& byte);
    void PutAck();
    bool GetAck();
    bool PollAcknowledge(std::uint8_t address);
    bool ResetBus();
    // Nine clocks with SDA released, then START and STOP: a slave left in the middle of a byte is
    // brought back to standby without writing. True when SDA was free for the START.
    bool ClearBus();
    void ReleaseLines();

    // EEPROM transfers.
    void RandomRead(std::uint16_t startAddress, std::uint8_t* buffer, std::uint32_t size);
    void Write(std::uint16_t startAddress, const std::uint8_t* sourceBuffer, std::uint32_t size);
    bool ReadCompare(std::uint16_t address, std::uint8_t* buffer, std::uint32_t size, std::string& msg);
    bool WriteCompare(std::uint16_t address, const std::uint8_t* buffer, std::uint32_t size);

    // One synchronisation attempt with the base unit's bus activity. abortRequested, when given,
    // is polled while waiting for the stable high phase; an abort ends the attempt as failed.
    bool Synchronize(const std::function<bool()>& abortRequested = {});

    // Windows of the stable-high wait after which an attempt gives up when SCL keeps changing.
    static constexpr int MaxHighWaitWindows = 1000;
    // After our own line changes, how long before DSR reports are the station's again: USB
    // adapters report a modem-line change up to 16 ms late (longer when measured so).
    static constexpr std::uint32_t ModemStatusSettleMs = 20;
    // How long a line we released (or a clock we gave) may stay low once its change can show
    // before the transfer fails: the base unit finishing a byte of its own, a slave that stretches.
    static constexpr std::int64_t HeldLowBoundNanos = 20'000'000;
    // Between two status reads while waiting for a level.
    static constexpr std::int64_t PollNanos = 50'000;
    // An adapter whose status shows our own change later than this cannot carry the bus.
    static constexpr std::int64_t MaxStatusLagNanos = 100'000'000;

    // The adapter as measured on first contact: a status read's cost and how late a change shows.
    // Measured once per port (the first synchronisation, or the first transfer before any);
    // logged once.
    struct AdapterTiming {
        std::int64_t lineChangeNanos = 0; // one line change with its settle delay
        std::int64_t statusReadNanos = 0;
        std::int64_t statusLagNanos = 0;
        // From our change until a status read shows it: the lag and a quarter more for a lag
        // that varies.
        std::int64_t FreshAfterNanos() const { return statusLagNanos + statusLagNanos / 4; }
    };
    AdapterTiming MeasureAdapter();
    const std::optional<AdapterTiming>& Timing() const { return m_timing; }

    SerialPort* Port() const { return m_port.get(); }
    const std::string& PortName() const { return m_portName; }

private:
    void LineDelay() { m_port->settleDelay(); }
    // Releases SCL and fails when another device holds it low.
    void ClockHigh();
    // Both lines in one look (cts: SDA low, dsr: SCL low), taken only when our last change can
    // show in it: a cached status shows a change late.
    ModemStatus Lines(const char* failure = "Call to GetCommModemStatus in CI2CDriver::Lines() failed.");
    // Lines(), then looked at again until SCL (and, with sdaToo, SDA) reads high or the held-low
    // bound has passed; the last look.
    ModemStatus LinesReleased(bool sdaToo);
    ModemStatus ReadStatus(const char* failure = "Call to GetCommModemStatus in CI2CDriver failed.");
    void EnsureMeasured();
    void BeginTransfer();
    // clocksFirst clocks with SDA released, then clocks until SDA reads free (nine at most), then
    // START and STOP; true when they were given.
    bool Recover(int clocksFirst);
    void EndRead();
    void SettleModemStatus();

    std::uint8_t m_deviceReadAddress = 0;
    std::uint8_t m_deviceWriteAddress = 0;
    std::string m_portName;
    std::array<std::uint8_t, 16384> m_dummyBuffer;
    PortFactory m_factory;
    std::shared_ptr<SerialPort> m_port;
    std::string m_portMadeFor;
    bool m_sdaDrivenLow = false, m_sclDrivenLow = false;
    std::int64_t m_changedAt = 0;       // port clock at our last line change
    std::int64_t m_freshAfterNanos = 0; // from a change until a status read can show it
    std::optional<AdapterTiming> m_timing;
};
