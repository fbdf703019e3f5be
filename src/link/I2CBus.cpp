// The I2C protocol on the two lines, and the EEPROM transfers built on it.
#include "base/Check.h"
#include "link/I2CDriver.h"
#include "log/Logger.h"

#include <exception>
#include <stdexcept>
#include <vector>

namespace {

constexpr std::uint32_t PageSize = 64;
constexpr int PollTries = 10;
constexpr int ResetClocks = 9;
constexpr int WriteAttempts = 10;

std::uint8_t HiByte(std::uint16_t value) {
    return static_cast<std::uint8_t>(value >> 8);
}
std::uint8_t LoByte(std::uint16_t value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}

} // namespace

void CI2CDriver::ReleaseLines() {
    // SDA rising on a high clock is a STOP, and a STOP right after the first bit of a data byte
    // commits what a cut-off page write latched: SDA is released only while SCL is low.
    if (m_sdaDrivenLow && !m_sclDrivenLow)
        Scl(SclLow);
    Sda(SdaHigh);
    Scl(SclHigh);
}

// Every clock we give is checked to have risen: while another device (the base unit in its own
// bus cycle) holds SCL low, the EEPROM sees none of our clocks and later counts our bits
// differently, so a STOP of ours could commit a page it latched from a shifted stream. A held
// clock ends the transfer before any further condition is given.
void CI2CDriver::ClockHigh() {
    Scl(SclHigh);
    if (LinesReleased(false).dsr)
        throw std::runtime_error("SCL held low by another device in CI2CDriver::ClockHigh");
}

void CI2CDriver::StartCondition() {
    // A START the EEPROM did not see would leave it in the command before, taking our next bytes
    // as more of that one: both lines must read high before SDA falls (a slave still in its
    // acknowledge holds SDA), and SCL still high after.
    ClockHigh();
    Sda(SdaHigh);
    if (LinesReleased(true).cts)
        throw std::runtime_error(
            "SDA held low by another device before a START in CI2CDriver::StartCondition");
    Sda(SdaLow);
    if (Scl() == SclLow)
        throw std::runtime_error(
            "SCL held low by another device during a START in CI2CDriver::StartCondition");
    Scl(SclLow);
    Sda(SdaHigh);
}

void CI2CDriver::StopCondition() {
    Sda(SdaLow);
    ClockHigh();
    Sda(SdaHigh);
}

void CI2CDriver::PutByte(std::uint8_t byte) {
    for (int bit = 7; bit >= 0; --bit) {
        Sda(((byte >> bit) & 1) ? SdaHigh : SdaLow);
        ClockHigh();
        Scl(SclLow);
    }
    Sda(SdaHigh);
}

void CI2CDriver::GetByte(std::uint8_t& byte) {
    byte = 0;
    for (int bit = 7; bit >= 0; --bit) {
        Scl(SclHigh);
        // One look at both lines: the clock must have risen for the bit to be the EEPROM's, and a
        // look that shows our rise shows the bit the EEPROM put out at the fall before it.
        const ModemStatus lines = LinesReleased(false);
        if (lines.dsr)
            throw std::runtime_error("SCL held low by another device in CI2CDriver::GetByte");
        if (!lines.cts)
            byte = static_cast<std::uint8_t>(byte | (1u << bit));
        Scl(SclLow);
    }
}

void CI2CDriver::PutAck() {
    Sda(SdaLow);
    ClockHigh();
    Scl(SclLow);
    Sda(SdaHigh);
}

bool CI2CDriver::GetAck() {
    if (Sda() != SdaLow)
        return false;
    Scl(SclHigh);
    // Another device holding SCL low here keeps the slave in its acknowledge: it would hold SDA
    // low for every acknowledge we look for and miss the bytes in between.
    const bool held = LinesReleased(false).dsr;
    Scl(SclLow);
    if (held)
        throw std::runtime_error(
            "SCL held low by another device during an acknowledge in CI2CDriver::GetAck");
    return true;
}

bool CI2CDriver::PollAcknowledge(std::uint8_t address) {
    for (int attempt = 0; attempt < PollTries; ++attempt) {
        StartCondition();
        PutByte(address);
        if (GetAck())
            return true;
        m_port->sleep(1);
    }
    return false;
}

bool CI2CDriver::ClearBus() {
    // Nine clocks bring any slave to the end of a byte it is sending or receiving; the START that
    // follows abandons a page write it may have latched, the STOP leaves it in standby. The START
    // is only given once SDA reads free on a high clock (a receiving slave may be in its
    // acknowledge clock after the ninth).
    return Recover(ResetClocks);
}

bool CI2CDriver::ResetBus() {
    return Recover(0);
}

bool CI2CDriver::Recover(int clocksFirst) {
    const auto clock = [this] {
        Scl(SclLow);
        ClockHigh();
    };
    const auto startAndStopWhenFree = [this] {
        if (Sda() != SdaHigh)
            return false;
        StartCondition();
        StopCondition();
        return true;
    };
    // A line held by another device ends the recovery without a STOP: the next transfer's START,
    // checked as well, abandons what is latched.
    try {
        Sda(SdaHigh);
        for (int i = 0; i < clocksFirst; ++i)
            clock();
        if (clocksFirst > 0 && startAndStopWhenFree())
            return true;
        for (int i = 0; i < ResetClocks; ++i) {
            clock();
            if (startAndStopWhenFree())
                return true;
        }
    } catch (const std::exception&) {
        ReleaseLines();
    }
    return false;
}

void CI2CDriver::BeginTransfer() {
    ReleaseLines();
    EnsureMeasured();
    // A slave left in the middle of a byte by a transfer cut short may still hold SDA, and no
    // START can be given then: the bus is cleared first.
    if (Sda() == SdaLow)
        ClearBus();
}

void CI2CDriver::RandomRead(std::uint16_t startAddress, std::uint8_t* buffer, std::uint32_t size) {
    BeginTransfer();
    try {
        if (!PollAcknowledge(m_deviceWriteAddress))
            throw std::runtime_error("Acknowledge polling failed in CI2CDriver::Read");
        PutByte(HiByte(startAddress));
        if (!GetAck())
            throw std::runtime_error(
                "Acknowledge for PutByte(HIBYTE(startAddress)) not received in CI2CDriver::RandomRead");
        PutByte(LoByte(startAddress));
        if (!GetAck())
            throw std::runtime_error(
                "Acknowledge for PutByte(LOBYTE(startAddress)) not received in CI2CDriver::RandomRead");
        StartCondition();
        PutByte(m_deviceReadAddress);
        if (!GetAck())
            throw std::runtime_error("Acknowledge for read address not received in CI2CDriver::RandomRead");
        for (std::uint32_t i = 0; i < size; ++i) {
            GetByte(buffer[i]);
            if (i + 1 < size)
                PutAck();
        }
        if (size > 0)
            EndRead();
        StopCondition();
    } catch (...) {
        ClearBus();
        throw;
    }
}

void CI2CDriver::EndRead() {
    // The master's not-acknowledge after the last byte. The EEPROM sending to us has released SDA
    // for it; a low SDA means a slave is receiving and acknowledging instead (it lost clocks and
    // took our clocks for a write). A STOP now would start its write cycle: a START abandons it.
    Scl(SclHigh);
    const ModemStatus lines = LinesReleased(false);
    if (lines.dsr)
        throw std::runtime_error("SCL held low by another device in CI2CDriver::EndRead");
    const bool held = lines.cts;
    Scl(SclLow);
    if (held) {
        StartCondition();
        throw std::runtime_error("SDA held low at the end of the read in CI2CDriver::RandomRead");
    }
}

void CI2CDriver::Write(std::uint16_t startAddress, const std::uint8_t* sourceBuffer, std::uint32_t size) {
    BeginTransfer();
    try {
        const std::uint32_t pageStart = startAddress & ~(PageSize - 1);
        const std::uint32_t pageEnd = pageStart + PageSize - 1;
        std::uint32_t count = pageEnd - startAddress + 1;
        if (size < count)
            count = size;
        Check(PollAcknowledge(m_deviceWriteAddress)) << "Acknowledge polling failed in CI2CDriver::Write";
        PutByte(HiByte(startAddress));
        Check(GetAck()) << "Acknowledge for PutByte(HIBYTE(startAddress)) not received in CI2CDriver::Write";
        PutByte(LoByte(startAddress));
        Check(GetAck()) << "Acknowledge for PutByte(LOBYTE(startAddress)) not received in CI2CDriver::Write";
        for (std::uint32_t x = 0; x < count; ++x) {
            PutByte(sourceBuffer[x]);
            Check(GetAck()) << "Acknowledge for PutByte((unsigned char *) sourceBuffer + x) not received in "
                               "CI2CDriver::RandomWrite";
        }
        StopCondition();
        const std::uint32_t remaining = size - count;
        if (remaining > 0)
            Write(static_cast<std::uint16_t>(pageEnd + 1), sourceBuffer + count, remaining);
    } catch (...) {
        ClearBus();
        throw;
    }
}

bool CI2CDriver::ReadCompare(std::uint16_t address, std::uint8_t* buffer, std::uint32_t size,
                             std::string& msg) {
    CLogger& log = CLogger::Instance();
    log.Log(30, "Reading from 0x%X, %d bytes", address, static_cast<int>(size));
    std::vector<std::uint8_t> compareBuffer(size, 0);
    log.Log(30, "Reading block from 0x%X, %d bytes", address, static_cast<int>(size));
    bool result = false;
    try {
        RandomRead(address, buffer, size);
        RandomRead(address, compareBuffer.data(), size);
        result = std::equal(compareBuffer.begin(), compareBuffer.end(), buffer);
        if (!result) {
            log.Log(10, "Reading block from 0x%X, %d bytes failed: Compare failed!", address,
                    static_cast<int>(size));
            for (std::uint32_t i = 0; i < size; ++i)
                if (buffer[i] != compareBuffer[i])
                    log.Log(10, "0x%X!=0x%X index %d", buffer[i], compareBuffer[i], static_cast<int>(i));
        }
    } catch (const std::exception& e) {
        log.Log(10, "Reading block from 0x%X, %d bytes failed: %s", address, static_cast<int>(size),
                e.what());
        msg = e.what();
        result = false;
    }
    if (!result)
        log.Log(10, "Reading from 0x%X, %d bytes failed", address, static_cast<int>(size));
    return result;
}

bool CI2CDriver::WriteCompare(std::uint16_t address, const std::uint8_t* buffer, std::uint32_t size) {
    CLogger& log = CLogger::Instance();
    std::vector<std::uint8_t> compareBuffer(size, 0xFF);
    log.Log(50, "===========================");
    log.Log(30, "Writing to 0x%X, %d bytes", address, static_cast<int>(size));
    int retries = 0;
    bool confirmed = false;
    while (!confirmed && retries < WriteAttempts) {
        try {
            Write(address, buffer, size);
            RandomRead(address, compareBuffer.data(), size);
            confirmed = std::equal(compareBuffer.begin(), compareBuffer.end(), buffer);
            if (!confirmed) {
                ++retries;
                log.Log(10, "Writing to 0x%X, %d bytes, retry %d failed: Compare error", address,
                        static_cast<int>(size), retries);
            }
        } catch (const std::exception& e) {
            ++retries;
            log.Log(10, "Writing to 0x%X, %d bytes, retry %d failed: %s", address, static_cast<int>(size),
                    retries, e.what());
        }
    }
    if (confirmed) {
        log.Log(50, "Writing finished after %d retries", retries);
        return true;
    }
    log.Log(10, "Writing to 0x%X, %d bytes failed after %d retries", address, static_cast<int>(size),
            retries);
    return false;
}
