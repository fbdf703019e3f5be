#include "station/RoutineRead.h"

#include "log/Logger.h"
#include "station/EndMarker.h"

#include <algorithm>
#include <optional>

namespace {

CLogger& Log() {
    return CLogger::Instance();
}

// The datasets after the last read one when the read bytes settle where the end marker is;
// nothing when the whole ring buffer must be read to decide.
std::optional<RingBufferParse> ReadNewDatasetsOnly(RingBufferImage& image, const Hardware::RingBuffer& layout,
                                                   bool full, const RingBufferConfig& config,
                                                   const std::function<unsigned()>& unreadCount,
                                                   const std::function<void()>& abortPoint) {
    const unsigned S = layout.DatasetSize();
    const unsigned B = layout.ByteSize();
    const int A = layout.Start();
    if (!config.IsValid(layout)) {
        Log().Log(30, "Ring buffer config invalid, reading whole ring buffer");
        return std::nullopt;
    }

    const unsigned lastRead = static_cast<unsigned>(config.LastReadIndex) * S;
    Log().Log(30, "Reading last read datetime at index %d", config.LastReadIndex);
    image.Read(lastRead, lastRead + DateTimeSize);
    const CDateTime atLastRead = DecodeDateTime(image.Bytes().data() + lastRead);
    if (atLastRead.GetStatus() == CDateTime::invalid) {
        Log().Log(30, "LastReadDateTime invalid, reading whole ring buffer");
        return std::nullopt;
    }
    if (!(atLastRead == config.LastReadDateTime)) {
        Log().Log(
            30,
            "LastReadDateTime (%s) not equal to stored last read datetime (%s), reading whole ring buffer",
            atLastRead.LogText().c_str(), config.LastReadDateTime.LogText().c_str());
        return std::nullopt;
    }
    Log().Log(30,
              "LastReadDateTime (%s) equal to stored last read datetime (%s), parsing part of ring buffer",
              atLastRead.LogText().c_str(), config.LastReadDateTime.LogText().c_str());
    if (abortPoint)
        abortPoint();

    // The new datasets, the end marker and the date-time of the slot after it, which judges the
    // marker: the counter says how many are new.
    const unsigned off = lastRead + S;
    const unsigned rest = B - off;
    const unsigned unread = unreadCount();
    unsigned slots = std::min(unread, B / S) + 1;
    Log().Log(30, "Unread datasets (%u), reading %u datasets after last read dataset", unread, slots);
    for (;;) {
        const unsigned length = slots * S + DateTimeSize;
        if (length >= rest) {
            Log().Log(30, "Read would reach the end of the ring buffer, reading whole ring buffer");
            return std::nullopt;
        }
        image.Read(off, off + length);
        if (abortPoint)
            abortPoint();
        MarkerContext context;
        context.beforeWindow = image.Bytes().data() + lastRead;
        context.lastRead = config.LastReadDateTime;
        const EndMarkerSearch search =
            ScanEndMarkers(image.Bytes().data() + off, length, layout, full, context);
        if (search.firstValid != -1) {
            Log().Log(50, "---------------------------");
            Log().Log(30, "Searching for end marker from 0x%X to 0x%X", A + off, A + off + length);
            LogEndMarkerSearch(search);
            const int p = search.firstValid;
            Log().Log(
                30,
                "Using bytes after last read dataset (0x%X) to before end marker (0x%X), bytes (%d) for "
                "parsing",
                A + off, A + off + p - 1, p);
            Log().Log(50, "---------------------------");
            Log().Log(50, "Parsing read data");
            RingBufferParse result;
            result.datasets = ParseDatasets(image.Bytes().subspan(off, static_cast<unsigned>(p)), layout);
            result.endMarkerOffset = static_cast<int>(off) + p;
            return result;
        }
        if (search.possiblyValid != -1) {
            Log().Log(30, "Only a possibly valid end marker in read bytes, reading whole ring buffer");
            return std::nullopt;
        }
        slots *= 2;
        Log().Log(30, "No valid end marker in read bytes, reading %u datasets after last read dataset",
                  slots);
    }
}

} // namespace

RingBufferParse ReadAndParseRingBuffer(RingBufferImage& image, const Hardware::RingBuffer& layout, bool full,
                                       const RingBufferConfig& config,
                                       const std::function<unsigned()>& unreadCount,
                                       const std::function<void()>& abortPoint) {
    if (!image.Complete()) {
        if (auto parse = ReadNewDatasetsOnly(image, layout, full, config, unreadCount, abortPoint))
            return std::move(*parse);
        image.ReadAll();
        if (abortPoint)
            abortPoint();
    }
    return ParseRingBuffer(image.Bytes(), layout, full, config, abortPoint);
}
