#include "simulator/Eeprom.h"

#include <algorithm>

namespace {
constexpr std::uint16_t AddressMask = Eeprom::Size - 1;
}

void Eeprom::FlipBitOnRead(std::uint16_t address, std::uint8_t mask, int times) {
    _flips.push_back({static_cast<std::uint16_t>(address & AddressMask), mask, times});
}

void Eeprom::FlipBitOnEveryOtherRead(std::uint16_t address, std::uint8_t mask, int times) {
    _flips.push_back({static_cast<std::uint16_t>(address & AddressMask), mask, times, true, false});
}

void Eeprom::Start() {
    // A START in any state, even in the middle of a byte, begins a new command: a page write
    // that no STOP has committed yet is abandoned.
    _mode = Mode::Receive;
    _bitCount = 0;
    _ackPhase = false;
    _byteIndex = 0;
    _readMode = false;
    _sdaLow = false;
    _latchCount = 0;
    _latched.fill(false);
}

void Eeprom::Stop(Nanos now) {
    // Only a STOP in the first bit period after a data byte's acknowledge starts the write cycle:
    // the clock that precedes the STOP has shifted in exactly one bit of a next byte. A STOP in
    // the middle of a byte or before any data byte ends the command without writing.
    const bool afterAcknowledgedByte = !_ackPhase && _bitCount == 1;
    if (_mode == Mode::Receive && !_readMode && _latchCount > 0 && afterAcknowledgedByte) {
        for (std::size_t i = 0; i < PageSize; ++i)
            if (_latched[i])
                _memory[_latchPage + i] = _latch[i];
        _address = static_cast<std::uint16_t>(_latchPage + ((_latchOffset + _latchCount) % PageSize));
        _busyUntil = now + _writeCycle;
        ++_pageWrites;
    }
    _latchCount = 0;
    _latched.fill(false);
    _mode = Mode::Idle;
    _sdaLow = false;
}

void Eeprom::ClockRise() {
    if (_mode == Mode::Receive) {
        if (!_ackPhase && _bitCount < 8) {
            _shift = static_cast<std::uint8_t>((_shift << 1) | (_sda ? 1 : 0));
            ++_bitCount;
        }
    } else if (_mode == Mode::Transmit) {
        if (_txBit < 0)
            _masterAck = !_sda;
    }
}

void Eeprom::ClockFall(Nanos now) {
    if (_mode == Mode::Receive) {
        if (_ackPhase) {
            _ackPhase = false;
            _bitCount = 0;
            _sdaLow = false;
            if (_readMode) {
                _mode = Mode::Transmit;
                LoadNextByte();
            }
        } else if (_bitCount == 8) {
            if (TakeByte(_shift, now)) {
                _ackPhase = true;
                _sdaLow = true;
            } else {
                _mode = Mode::Idle; // not addressed: wait for the next start
            }
        }
    } else if (_mode == Mode::Transmit) {
        if (_txBit > 0) {
            --_txBit;
            _sdaLow = !((_txByte >> _txBit) & 1);
        } else if (_txBit == 0) {
            _txBit = -1;
            _sdaLow = false; // the master acknowledges
        } else if (_masterAck) {
            LoadNextByte();
        } else {
            _mode = Mode::Idle;
            _sdaLow = false;
        }
    }
}

bool Eeprom::TakeByte(std::uint8_t value, Nanos now) {
    const int index = _byteIndex++;
    if (index == 0) {
        if ((value & 0xFE) != DeviceAddress || !_acknowledging || Busy(now))
            return false;
        _readMode = (value & 1) != 0;
        return true;
    }
    if (!_acknowledging)
        return false;
    if (index == 1) {
        _addressHigh = value;
        return true;
    }
    if (index == 2) {
        _address = static_cast<std::uint16_t>(((_addressHigh << 8) | value) & AddressMask);
        _latchPage = static_cast<std::uint16_t>(_address & ~(PageSize - 1));
        _latchOffset = static_cast<int>(_address % PageSize);
        return true;
    }
    // Data of a page write: rolls over inside the page; a byte sent twice keeps the later value.
    const std::size_t offset = static_cast<std::size_t>(_latchOffset + _latchCount) % PageSize;
    _latch[offset] = value;
    _latched[offset] = true;
    ++_latchCount;
    return true;
}

void Eeprom::LoadNextByte() {
    _txByte = ReadAt(_address);
    _address = static_cast<std::uint16_t>((_address + 1) & AddressMask);
    _txBit = 7;
    _masterAck = false;
    _sdaLow = !((_txByte >> 7) & 1);
}

std::uint8_t Eeprom::ReadAt(std::uint16_t address) {
    std::uint8_t value = _memory[address];
    if (!_flips.empty()) {
        auto it =
            std::find_if(_flips.begin(), _flips.end(), [&](const Flip& f) { return f.address == address; });
        if (it != _flips.end()) {
            if (it->skipNext) {
                it->skipNext = false;
                return value;
            }
            value ^= it->mask;
            it->skipNext = it->everyOther;
            if (--it->times <= 0)
                _flips.erase(it);
        }
    }
    return value;
}
