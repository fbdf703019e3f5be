#pragma once

#include "history/HistoryRecord.h"
#include "station/Dataset.h"
#include "station/RingBuffer.h"
#include "station/StationImage.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <span>
#include <unordered_map>
#include <vector>

// What the station has recorded, where each measurement lies in its ring buffer and what the
// whole EEPROM must look like apart from the cells the PC may write. The base unit records
// through Record() (on the worker thread during an import, on the test thread between imports).
class StationModel {
public:
    struct Recording {
        CDataset expected;                                  // as the PC decodes the slot
        std::array<std::uint8_t, HistoryRecordSize> record; // its history file record
        bool valid = true;                                  // a date-time the PC can use
        bool gone = false;                                  // overwritten by the station
    };

    StationModel(int transmitters, std::uint32_t seed);

    // The EEPROM of a station that was cleared: transmitter count, empty ring, marker in slot 0.
    EepromImage Cleared() const;
    // One measurement into the marker slot of eeprom; the marker moves on, erasing the oldest
    // dataset once the ring is full. invalid: the station's clock gave a date-time that is not one.
    void Record(std::span<std::uint8_t> eeprom, bool invalid = false);

    const Hardware::RingBuffer& Layout() const { return *m_layout; }
    // Snapshot access for the checks (no recording runs while the test thread looks).
    std::size_t Count() const;
    const Recording& At(std::size_t k) const { return m_recordings[k]; }
    // Recording index held by a slot, -1 for the marker and never written slots.
    int HolderOf(int slot) const { return m_holder[static_cast<std::size_t>(slot)]; }
    int MarkerSlot() const { return m_marker; }
    // Times the marker went from the last slot back to the first.
    int Wraps() const { return m_wraps; }
    // The recording whose date-time has these bits, -1 for none.
    int FindByDate(double date) const;
    // The EEPROM as the station wrote it.
    const EepromImage& Shadow() const { return m_shadow; }
    // Held slots from the oldest dataset to the newest.
    std::vector<int> SlotsOldestFirst() const;

private:
    const Hardware::RingBuffer* m_layout;
    std::uint32_t m_seed;
    mutable std::mutex m_lock;
    std::vector<Recording> m_recordings;
    std::vector<int> m_holder;
    std::unordered_map<std::uint64_t, int> m_byDate;
    int m_marker = 0;
    int m_wraps = 0;
    EepromImage m_shadow;
};
