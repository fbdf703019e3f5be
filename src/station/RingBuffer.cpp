#include "station/RingBuffer.h"

#include "base/Check.h"
#include "log/Logger.h"
#include "station/Hardware.h"

namespace Hardware {

std::uint16_t RingBuffer::Start() const {
    return EE_START_OF_RINGBUFFER;
}

unsigned RingBuffer::ByteSize() const {
    return static_cast<unsigned>(End() - Start());
}

unsigned RingBuffer::DatasetSize() const {
    return ByteSize() / static_cast<unsigned>(DatasetCount());
}

std::uint16_t RingBuffer::SlotAddress(int slot) const {
    return static_cast<std::uint16_t>(Start() + static_cast<unsigned>(slot) * DatasetSize());
}

const RingBuffer* RingBuffer::GetConfig(int nrOfTransmitters) {
    Check(nrOfTransmitters >= ntOne && nrOfTransmitters < ntErr)
        << "Wrong number of transmitters requested: " << nrOfTransmitters;
    static const RingBufferOne one;
    static const RingBufferTwo two;
    static const RingBufferThree three;
    static const RingBufferFour four;
    static const RingBufferFive five;
    static const RingBuffer* const layouts[] = {&one, &two, &three, &four, &five};
    return layouts[nrOfTransmitters - 1];
}

void RingBuffer::LogConfig() const {
    CLogger::Instance().Log(
        30,
        "Ring buffer config: NrOfTransmitters (%d), Start(0x%X), End(0x%X), ByteSize(%d), "
        "DatasetSize(%d), DatasetCount(%d)",
        NrOfTransmitters(), Start(), End(), ByteSize(), DatasetSize(), DatasetCount());
}

} // namespace Hardware
