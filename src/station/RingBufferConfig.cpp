#include "station/RingBufferConfig.h"

#include "log/Logger.h"
#include "station/StationImage.h"

#include <bit>
#include <cstring>

namespace {

std::uint32_t ReadLe32(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

} // namespace

void RingBufferConfig::Reset() {
    LastReadDateTime = CDateTime();
    LastReadDateTime.SetStatus(CDateTime::invalid);
    LastReadIndex = 9999;
    LastNrOfTransmitters = 6;
}

bool RingBufferConfig::IsValid(const Hardware::RingBuffer& layout) const {
    return LastReadDateTime.GetStatus() != CDateTime::invalid &&
           static_cast<std::uint32_t>(LastReadIndex) < static_cast<std::uint32_t>(layout.DatasetCount()) &&
           LastNrOfTransmitters >= 1 && LastNrOfTransmitters <= 5;
}

RingBufferConfig RingBufferConfig::Decode(const std::uint8_t* bytes) {
    const std::uint64_t raw =
        static_cast<std::uint64_t>(ReadLe32(bytes)) | static_cast<std::uint64_t>(ReadLe32(bytes + 4)) << 32;
    RingBufferConfig config;
    config.LastReadDateTime = std::bit_cast<DATE>(raw);
    config.LastReadIndex = static_cast<std::int32_t>(ReadLe32(bytes + 8));
    config.LastNrOfTransmitters = static_cast<std::int32_t>(ReadLe32(bytes + 12));
    return config;
}

void RingBufferConfig::ReadFromBuffer(const std::uint8_t* bytes, const Hardware::RingBuffer& layout) {
    *this = Decode(bytes);
    if (!IsValid(layout)) {
        CLogger::Instance().Log(30, "Read configuration is invalid, reseting configuration");
        Reset();
    }
    CLogger::Instance().Log(
        30, "Read configuration: LastReadDateTime (%s),  LastReadIndex(%d), LastNrOfTransmitters(%d)",
        LastReadDateTime.Format(0, LANG_USER_DEFAULT).c_str(), LastReadIndex, LastNrOfTransmitters);
}

RingBufferConfig::Bytes RingBufferConfig::ToBytes() const {
    return EncodeReadPosition(LastReadDateTime.Value(), LastReadIndex, LastNrOfTransmitters);
}
