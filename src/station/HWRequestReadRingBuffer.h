#pragma once

#include "hw/HWRequest.h"
#include "station/Dataset.h"
#include "station/ImportSink.h"
#include "station/RingBufferConfig.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

// What one import did, for the command line and the dialogs.
struct ImportSummary {
    int parsed = 0;
    int invalid = 0;
    int readDoubles = 0;
    int known = 0;
    int appended = 0;
    std::optional<int> newReadIndex; // set when a new read position was written to the station
};

// Fetches the datasets that are new since the last import from the station's ring buffer, hands
// those the sink does not know to the sink to store, and only once they are stored writes the new
// read position back. A failed store leaves the station as it was, so the next import offers the
// same datasets again.
class CHWRequestReadRingBuffer : public CHWRequest {
public:
    CHWRequestReadRingBuffer(MessageTargetRef window, std::shared_ptr<ImportSink> sink);

    void Execute(CI2CDriver& driver) override;
    std::string Name() const override { return "Read RingBuffer"; }

    ImportSummary Summary() const;

    // Reads size bytes in compared blocks of at most BlockSize, posting progress before each.
    bool Read(CI2CDriver& driver, std::uint16_t address, std::uint8_t* buffer, std::uint32_t size);

    static constexpr std::uint32_t BlockSize = 1800;

private:
    void Run(CI2CDriver& driver);
    void WriteConfig(CI2CDriver& driver, const RingBufferConfig& config);
    void AbortPoint();

    std::vector<CDataset> _datasets;
    std::shared_ptr<ImportSink> _sink;
    mutable std::mutex _summaryLock;
    ImportSummary _summary;
};
