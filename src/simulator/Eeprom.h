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

    Eeprom() { _memory.fill(0xFF); }

    std::array<std::uint8_t, Size>& bytes() { return _memory; }
    const std::array<std::uint8_t, Size>& bytes() const { return _memory; }

    // Called with the bus levels (true = high) after every change on the bus.
    void OnBus(bool sdaHigh, bool sclHigh, Nanos now) {
        if (sclHigh != _scl) {
            _scl = sclHigh;
            _sda = sdaHigh;
            if (sclHigh)
                ClockRise();
            else
                ClockFall(now);
        } else if (sdaHigh != _sda) {
            _sda = sdaHigh;
            if (_scl) {
                if (sdaHigh)
                    Stop(now);
                else
                    Start();
            }
        }
    }

    // The device's own pull on SDA.
    bool SdaLow() const { return _sdaLow; }
    bool Busy(Nanos now) const { return now < _busyUntil; }

    void SetWriteCycle(Nanos duration) { _writeCycle = duration; }

    // A byte the base unit wrote in a transfer of its own: its STOP ends any command under way
    // and starts the write cycle.
    void WriteFromBaseUnit(std::uint16_t address, std::uint8_t value, Nanos now) {
        _memory[address & (Size - 1)] = value;
        _busyUntil = now + _writeCycle;
        _mode = Mode::Idle;
        _sdaLow = false;
        _latchCount = 0;
        _latched.fill(false);
    }

    // Faults: a device that never acknowledges; a bit flipped on the next reads of one address.
    void SetAcknowledging(bool on) { _acknowledging = on; }
    void FlipBitOnRead(std::uint16_t address, std::uint8_t mask, int times = 1);
    // Flips on every other read of the address, the first of them included: each compared pair of
    // reads differs, times pairs long.
    void FlipBitOnEveryOtherRead(std::uint16_t address, std::uint8_t mask, int times);
    // Forgets flips that no read has met yet (a fault that must not outlive its test step).
    void ClearFlips() { _flips.clear(); }

    // Statistics for tests: completed page writes.
    int PageWrites() const { return _pageWrites; }

private:
    enum class Mode { Idle, Receive, Transmit };

    void Start();
    void Stop(Nanos now);
    void ClockRise();
    void ClockFall(Nanos now);
    bool TakeByte(std::uint8_t value, Nanos now); // true = acknowledge
    void LoadNextByte();
    std::uint8_t ReadAt(std::uint16_t address);

    std::array<std::uint8_t, Size> _memory;

    // Bus as last seen.
    bool _sda = true, _scl = true;
    bool _sdaLow = false;

    Mode _mode = Mode::Idle;
    int _bitCount = 0; // bits received of the current byte
    bool _ackPhase = false;
    std::uint8_t _shift = 0;
    int _byteIndex = 0; // 0 device address, 1 and 2 word address, then data
    bool _readMode = false;
    std::uint16_t _address = 0; // internal address counter
    std::uint8_t _addressHigh = 0;

    std::uint8_t _txByte = 0;
    int _txBit = 0; // 7..0, -1 = master acknowledge slot
    bool _masterAck = false;

    std::array<std::uint8_t, PageSize> _latch{};
    std::array<bool, PageSize> _latched{};
    int _latchCount = 0;
    std::uint16_t _latchPage = 0;
    int _latchOffset = 0;

    Nanos _writeCycle = DefaultWriteCycle;
    Nanos _busyUntil = 0;
    bool _acknowledging = true;
    int _pageWrites = 0;

    struct Flip {
        std::uint16_t address;
        std::uint8_t mask;
        int times;
        bool everyOther = false;
        bool skipNext = false;
    };
    std::vector<Flip> _flips;
};
