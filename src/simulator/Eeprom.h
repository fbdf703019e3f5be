#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// A 32 KiB serial EEPROM as an I2C slave at 0xA0/0xA1: 16-bit word address (high byte first),
// sequential reads that wrap at the end of the memory, 64-byte page writes that roll over inside
// the page, and a write cycle during which the device does not acknowledge.
class Eeprom {
public:
    using Nanos = std::int64_t;
    static constexpr std::size_t Size = 32768;
    static constexpr std::size_t PageSize = 64;
    static constexpr std::uint8_t DeviceAddress = 0xA0;
    static constexpr Nanos DefaultWriteCycle = 5'000'000; // 5 ms

    Eeprom() { m_memory.fill(0xFF); }

    std::array<std::uint8_t, Size>& bytes() { return m_memory; }
    const std::array<std::uint8_t, Size>& bytes() const { return m_memory; }

    // Called with the bus levels (true = high) after every change on the bus.
    void OnBus(bool sdaHigh, bool sclHigh, Nanos now) {
        if (sclHigh != m_scl) {
            m_scl = sclHigh;
            m_sda = sdaHigh;
            if (sclHigh)
                ClockRise();
            else
                ClockFall(now);
        } else if (sdaHigh != m_sda) {
            m_sda = sdaHigh;
            if (m_scl) {
                if (sdaHigh)
                    Stop(now);
                else
                    Start();
            }
        }
    }

    // The device's own pull on SDA.
    bool SdaLow() const { return m_sdaLow; }
    bool Busy(Nanos now) const { return now < m_busyUntil; }

    void SetWriteCycle(Nanos duration) { m_writeCycle = duration; }

    // A byte the base unit wrote in a transfer of its own: its STOP ends any command under way
    // and starts the write cycle.
    void WriteFromBaseUnit(std::uint16_t address, std::uint8_t value, Nanos now) {
        m_memory[address & (Size - 1)] = value;
        m_busyUntil = now + m_writeCycle;
        m_mode = Mode::Idle;
        m_sdaLow = false;
        m_latchCount = 0;
        m_latched.fill(false);
    }

    // Faults: a device that never acknowledges; a bit flipped on the next reads of one address.
    void SetAcknowledging(bool on) { m_acknowledging = on; }
    void FlipBitOnRead(std::uint16_t address, std::uint8_t mask, int times = 1);
    // Flips on every other read of the address, the first of them included: each compared pair of
    // reads differs, times pairs long.
    void FlipBitOnEveryOtherRead(std::uint16_t address, std::uint8_t mask, int times);
    // Forgets flips that no read has met yet (a fault that must not outlive its test step).
    void ClearFlips() { m_flips.clear(); }

    // Statistics for tests: completed page writes.
    int PageWrites() const { return m_pageWrites; }

private:
    enum class Mode { Idle, Receive, Transmit };

    void Start();
    void Stop(Nanos now);
    void ClockRise();
    void ClockFall(Nanos now);
    bool TakeByte(std::uint8_t value, Nanos now); // true = acknowledge
    void LoadNextByte();
    std::uint8_t ReadAt(std::uint16_t address);

    std::array<std::uint8_t, Size> m_memory;

    // Bus as last seen.
    bool m_sda = true, m_scl = true;
    bool m_sdaLow = false;

    Mode m_mode = Mode::Idle;
    int m_bitCount = 0; // bits received of the current byte
    bool m_ackPhase = false;
    std::uint8_t m_shift = 0;
    int m_byteIndex = 0; // 0 device address, 1 and 2 word address, then data
    bool m_readMode = false;
    std::uint16_t m_address = 0; // internal address counter
    std::uint8_t m_addressHigh = 0;

    std::uint8_t m_txByte = 0;
    int m_txBit = 0; // 7..0, -1 = master acknowledge slot
    bool m_masterAck = false;

    std::array<std::uint8_t, PageSize> m_latch{};
    std::array<bool, PageSize> m_latched{};
    int m_latchCount = 0;
    std::uint16_t m_latchPage = 0;
    int m_latchOffset = 0;

    Nanos m_writeCycle = DefaultWriteCycle;
    Nanos m_busyUntil = 0;
    bool m_acknowledging = true;
    int m_pageWrites = 0;

    struct Flip {
        std::uint16_t address;
        std::uint8_t mask;
        int times;
        bool everyOther = false;
        bool skipNext = false;
    };
    std::vector<Flip> m_flips;
};
