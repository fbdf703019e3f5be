#include "simulator/Eeprom.h"

#include <algorithm>

namespace {
constexpr std::uint16_t AddressMask = Eeprom::Size - 1;
}

void Eeprom::FlipBitOnRead(std::uint16_t address, std::uint8_t mask, int times) {
    m_flips.push_back({static_cast<std::uint16_t>(address & AddressMask), mask, times});
}

void Eeprom::FlipBitOnEveryOtherRead(std::uint16_t address, std::uint8_t mask, int times) {
    m_flips.push_back({static_cast<std::uint16_t>(address & AddressMask), mask, times, true, false});
}

void Eeprom::Start() {
    // A START in any state, even in the middle of a byte, begins a new command: a page write
    // that no STOP has committed yet is abandoned.
    m_mode = Mode::Receive;
    m_bitCount = 0;
    m_ackPhase = false;
    m_byteIndex = 0;
    m_readMode = false;
    m_sdaLow = false;
    m_latchCount = 0;
    m_latched.fill(false);
}

void Eeprom::Stop(Nanos now) {
    // Only a STOP in the first bit period after a data byte's acknowledge starts the write cycle:
    // the clock that precedes the STOP has shifted in exactly one bit of a next byte. A STOP in
    // the middle of a byte or before any data byte ends the command without writing.
    const bool afterAcknowledgedByte = !m_ackPhase && m_bitCount == 1;
    if (m_mode == Mode::Receive && !m_readMode && m_latchCount > 0 && afterAcknowledgedByte) {
        for (std::size_t i = 0; i < PageSize; ++i)
            if (m_latched[i])
                m_memory[m_latchPage + i] = m_latch[i];
        m_address = static_cast<std::uint16_t>(m_latchPage + ((m_latchOffset + m_latchCount) % PageSize));
        m_busyUntil = now + m_writeCycle;
        ++m_pageWrites;
    }
    m_latchCount = 0;
    m_latched.fill(false);
    m_mode = Mode::Idle;
    m_sdaLow = false;
}

void Eeprom::ClockRise() {
    if (m_mode == Mode::Receive) {
        if (!m_ackPhase && m_bitCount < 8) {
            m_shift = static_cast<std::uint8_t>((m_shift << 1) | (m_sda ? 1 : 0));
            ++m_bitCount;
        }
    } else if (m_mode == Mode::Transmit) {
        if (m_txBit < 0)
            m_masterAck = !m_sda;
    }
}

void Eeprom::ClockFall(Nanos now) {
    if (m_mode == Mode::Receive) {
        if (m_ackPhase) {
            m_ackPhase = false;
            m_bitCount = 0;
            m_sdaLow = false;
            if (m_readMode) {
                m_mode = Mode::Transmit;
                LoadNextByte();
            }
        } else if (m_bitCount == 8) {
            if (TakeByte(m_shift, now)) {
                m_ackPhase = true;
                m_sdaLow = true;
            } else {
                m_mode = Mode::Idle; // not addressed: wait for the next start
            }
        }
    } else if (m_mode == Mode::Transmit) {
        if (m_txBit > 0) {
            --m_txBit;
            m_sdaLow = !((m_txByte >> m_txBit) & 1);
        } else if (m_txBit == 0) {
            m_txBit = -1;
            m_sdaLow = false; // the master acknowledges
        } else if (m_masterAck) {
            LoadNextByte();
        } else {
            m_mode = Mode::Idle;
            m_sdaLow = false;
        }
    }
}

bool Eeprom::TakeByte(std::uint8_t value, Nanos now) {
    const int index = m_byteIndex++;
    if (index == 0) {
        if ((value & 0xFE) != DeviceAddress || !m_acknowledging || Busy(now))
            return false;
        m_readMode = (value & 1) != 0;
        return true;
    }
    if (!m_acknowledging)
        return false;
    if (index == 1) {
        m_addressHigh = value;
        return true;
    }
    if (index == 2) {
        m_address = static_cast<std::uint16_t>(((m_addressHigh << 8) | value) & AddressMask);
        m_latchPage = static_cast<std::uint16_t>(m_address & ~(PageSize - 1));
        m_latchOffset = static_cast<int>(m_address % PageSize);
        return true;
    }
    // Data of a page write: rolls over inside the page; a byte sent twice keeps the later value.
    const std::size_t offset = static_cast<std::size_t>(m_latchOffset + m_latchCount) % PageSize;
    m_latch[offset] = value;
    m_latched[offset] = true;
    ++m_latchCount;
    return true;
}

void Eeprom::LoadNextByte() {
    m_txByte = ReadAt(m_address);
    m_address = static_cast<std::uint16_t>((m_address + 1) & AddressMask);
    m_txBit = 7;
    m_masterAck = false;
    m_sdaLow = !((m_txByte >> 7) & 1);
}

std::uint8_t Eeprom::ReadAt(std::uint16_t address) {
    std::uint8_t value = m_memory[address];
    if (!m_flips.empty()) {
        auto it =
            std::find_if(m_flips.begin(), m_flips.end(), [&](const Flip& f) { return f.address == address; });
        if (it != m_flips.end()) {
            if (it->skipNext) {
                it->skipNext = false;
                return value;
            }
            value ^= it->mask;
            it->skipNext = it->everyOther;
            if (--it->times <= 0)
                m_flips.erase(it);
        }
    }
    return value;
}
