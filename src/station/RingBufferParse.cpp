#include "station/RingBufferParse.h"

#include "log/Logger.h"
#include "station/EndMarker.h"

#include <algorithm>
#include <stdexcept>

namespace {

CLogger& Log() {
    return CLogger::Instance();
}

[[noreturn]] void NoEndMarker() {
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

    // The window reaches the ring's end, so a marker in its last slot is judged against slot 0.
    int p = FindEndMarker(ring + off, static_cast<unsigned>(len), layout, full, ring);
    if (whole) {
        if (p == -1)
            NoEndMarker();
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
    } else if (p != -1) {
        Log().Log(
            30,
            "Using bytes after last read dataset (0x%X) to before end marker (0x%X), bytes (%d) for parsing",
            A + off, A + off + p - 1, p);
        append(off, off + p);
    } else {
        // The station has wrapped since the last read.
        Log().Log(
            30,
            "No end marker found, using bytes after last read dataset (0x%X) to end of buffer (0x%X) for "
            "parsing",
            A + off, layout.End());
        append(off, B);
        Log().Log(30, "Searching for end marker from begin of ring buffer (0x%X) to last read dataset (0x%X)",
                  A, A + off);
        p = FindEndMarker(ring, static_cast<unsigned>(off), layout, full);
        if (p == -1)
            NoEndMarker();
        Log().Log(30, "Using bytes from begin of ring buffer (0x%X) to end marker (0x%X) for parsing", A,
                  A + p);
        append(0, p);
        off = 0;
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
    for (std::size_t at = 0; at + S <= bytes.size(); at += S) {
        CDataset dataset;
        dataset.DecodeStation(bytes.data() + at, layout);
        datasets.push_back(dataset);
        const std::size_t next = at + S;
        if (next < bytes.size() && IsEndMarkerByte(bytes[next]))
            break;
    }
    Log().Log(30, "Parsed %d datasets", static_cast<int>(datasets.size()));
    return datasets;
}

int NewLastReadIndex(const std::vector<CDataset>& datasets, int endMarkerOffset,
                     const Hardware::RingBuffer& layout, CDateTime& newLastReadDateTime) {
    const int S = static_cast<int>(layout.DatasetSize());
    const int B = static_cast<int>(layout.ByteSize());
    int e = endMarkerOffset;
    for (auto it = datasets.rbegin(); it != datasets.rend(); ++it) {
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
    const auto c0 = static_cast<int>(datasets.size());
    std::erase_if(datasets, [](const CDataset& dataset) { return dataset.IsInvalid(); });
    const auto c1 = static_cast<int>(datasets.size());
    datasets.erase(
        std::unique(datasets.begin(), datasets.end(),
                    [](const CDataset& a, const CDataset& b) { return a.GetDateTime() == b.GetDateTime(); }),
        datasets.end());
    const auto c2 = static_cast<int>(datasets.size());
    sink.RemoveKnown(datasets);
    const auto c3 = static_cast<int>(datasets.size());
    Log().Log(
        30,
        "Cleaned parsed datasets, removed %d invalid datasets, removed %d read double datasets, removed %d "
        "double datasets",
        c0 - c1, c1 - c2, c2 - c3);
    return {c0 - c1, c1 - c2, c2 - c3};
}
