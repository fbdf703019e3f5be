#pragma once

#include "hw/HWRequest.h"
#include "station/Dataset.h"
#include "station/ImportSink.h"
#include "station/RingBufferConfig.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// What one import did, for the command line and the dialogs.
struct ImportSummary {
    int parsed = 0;
    int invalid = 0;
    int readDoubles = 0;
    int known = 0;
    int appended = 0;
    std::optional<int> newReadIndex; // set when a new read position was written to the station
    unsigned bytesRead = 0;          // bytes read from the station's memory, each counted once
    // The import failed because the station's newest dataset has an invalid date-time (it passes
    // with the station's next measurement).
    bool newestDatasetInvalid = false;
    int damaged = 0;       // datasets with values or a date no station records
    int damagedValues = 0; // their values stored as missing
    // The newest slot was still being written and is left for the next import.
    bool newestLeft = false;
    // When the transmitter count changed since the last import: what was taken and left.
    std::string layoutChange;
};

// Fetches the datasets that are new since the last import from the station's ring buffer, hands
// those the sink does not know to the sink to store, and only once they are stored writes the new
// read position back. A failed store leaves the station as it was, so the next import offers the
// same datasets again.
class CHWRequestReadRingBuffer : public CHWRequest {
public:
    CHWRequestReadRingBuffer(RequestObserverRef observer, std::shared_ptr<ImportSink> sink);

    void Execute(CI2CDriver& driver) override;
    std::string Name() const override { return "Read RingBuffer"; }

    ImportSummary Summary() const;

    // Reads the whole ring buffer instead of only what is new since the last read; the datasets
    // taken are the same.
    void ForceWholeRead() { m_wholeRead = true; }
    // Takes every dataset the station still holds, not only those after the read position (a
    // recovery into a new or another history); known ones are left out as always, and the read
    // position is written back as after any import.
    void ImportAll() { m_importAll = m_wholeRead = true; }

    // Reads size bytes in compared blocks of at most BlockSize, reporting progress before each: the
    // ring buffer bytes read so far in this import, of those plus this read's size.
    bool Read(CI2CDriver& driver, std::uint16_t address, std::uint8_t* buffer, std::uint32_t size);

    static constexpr std::uint32_t BlockSize = 1800;
    // Reads of one block before the read fails.
    static constexpr int BlockAttempts = 3;

private:
    void Run(CI2CDriver& driver);
    void WriteConfig(CI2CDriver& driver, const RingBufferConfig& config, std::uint16_t unread);
    void AbortPoint();
    void AddBytesRead(std::uint32_t count);

    std::vector<CDataset> m_datasets;
    std::shared_ptr<ImportSink> m_sink;
    bool m_wholeRead = false;
    bool m_importAll = false;
    std::uint32_t m_progressBase = 0; // ring buffer bytes read by earlier reads of this import
    mutable std::mutex m_summaryLock;
    ImportSummary m_summary;
};
