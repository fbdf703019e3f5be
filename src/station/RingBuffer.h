#pragma once

#include <cstdint>

namespace Hardware {

// Geometry of the station's dataset ring buffer for one transmitter count. Each slot holds the
// date-time, the indoor values and the values of every configured transmitter.
class RingBuffer {
public:
    virtual ~RingBuffer() = default;

    std::uint16_t Start() const;
    // One past the last byte of the last slot.
    virtual std::uint16_t End() const = 0;
    unsigned ByteSize() const;
    unsigned DatasetSize() const;
    virtual int DatasetCount() const = 0;
    virtual int NrOfTransmitters() const = 0;

    // EEPROM address of slot k.
    std::uint16_t SlotAddress(int slot) const;

    // The shared layout for a count of 1..5; raises std::runtime_error for any other count.
    static const RingBuffer* GetConfig(int nrOfTransmitters);
    void LogConfig() const;
};

class RingBufferOne final : public RingBuffer {
public:
    std::uint16_t End() const override { return 0x7FF8; }
    int DatasetCount() const override { return 3266; }
    int NrOfTransmitters() const override { return 1; }
};

class RingBufferTwo final : public RingBuffer {
public:
    std::uint16_t End() const override { return 0x7FF4; }
    int DatasetCount() const override { return 2512; }
    int NrOfTransmitters() const override { return 2; }
};

class RingBufferThree final : public RingBuffer {
public:
    std::uint16_t End() const override { return 0x7FF3; }
    int DatasetCount() const override { return 2177; }
    int NrOfTransmitters() const override { return 3; }
};

class RingBufferFour final : public RingBuffer {
public:
    std::uint16_t End() const override { return 0x7FF0; }
    int DatasetCount() const override { return 1814; }
    int NrOfTransmitters() const override { return 4; }
};

class RingBufferFive final : public RingBuffer {
public:
    std::uint16_t End() const override { return 0x7FF8; }
    int DatasetCount() const override { return 1633; }
    int NrOfTransmitters() const override { return 5; }
};

} // namespace Hardware

using Hardware::RingBuffer;
