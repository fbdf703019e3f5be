// Writes the seed corpus of fuzz_ring_buffer_parse from station images made by the image builder.
// Built and run by hand: see fuzz/README.md.
#include "station/Hardware.h"
#include "station/RingBuffer.h"
#include "station/StationImage.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Seed {
    const char* name;
    int transmitters;
    int measurements;
    int recordSlot;     // -1: erased record
    std::uint8_t mode;  // 0 from the ring's start, 1 tiled, 2 at the ring's end
    std::size_t length; // image bytes taken
    std::uint8_t endMarker;
};

void Write(const Seed& seed, const std::string& directory) {
    StationImageSpec spec;
    spec.transmitters = seed.transmitters;
    spec.measurements = seed.measurements;
    spec.endMarker = seed.endMarker;
    const Hardware::RingBuffer& layout = *Hardware::RingBuffer::GetConfig(seed.transmitters);
    if (seed.recordSlot >= 0) {
        const EepromImage plain = CreateStationImage(spec);
        const CDateTime at = DecodeDateTime(plain.data() + layout.SlotAddress(seed.recordSlot));
        spec.readPosition = EncodeReadPosition(at.Value(), seed.recordSlot, seed.transmitters);
    }
    const EepromImage image = CreateStationImage(spec);
    std::vector<std::uint8_t> bytes = {image[Hardware::EE_EEPROM_FLAGS_1],
                                       image[Hardware::EE_NUMBER_OF_TRANSMITTERS], seed.mode};
    bytes.insert(bytes.end(), image.begin() + Hardware::EE_PC_BEGIN,
                 image.begin() + Hardware::EE_PC_BEGIN + Hardware::EE_PC_SIZE);
    const auto ring = image.begin() + Hardware::EE_START_OF_RINGBUFFER;
    const auto length = static_cast<std::ptrdiff_t>(seed.length);
    if (seed.mode == 2)
        bytes.insert(bytes.end(), ring + layout.ByteSize() - length, ring + layout.ByteSize());
    else
        bytes.insert(bytes.end(), ring, ring + length);
    std::ofstream(directory + "/" + seed.name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

} // namespace

int main(int argc, char** argv) {
    const std::string directory = argc > 1 ? argv[1] : "fuzz/corpus/ring_buffer_parse";
    const Seed seeds[] = {
        {"fresh_5tx", 5, 150, -1, 0, 3200, 0xFF},
        {"record_matches_5tx", 5, 150, 100, 0, 3200, 0xFF},
        {"full_record_matches_3tx", 3, 2177 + 50, 30, 0, 1500, 0xFF},
        {"tiled_1tx", 1, 39, -1, 1, 400, 0xFF},
        {"ring_end_2tx", 2, 2512 - 20, -1, 2, 2000, 0xFF},
        {"fe_marker_first_slot_4tx", 4, 1814, -1, 0, 900, 0xFE},
        {"empty_ring_1tx", 1, 0, -1, 0, 100, 0xFF},
    };
    for (const Seed& seed : seeds)
        Write(seed, directory);
    return 0;
}
