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
    Sda(SdaHigh);
    Scl(SclHigh);
}

void CI2CDriver::StartCondition() {
    Scl(SclHigh);
    Sda(SdaHigh);
    Sda(SdaLow);
    Scl(SclLow);
    Sda(SdaHigh);
}

void CI2CDriver::StopCondition() {
    Sda(SdaLow);
    Scl(SclHigh);
    Sda(SdaHigh);
}

void CI2CDriver::PutByte(std::uint8_t byte) {
    for (int bit = 7; bit >= 0; --bit) {
        Sda(((byte >> bit) & 1) ? SdaHigh : SdaLow);
        Scl(SclHigh);
        Scl(SclLow);
    }
    Sda(SdaHigh);
}

void CI2CDriver::GetByte(std::uint8_t& byte) {
    byte = 0;
    for (int bit = 7; bit >= 0; --bit) {
        Scl(SclHigh);
        if (Sda() == SdaHigh)
            byte = static_cast<std::uint8_t>(byte | (1u << bit));
        Scl(SclLow);
    }
}

void CI2CDriver::PutAck() {
    Sda(SdaLow);
    Scl(SclHigh);
    Scl(SclLow);
    Sda(SdaHigh);
}

bool CI2CDriver::GetAck() {
    if (Sda() != SdaLow)
        return false;
    Scl(SclHigh);
    Scl(SclLow);
    return true;
}

bool CI2CDriver::PollAcknowledge(std::uint8_t address) {
    for (int attempt = 0; attempt < PollTries; ++attempt) {
        StartCondition();
        PutByte(address);
        if (GetAck())
            return true;
        _port->sleep(1);
    }
    return false;
}

bool CI2CDriver::ResetBus() {
    Sda(SdaHigh);
    for (int clock = 0; clock < ResetClocks; ++clock) {
        Scl(SclLow);
        Scl(SclHigh);
        if (Sda() == SdaHigh) {
            StartCondition();
            StopCondition();
            return true;
        }
    }
    return false;
}

void CI2CDriver::RandomRead(std::uint16_t startAddress, std::uint8_t* buffer, std::uint32_t size) {
    ReleaseLines();
    try {
        if (!PollAcknowledge(_DeviceWriteAddress))
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
        PutByte(_DeviceReadAddress);
        if (!GetAck())
            throw std::runtime_error("Acknowledge for read address not received in CI2CDriver::RandomRead");
        for (std::uint32_t i = 0; i < size; ++i) {
            GetByte(buffer[i]);
            if (i + 1 < size)
                PutAck();
        }
        StopCondition();
    } catch (...) {
        ResetBus();
        throw;
    }
}

void CI2CDriver::Write(std::uint16_t startAddress, const std::uint8_t* sourceBuffer, std::uint32_t size) {
    ReleaseLines();
    try {
        const std::uint32_t pageStart = startAddress & ~(PageSize - 1);
        const std::uint32_t pageEnd = pageStart + PageSize - 1;
        std::uint32_t count = pageEnd - startAddress + 1;
        if (size < count)
            count = size;
        Check(PollAcknowledge(_DeviceWriteAddress)) << "Acknowledge polling failed in CI2CDriver::Write";
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
        ResetBus();
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
