#include "station/HWRequestReadRingBuffer.h"

#include "base/Check.h"
#include "link/I2CDriver.h"
#include "log/Logger.h"
#include "station/Hardware.h"
#include "station/LayoutChange.h"
#include "station/RingBuffer.h"
#include "station/RingBufferParse.h"
#include "station/RoutineRead.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

CLogger& Log() {
    return CLogger::Instance();
}

} // namespace

CHWRequestReadRingBuffer::CHWRequestReadRingBuffer(RequestObserverRef observer,
                                                   std::shared_ptr<ImportSink> sink)
    : CHWRequest(std::move(observer)), m_sink(std::move(sink)) {}

ImportSummary CHWRequestReadRingBuffer::Summary() const {
    std::lock_guard lock(m_summaryLock);
    return m_summary;
}

void CHWRequestReadRingBuffer::AddBytesRead(std::uint32_t count) {
    std::lock_guard lock(m_summaryLock);
    m_summary.bytesRead += count;
}

void CHWRequestReadRingBuffer::AbortPoint() {
    if (IsAbortRequested())
        ThrowAborted();
}

void CHWRequestReadRingBuffer::Execute(CI2CDriver& driver) {
    try {
        Run(driver);
        SetMessage("");
        SetSucceeded(true);
    } catch (const std::exception& e) {
        Log().Log(10, "Request failed: %s", LogText(e).c_str());
        SetMessage(std::string("Request failed: ") + e.what());
        SetSucceeded(false);
    }
    Log().Log(30, "Request finished");
}

void CHWRequestReadRingBuffer::Run(CI2CDriver& driver) {
    Log().Log(30, "===========================");
    Log().Log(30, "Request Read RingBuffer Start");
    {
        std::lock_guard lock(m_summaryLock);
        m_summary = {};
    }
    m_datasets.clear();
    m_progressBase = 0;
    std::string msg;
    std::array<std::uint8_t, 2> eepromTransmittersBuffer{0xFF, 0xFF};
    RingBufferConfig::Bytes readRingBufferConfigBuffer;
    readRingBufferConfigBuffer.fill(0xFF);

    Check(Sync(driver)) << "Synchronize failed, aborting";
    AbortPoint();

    Log().Log(50, "---------------------------");
    Log().Log(50, "Read eeprom flags and number of transmitters");
    Check(driver.ReadCompare(Hardware::EE_EEPROM_FLAGS_1, eepromTransmittersBuffer.data(),
                             Hardware::EE_EEPROM_FLAGS_1_SIZE + Hardware::EE_NUMBER_OF_TRANSMITTERS_SIZE,
                             msg))
        << "Read eeprom flags and number of transmitters failed, aborting";
    AddBytesRead(eepromTransmittersBuffer.size());
    AbortPoint();

    Log().Log(50, "---------------------------");
    Log().Log(50, "Read ring buffer configuration");
    Check(driver.ReadCompare(Hardware::EE_PC_BEGIN, readRingBufferConfigBuffer.data(), Hardware::EE_PC_SIZE,
                             msg))
        << "Read ring buffer configuration failed, aborting";
    AddBytesRead(Hardware::EE_PC_SIZE);
    AbortPoint();

    // The image covers the whole layout. For one and five transmitters the last slot ends one
    // byte past the usual read; that byte is read too, so the slot decodes as the station wrote it.
    const int transmitters = Hardware::TransmitterCountOf(eepromTransmittersBuffer[1]);
    std::uint32_t readSize = Hardware::EE_RINGBUFFER_SIZE;
    if (Hardware::IsValidTransmitterCount(transmitters))
        readSize =
            std::max<std::uint32_t>(readSize, Hardware::RingBuffer::GetConfig(transmitters)->ByteSize());
    RingBufferImage ringBuffer(readSize, [&](unsigned offset, std::span<std::uint8_t> into) {
        Check(Read(driver, static_cast<std::uint16_t>(Hardware::EE_START_OF_RINGBUFFER + offset), into.data(),
                   static_cast<std::uint32_t>(into.size())))
            << "Read ring buffer failed, aborting";
    });

    Log().Log(50, "---------------------------");
    Log().Log(50, "Read ring buffer");
    // A routine import reads only what is new, once the layout and the read position are known.
    if (m_wholeRead || !Hardware::IsValidTransmitterCount(transmitters))
        ringBuffer.ReadAll();

    const std::uint8_t eepromFlags = Hardware::FlagsOf(eepromTransmittersBuffer[0]);
    const bool full = Hardware::IsRingBufferFull(eepromFlags);
    Log().Log(30, "EEPROM Flags (%d), full (%d)", eepromFlags, full ? 1 : 0);

    const Hardware::RingBuffer& layout = *Hardware::RingBuffer::GetConfig(transmitters);
    layout.LogConfig();

    RingBufferConfig readRingBufferConfig;
    readRingBufferConfig.ReadFromBuffer(readRingBufferConfigBuffer.data(), layout);
    const RingBufferConfig stored = RingBufferConfig::Decode(readRingBufferConfigBuffer.data());

    std::optional<unsigned> unreadCounter;
    auto unreadCount = [&]() -> unsigned {
        if (unreadCounter)
            return *unreadCounter;
        std::array<std::uint8_t, 2> unread{0xFF, 0xFF};
        Log().Log(50, "---------------------------");
        Log().Log(50, "Read unread datasets counter");
        Check(driver.ReadCompare(Hardware::EE_EEPROM_UNREAD_GL, unread.data(), unread.size(), msg))
            << "Read unread datasets counter failed, aborting";
        AddBytesRead(unread.size());
        unreadCounter = unread[0] | unread[1] << 8u;
        return *unreadCounter;
    };
    // Every dataset the station holds: the read position does not choose what is parsed.
    RingBufferConfig parseFrom = readRingBufferConfig;
    if (m_importAll) {
        Log().Log(30, "Importing every dataset the station holds, parsing whole ring buffer");
        parseFrom.Reset();
    }
    RingBufferParse parse;
    if (LayoutChanged(stored, layout)) {
        // Bytes of two layouts: only what each proves is taken.
        ringBuffer.ReadAll();
        AbortPoint();
        LayoutChangeParse change = ParseAfterLayoutChange(ringBuffer.Bytes(), layout, full, stored);
        parse = std::move(change.parse);
        std::lock_guard lock(m_summaryLock);
        m_summary.layoutChange = change.note;
    } else {
        try {
            parse = ReadAndParseRingBuffer(ringBuffer, layout, full, parseFrom, unreadCount,
                                           [this] { AbortPoint(); });
        } catch (const NewestDatasetInvalid&) {
            std::lock_guard lock(m_summaryLock);
            m_summary.newestDatasetInvalid = true;
            throw;
        }
    }
    const bool newestLeft = LeaveIncompleteNewest(parse, ringBuffer.Bytes(), layout, unreadCount);
    m_datasets = std::move(parse.datasets);
    const int parsed = static_cast<int>(m_datasets.size());

    // The new read position.
    Log().Log(50, "---------------------------");
    Log().Log(30, "Calculating and writing new ring buffer configuration");
    CDateTime newLastReadDateTime;
    const int newLastReadIndex =
        NewLastReadIndex(m_datasets, parse.endMarkerOffset, layout, newLastReadDateTime);

    // Cleaning and appending.
    const CleanCounts counts = CleanDatasets(m_datasets, *m_sink);
    {
        std::lock_guard lock(m_summaryLock);
        m_summary.parsed = parsed;
        m_summary.invalid = counts.invalid;
        m_summary.readDoubles = counts.readDoubles;
        m_summary.known = counts.known;
        m_summary.damaged = counts.damaged;
        m_summary.damagedValues = counts.damagedValues;
        m_summary.newestLeft = newestLeft;
    }
    bool appended = false;
    if (m_datasets.empty()) {
        Log().Log(30, "No new valid datasets appended");
    } else {
        // Only datasets that are on disk count as recorded: otherwise the station keeps its read
        // position and offers them again at the next import.
        // The reason goes with the failure, so the user reads it and not only the log.
        if (!m_sink->Store(m_datasets)) {
            const std::string reason = m_sink->StoreFailure();
            Check(false) << "Appending to history file '" << m_sink->Name() << "' failed, aborting"
                         << (reason.empty() ? "" : ": " + reason);
        }
        appended = true;
        Log().Log(30, "%d valid datasets appended, last parsed dataset datetime is %s",
                  static_cast<int>(m_datasets.size()), m_datasets.back().GetDateTime().LogText().c_str());
        std::lock_guard lock(m_summaryLock);
        m_summary.appended = static_cast<int>(m_datasets.size());
    }

    if (appended && newLastReadIndex != -1) {
        Log().Log(
            30, "Using new LastReadDateTime (%s), LastReadIndex (%d), LastNrOfTransmitters(%d) for next read",
            newLastReadDateTime.LogText().c_str(), newLastReadIndex, layout.NrOfTransmitters());
        readRingBufferConfig.LastReadIndex = newLastReadIndex;
        readRingBufferConfig.LastReadDateTime = newLastReadDateTime;
        readRingBufferConfig.LastNrOfTransmitters = layout.NrOfTransmitters();
        // A slot left while being written stays counted as unread, so the next import takes it even
        // when its values really all overflowed.
        WriteConfig(driver, readRingBufferConfig, newestLeft ? 1 : 0);
        std::lock_guard lock(m_summaryLock);
        m_summary.newReadIndex = newLastReadIndex;
    } else {
        Log().Log(
            30, "Using old LastReadDateTime (%s), LastReadIndex (%d), LastNrOfTransmitters(%d) for next read",
            readRingBufferConfig.LastReadDateTime.LogText().c_str(), readRingBufferConfig.LastReadIndex,
            readRingBufferConfig.LastNrOfTransmitters);
    }
}

void CHWRequestReadRingBuffer::WriteConfig(CI2CDriver& driver, const RingBufferConfig& config,
                                           std::uint16_t unreadCount) {
    const RingBufferConfig::Bytes record = config.ToBytes();
    const std::array<std::uint8_t, 2> unread{static_cast<std::uint8_t>(unreadCount & 0xFF),
                                             static_cast<std::uint8_t>(unreadCount >> 8)};
    Check(Sync(driver)) << "Write configuration error: Synchronize failed, aborting";
    Check(driver.WriteCompare(Hardware::EE_PC_BEGIN, record.data(), Hardware::EE_PC_SIZE))
        << "Write configuration error: Read / write error, aborting";
    Log().Log(30, "Write configuration: LastReadDateTime (%s),  LastReadIndex(%d), LastNrOfTransmitters(%d)",
              config.LastReadDateTime.LogText().c_str(), config.LastReadIndex, config.LastNrOfTransmitters);
    Check(driver.WriteCompare(Hardware::EE_EEPROM_UNREAD_GL, unread.data(), unread.size()))
        << "Write unread datasets error: Read / write error, aborting";
}

bool CHWRequestReadRingBuffer::Read(CI2CDriver& driver, std::uint16_t address, std::uint8_t* buffer,
                                    std::uint32_t size) {
    Log().Log(30, "Reading from 0x%X, %d bytes", address, static_cast<int>(size));
    std::vector<std::uint8_t> compareBuffer(BlockSize);
    std::uint32_t done = 0;
    while (done < size) {
        const std::uint32_t n = std::min(BlockSize, size - done);
        const auto blockAddress = static_cast<std::uint16_t>(address + done);
        const int left = static_cast<int>(size - done);
        Log().Log(30, "Reading block from 0x%X, %d bytes, %d bytes left", blockAddress, static_cast<int>(n),
                  left);
        if (const auto observer = Observer())
            observer->ReadProgress(m_progressBase + done, m_progressBase + size);
        // A block that fails (the base unit's own transfer met ours, a read disturbed) is read
        // again, a bounded number of times: one failure costs one block, not the import so far.
        bool blockOk = false;
        for (int attempt = 1; attempt <= BlockAttempts && !blockOk; ++attempt) {
            if (attempt > 1)
                Log().Log(30, "Reading block from 0x%X, %d bytes again, attempt %d of %d", blockAddress,
                          static_cast<int>(n), attempt, BlockAttempts);
            try {
                driver.RandomRead(blockAddress, buffer + done, n);
                driver.RandomRead(blockAddress, compareBuffer.data(), n);
                blockOk = std::memcmp(buffer + done, compareBuffer.data(), n) == 0;
                if (!blockOk)
                    Log().Log(10, "Reading block from 0x%X, %d bytes, %d bytes left failed: Compare failed",
                              blockAddress, static_cast<int>(n), left);
            } catch (const std::exception& e) {
                Log().Log(10, "Reading block from 0x%X, %d bytes, %d bytes left failed: %s", blockAddress,
                          static_cast<int>(n), left, e.what());
            }
        }
        if (!blockOk) {
            Log().Log(10, "Reading from 0x%X, %d bytes failed while reading block at 0x%x", address,
                      static_cast<int>(size), blockAddress);
            return false;
        }
        AddBytesRead(n);
        AbortPoint();
        done += n;
    }
    m_progressBase += size;
    return true;
}
