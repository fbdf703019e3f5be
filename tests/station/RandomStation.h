#pragma once

#include "station/DatasetEncoder.h"
#include "station/Hardware.h"
#include "station/RingBuffer.h"
#include "station/StationImage.h"

#include <random>
#include <string>

// Station memories as an import may meet them: every layout; rings that wrapped, also since the
// last read; the end marker in the first, next-to-last and last slot; 0xFE markers; invalid
// datasets and stray marker bytes; a clock that was once set into the future, so that the true
// marker is only "possibly valid"; a newest slot the base unit is still writing; damaged value
// digits; a clock set back an hour; read-position records that match, lag behind, are garbage,
// erased or written with another transmitter count; and unread counters that are right, zero or
// nonsense.
class RandomStation {
public:
    explicit RandomStation(std::uint32_t seed) : m_rng(seed) {}

    struct State {
        EepromImage image;
        std::string description; // enough to rebuild the case by hand
    };

    State Next() {
        State s;
        const int t = Pick(1, 5);
        const Hardware::RingBuffer& layout = *Hardware::RingBuffer::GetConfig(t);
        const int slots = layout.DatasetCount();
        int marker = 0;
        switch (Pick(0, 7)) {
        case 0:
            marker = 0;
            break;
        case 1:
            marker = slots - 2;
            break;
        case 2:
            marker = slots - 1;
            break;
        default:
            marker = Pick(0, slots - 1);
        }
        const bool wrapped = Chance(60);
        StationImageSpec spec;
        spec.transmitters = t;
        spec.measurements = wrapped ? slots * Pick(1, 2) + marker : marker;
        spec.start = CDateTime(Pick(2004, 2010), Pick(1, 12), Pick(1, 28), Pick(0, 23), Pick(0, 59), 0);
        spec.intervalMinutes = Pick(1, 30);
        spec.seed = m_rng();
        spec.endMarker = Chance(30) ? 0xFE : 0xFF;
        s.image = CreateStationImage(spec);
        s.description = "transmitters " + std::to_string(t) + ", measurements " +
                        std::to_string(spec.measurements) + ", end marker slot " + std::to_string(marker) +
                        ", interval " + std::to_string(spec.intervalMinutes);

        // The last import took measurement r; fresh ones came since.
        const int n = spec.measurements;
        const int kept = std::min(n, slots - 1);
        int fresh = 0;
        if (kept > 0) {
            if (wrapped && Chance(20))
                fresh = std::min(kept - 1, marker + Pick(1, 30)); // the ring wrapped since the last read
            else
                fresh = Chance(70) ? std::min(kept - 1, Pick(0, 40)) : Pick(0, kept - 1);
        }
        const int r = n - 1 - fresh;
        WriteRecord(s, layout, kept > 0 ? r % slots : -1);

        const int unread = Pick(0, 99);
        const unsigned counter = unread < 60   ? static_cast<unsigned>(fresh)
                                 : unread < 75 ? 0u
                                 : unread < 90 ? static_cast<unsigned>(Pick(0, 0xFFFF))
                                               : 0xFFFFu;
        s.image[Hardware::EE_EEPROM_UNREAD_GL] = static_cast<std::uint8_t>(counter & 0xFF);
        s.image[Hardware::EE_EEPROM_UNREAD_GL + 1] = static_cast<std::uint8_t>(counter >> 8);
        s.description += ", fresh " + std::to_string(fresh) + ", counter " + std::to_string(counter);

        // Near the new datasets, where they change the search the most.
        auto nearNew = [&] { return ((r + Pick(-2, fresh + 3)) % slots + slots) % slots; };
        if (Chance(20))
            for (int k = Pick(1, 3); k > 0; --k) {
                const int slot = Chance(70) ? nearNew() : Pick(0, slots - 1);
                CDateTime bad;
                bad.SetStatus(CDateTime::invalid);
                CDataset invalid;
                invalid.SetDateTime(bad);
                EncodeStationDataset(invalid, layout, SlotBytes(s, layout, slot));
                s.description += ", invalid slot " + std::to_string(slot);
            }
        if (Chance(15))
            for (int k = Pick(1, 3); k > 0; --k) {
                const int slot = Chance(70) ? nearNew() : Pick(0, slots - 1);
                SlotBytes(s, layout, slot)[0] = Chance(50) ? 0xFE : 0xFF;
                s.description += ", stray marker slot " + std::to_string(slot);
            }
        if (fresh > 0 && Chance(15)) {
            // The clock was set back an hour before the newest datasets.
            const int back = Pick(1, fresh);
            for (int k = 1; k <= back; ++k) {
                const int slot = ((marker - k) % slots + slots) % slots;
                std::span<std::uint8_t> bytes = SlotBytes(s, layout, slot);
                const CDateTime at = DecodeDateTime(bytes.data());
                if (at.GetStatus() != CDateTime::valid)
                    continue;
                CDataset dataset;
                dataset.DecodeStation(bytes.data(), layout);
                CDateTime::Fields f;
                CDateTime(at.Value() - 1.0 / 24.0).GetFields(f);
                dataset.SetDateTime(CDateTime(f.year, f.month, f.day, f.hour, f.minute, 0));
                EncodeStationDataset(dataset, layout, bytes);
            }
            s.description += ", clock set back an hour before the newest " + std::to_string(back);
        }
        if (Chance(10)) {
            // A value digit no station writes.
            const int slot = Chance(70) ? nearNew() : Pick(0, slots - 1);
            const int nibble = Pick(10, 2 * static_cast<int>(layout.DatasetSize()) - 1);
            SetNibble(SlotBytes(s, layout, slot).data(), nibble, Pick(0xB, 0xE));
            s.description += ", damaged digit " + std::to_string(nibble) + " in slot " + std::to_string(slot);
        }
        if (n > 0 && Chance(10)) {
            // The base unit is writing its newest slot: the bytes from some point on are still erased.
            const int slot = ((marker - 1) % slots + slots) % slots;
            const int written = Pick(5, static_cast<int>(layout.DatasetSize()) - 1);
            std::span<std::uint8_t> bytes = SlotBytes(s, layout, slot);
            std::fill(bytes.begin() + written, bytes.end(), std::uint8_t{0xFF});
            s.description += ", newest slot written up to byte " + std::to_string(written);
        }
        if (wrapped && Chance(15)) {
            // The oldest datasets were written while the clock ran ahead.
            const int ahead = Pick(1, 400);
            for (int k = Pick(1, 5); k > 0; --k) {
                const int slot = (marker + k) % slots;
                CDateTime future = DecodeDateTime(SlotBytes(s, layout, slot).data());
                if (future.GetStatus() != CDateTime::valid)
                    continue;
                CDataset dataset = MakeMeasurement(CDateTime(future.Value() + ahead), t, 1);
                EncodeStationDataset(dataset, layout, SlotBytes(s, layout, slot));
            }
            s.description += ", clock ahead " + std::to_string(ahead) + " days";
        }
        if (Chance(5)) {
            s.image[Hardware::EE_EEPROM_FLAGS_1] ^= Hardware::EE_FLAG_RINGBUFFER_FULL;
            s.description += ", full flag flipped";
        }
        return s;
    }

private:
    int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_rng); }
    bool Chance(int percent) { return Pick(0, 99) < percent; }

    static std::span<std::uint8_t> SlotBytes(State& s, const Hardware::RingBuffer& layout, int slot) {
        return {s.image.data() + layout.SlotAddress(slot), layout.DatasetSize()};
    }

    void WriteRecord(State& s, const Hardware::RingBuffer& layout, int slot) {
        ReadPositionBytes record;
        record.fill(0xFF);
        const int kind = Pick(0, 99);
        const std::int32_t count = Chance(90) ? layout.NrOfTransmitters() : Pick(1, 5);
        if (slot >= 0 && kind < 65) {
            const CDateTime at = DecodeDateTime(SlotBytes(s, layout, slot).data());
            record = EncodeReadPosition(at.Value(), slot, count);
            s.description += ", record slot " + std::to_string(slot);
        } else if (slot >= 0 && kind < 75) {
            const CDateTime at = DecodeDateTime(SlotBytes(s, layout, slot).data());
            record = EncodeReadPosition(at.Value() - 1.0 / 1440.0, slot, count);
            s.description += ", record slot " + std::to_string(slot) + " with another date";
        } else if (kind < 85) {
            for (auto& b : record)
                b = static_cast<std::uint8_t>(Pick(0, 255));
            s.description += ", garbage record";
        } else if (kind < 92) {
            record = EncodeReadPosition(CDateTime(2005, 1, 17, 14, 35, 0).Value(),
                                        Chance(50) ? layout.DatasetCount() : -1, count);
            s.description += ", record index out of range";
        } else {
            s.description += ", erased record";
        }
        std::copy(record.begin(), record.end(), s.image.begin() + Hardware::EE_PC_BEGIN);
    }

    std::mt19937 m_rng;
};
