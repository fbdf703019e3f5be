#include "station/RingBufferParse.h"

#include "log/Logger.h"
#include "station/EndMarker.h"
#include "station/StationRange.h"

#include <algorithm>
#include <stdexcept>

namespace {

CLogger& Log() {
    return CLogger::Instance();
}

// The station's newest dataset, right before a slot that starts with an end-marker byte, has an
// invalid date-time: the marker rules cannot accept that marker until the station records again.
bool NewestDatasetHidesEndMarker(const std::uint8_t* ring, const Hardware::RingBuffer& layout) {
    const int S = static_cast<int>(layout.DatasetSize());
    const int B = static_cast<int>(layout.ByteSize());
    for (int slot = 0; slot < B; slot += S) {
        const std::uint8_t* before = ring + (slot == 0 ? B - S : slot - S);
        if (IsEndMarkerByte(ring[slot]) && !IsEndMarkerByte(before[0]) &&
            DecodeDateTime(before).GetStatus() == CDateTime::invalid)
            return true;
    }
    return false;
}

[[noreturn]] void NoEndMarker(const std::uint8_t* ring, const Hardware::RingBuffer& layout) {
    if (NewestDatasetHidesEndMarker(ring, layout))
        throw NewestDatasetInvalid(
            "Searching for end marker error: No end marker found, aborting. The newest dataset in the "
            "station has an invalid date and time; the station's next measurement clears it, import "
            "again after that");
    throw std::runtime_error("Searching for end marker error: No end marker found, aborting");
}

} // namespace

RingBufferParse ParseRingBuffer(std::span<const std::uint8_t> ringBuffer, const Hardware::RingBuffer& layout,
                                bool full, const RingBufferConfig& config,
                                const std::function<void()>& abortPoint) {
    const int S = static_cast<int>(layout.DatasetSize());
    const int B = static_cast<int>(layout.ByteSize());
    const int A = layout.Start();
    if (static_cast<int>(ringBuffer.size()) < B)
        throw std::runtime_error("Ring buffer image is smaller than the layout");
    const std::uint8_t* ring = ringBuffer.data();
    auto abortHere = [&] {
        if (abortPoint)
            abortPoint();
    };

    // The parse window.
    bool whole = true;
    int off = 0;
    int len = B;
    if (config.IsValid(layout)) {
        const CDateTime dtLastReadDateTime = DecodeDateTime(ring + config.LastReadIndex * S);
        if (dtLastReadDateTime.GetStatus() == CDateTime::invalid) {
            Log().Log(30, "LastReadDateTime invalid, parsing whole ring buffer");
        } else if (dtLastReadDateTime == config.LastReadDateTime) {
            Log().Log(
                30,
                "LastReadDateTime (%s) equal to stored last read datetime (%s), parsing part of ring buffer",
                dtLastReadDateTime.LogText().c_str(), config.LastReadDateTime.LogText().c_str());
            off = config.LastReadIndex * S + S;
            len = B - off;
            whole = false;
        } else {
            Log().Log(30,
                      "LastReadDateTime (%s) not equal to stored last read datetime (%s), parsing whole ring "
                      "buffer",
                      dtLastReadDateTime.LogText().c_str(), config.LastReadDateTime.LogText().c_str());
        }
    } else {
        Log().Log(30, "Ring buffer config invalid, parsing whole ring buffer");
    }
    abortHere();

    // Search and hand-over: the bytes reach the parser oldest first and end before the marker.
    Log().Log(50, "---------------------------");
    Log().Log(30, "Searching for end marker from 0x%X to 0x%X", A + off, A + off + len);
    std::vector<std::uint8_t> handOver;
    handOver.reserve(static_cast<std::size_t>(B));
    auto append = [&](int from, int to) { handOver.insert(handOver.end(), ring + from, ring + to); };

    // The window reaches the ring's end, so a marker in its last slot is judged against slot 0; its
    // first slot is judged against the slot before it.
    MarkerContext context;
    context.ringStart = ring;
    context.beforeWindow = ring + (off == 0 ? B - S : off - S);
    if (!whole)
        context.lastRead = config.LastReadDateTime;
    const EndMarkerSearch search =
        ScanEndMarkers(ring + off, static_cast<unsigned>(len), layout, full, context);
    LogEndMarkerSearch(search);
    int p = search.ChosenOrLastResort();
    if (whole) {
        if (p == -1)
            NoEndMarker(ring, layout);
        const int after = p + S;
        if (after >= B) {
            Log().Log(30, "Skipping bytes after end marker (0x%X) during parsing: end marker in last dataset",
                      A + after);
        } else if (!full) {
            Log().Log(30, "Skipping bytes after end marker (0x%X) during parsing: EEPROM not full",
                      A + after);
        } else {
            Log().Log(30, "Using bytes after end marker at EEPROM address (0x%X) for parsing", A + after);
            append(after, B);
        }
        if (p < S) {
            Log().Log(
                30,
                "Skipping bytes from start (0x%X) to before end marker (0x%X) during parsing, end marker in "
                "first dataset",
                A, A + p - 1);
        } else {
            Log().Log(30,
                      "Using bytes from start (0x%X), to before end marker (0x%X), bytes (%d) for parsing", A,
                      A + p - 1, p);
            append(0, p);
        }
    } else if (search.Chosen() != -1) {
        p = search.Chosen();
        Log().Log(
            30,
            "Using bytes after last read dataset (0x%X) to before end marker (0x%X), bytes (%d) for parsing",
            A + off, A + off + p - 1, p);
        append(off, off + p);
    } else {
        // The station has wrapped since the last read, or only candidates newer datasets follow lie
        // between the last read dataset and the ring's end: the end is after the wrap.
        Log().Log(
            30,
            "No end marker found, using bytes after last read dataset (0x%X) to end of buffer (0x%X) for "
            "parsing",
            A + off, layout.End());
        Log().Log(30, "Searching for end marker from begin of ring buffer (0x%X) to last read dataset (0x%X)",
                  A, A + off);
        MarkerContext wrapped;
        wrapped.beforeWindow = ring + B - S;
        wrapped.lastRead = config.LastReadDateTime;
        const EndMarkerSearch rest = ScanEndMarkers(ring, static_cast<unsigned>(off), layout, full, wrapped);
        LogEndMarkerSearch(rest);
        if (rest.ChosenOrLastResort() != -1 || search.lastNewerFollows == -1) {
            p = rest.ChosenOrLastResort();
            if (p == -1)
                NoEndMarker(ring, layout);
            append(off, B);
            Log().Log(30, "Using bytes from begin of ring buffer (0x%X) to end marker (0x%X) for parsing", A,
                      A + p);
            append(0, p);
            off = 0;
        } else {
            // Nothing after the wrap either: the last candidate before the ring's end it is.
            p = search.lastNewerFollows;
            Log().Log(
                30,
                "Using bytes after last read dataset (0x%X) to before end marker (0x%X), bytes (%d) for "
                "parsing",
                A + off, A + off + p - 1, p);
            append(off, off + p);
        }
    }
    abortHere();

    Log().Log(50, "---------------------------");
    Log().Log(50, "Parsing read data");
    RingBufferParse result;
    result.datasets = ParseDatasets(handOver, layout);
    result.endMarkerOffset = p + off;
    return result;
}

std::vector<CDataset> ParseDatasets(std::span<const std::uint8_t> bytes, const Hardware::RingBuffer& layout) {
    const std::size_t S = layout.DatasetSize();
    std::vector<CDataset> datasets;
    datasets.reserve(bytes.size() / S);
    // The bytes end right before the end marker, so a lead byte 0xFF or 0xFE among them belongs to
    // a damaged dataset: it stays in its place as an invalid one, so every dataset keeps its slot.
    for (std::size_t at = 0; at + S <= bytes.size(); at += S) {
        CDataset dataset;
        if (IsEndMarkerByte(bytes[at]))
            Log().Log(30, "Skipping dataset %d of the parsed bytes: lead byte 0x%02X",
                      static_cast<int>(at / S), bytes[at]);
        else
            dataset.DecodeStation(bytes.data() + at, layout);
        datasets.push_back(dataset);
    }
    Log().Log(30, "Parsed %d datasets", static_cast<int>(datasets.size()));
    return datasets;
}

bool LeaveIncompleteNewest(RingBufferParse& parse, std::span<const std::uint8_t> ringBuffer,
                           const Hardware::RingBuffer& layout, const std::function<unsigned()>& unreadCount) {
    const int S = static_cast<int>(layout.DatasetSize());
    const int B = static_cast<int>(layout.ByteSize());
    if (parse.datasets.empty() || parse.datasets.back().IsInvalid() || parse.endMarkerOffset < 0)
        return false;
    const int newest = (parse.endMarkerOffset - S + B) % B;
    const std::uint8_t lastByte = ringBuffer[static_cast<std::size_t>(newest + S - 1)];
    if (lastByte != 0xFF)
        return false;
    const unsigned unread = unreadCount();
    const auto parsed = static_cast<unsigned>(parse.datasets.size());
    const bool counted = unread >= parsed && unread < static_cast<unsigned>(layout.DatasetCount() - 1);
    if (counted) {
        Log().Log(
            30,
            "Newest dataset at LastReadIndex %d ends in 0x%02X, the unread datasets counter (%u) counts "
            "it, taking it",
            newest / S, lastByte, unread);
        return false;
    }
    Log().Log(30,
              "Newest dataset at LastReadIndex %d is not completely written yet (last byte 0x%02X, unread "
              "datasets counter %u, parsed datasets %u), leaving it for the next import",
              newest / S, lastByte, unread, parsed);
    parse.datasets.pop_back();
    parse.endMarkerOffset = newest;
    return true;
}

int NewLastReadIndex(const std::vector<CDataset>& datasets, int endMarkerOffset,
                     const Hardware::RingBuffer& layout, CDateTime& newLastReadDateTime) {
    const int S = static_cast<int>(layout.DatasetSize());
    const int B = static_cast<int>(layout.ByteSize());
    int e = endMarkerOffset;
    for (auto it = datasets.rbegin(); endMarkerOffset >= 0 && it != datasets.rend(); ++it) {
        e -= S;
        if (e < 0) {
            Log().Log(30, "At beginning of ring buffer, continuing at end of ring buffer");
            e = B - S;
        }
        newLastReadDateTime = it->GetDateTime();
        if (newLastReadDateTime.GetStatus() == CDateTime::valid) {
            Log().Log(30, "Found valid LastReadDateTime (%s) with LastReadIndex %d",
                      newLastReadDateTime.LogText().c_str(), e / S);
            return e / S;
        }
        Log().Log(30, "Skipping invalid LastReadDateTime with LastReadIndex %d", e / S);
    }
    return -1;
}

CleanCounts CleanDatasets(std::vector<CDataset>& datasets, const ImportSink& sink) {
    CleanCounts counts;
    const auto c0 = static_cast<int>(datasets.size());
    std::erase_if(datasets, [](const CDataset& dataset) { return dataset.IsInvalid(); });
    const auto c1 = static_cast<int>(datasets.size());
    // Damage first, so a damaged slot read again compares equal to what the first read stored.
    counts.damaged = static_cast<int>(std::erase_if(
        datasets, [](const CDataset& dataset) { return !IsStationYear(dataset.GetDateTime()); }));
    const int datedOutside = counts.damaged;
    for (CDataset& dataset : datasets)
        if (const int replaced = MarkDamagedValuesMissing(dataset)) {
            ++counts.damaged;
            counts.damagedValues += replaced;
        }
    if (counts.damaged != 0)
        Log().Log(30,
                  "Damaged parsed datasets: stored %d values no station records as missing in %d datasets, "
                  "removed %d datasets dated outside the station's years",
                  counts.damagedValues, counts.damaged - datedOutside, datedOutside);
    const auto c1b = static_cast<int>(datasets.size());
    datasets.erase(std::unique(datasets.begin(), datasets.end(), SameMeasurement), datasets.end());
    const auto c2 = static_cast<int>(datasets.size());
    sink.RemoveKnown(datasets);
    const auto c3 = static_cast<int>(datasets.size());
    counts.invalid = c0 - c1;
    counts.readDoubles = c1b - c2;
    counts.known = c2 - c3;
    Log().Log(
        30,
        "Cleaned parsed datasets, removed %d invalid datasets, removed %d read double datasets, removed %d "
        "double datasets",
        counts.invalid, counts.readDoubles, counts.known);
    return counts;
}
