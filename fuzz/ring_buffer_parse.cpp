// The station-side pipeline from a raw ring buffer image, the flags and the read-position bytes to
// the cleaned datasets: window choice, end-marker search, hand-over, parsing, new read position
// and cleaning. No input may crash it, and what it yields must come from the image in ring order.
//
// Input: flags byte, transmitter byte, mode byte, 16 read-position bytes, then image bytes.
// Mode bits 0-1 say how the image bytes fill the ring (rest erased, tiled, or at the ring's end);
// bit 2 builds a read position that matches the slot named by the first two record bytes, so the
// partial window is reached as often as the whole one. Bits 3-7 are the station's unread counter
// for the routine read, which must decide exactly as the parse of the whole image does.
#include "FuzzSupport.h"

#include "history/HistoryData.h"
#include "history/HistoryFile.h"
#include "history/HistoryImportSink.h"
#include "history/HistoryRecord.h"
#include "log/Logger.h"
#include "station/RingBuffer.h"
#include "station/RingBufferConfig.h"
#include "station/RingBufferParse.h"
#include "station/RoutineRead.h"
#include "station/StationImage.h"

#include <algorithm>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace {

bool SameRecord(const CDataset& a, const CDataset& b) {
    std::uint8_t x[HistoryRecordSize], y[HistoryRecordSize];
    EncodeHistoryRecord(a, x);
    EncodeHistoryRecord(b, y);
    return std::memcmp(x, y, HistoryRecordSize) == 0;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    CLogger::Instance().SetLevel(0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t Header = 3 + 16;
    if (size < Header)
        return 0;
    const bool full = Hardware::IsRingBufferFull(data[0]);
    const Hardware::RingBuffer& layout = *Hardware::RingBuffer::GetConfig(1 + (data[1] & 0x0F) % 5);
    const std::uint8_t mode = data[2];
    const int S = static_cast<int>(layout.DatasetSize());
    const int B = static_cast<int>(layout.ByteSize());
    const int slots = layout.DatasetCount();

    // The image as the request holds it: the layout's bytes, erased where nothing was read.
    std::vector<std::uint8_t> ring(static_cast<std::size_t>(B), 0xFF);
    const std::uint8_t* image = data + Header;
    const std::size_t imageSize = std::min(size - Header, ring.size());
    switch (mode & 3) {
    case 1:
        for (std::size_t i = 0; imageSize > 0 && i < ring.size(); ++i)
            ring[i] = image[i % imageSize];
        break;
    case 2:
        std::copy_n(image, imageSize, ring.end() - static_cast<std::ptrdiff_t>(imageSize));
        break;
    default:
        std::copy_n(image, imageSize, ring.begin());
        break;
    }

    std::uint8_t record[16];
    std::memcpy(record, data + 3, sizeof record);
    if (mode & 4) {
        const std::int32_t index = (record[0] | record[1] << 8) % slots;
        const ReadPositionBytes bytes = EncodeReadPosition(DecodeDateTime(ring.data() + index * S).Value(),
                                                           index, layout.NrOfTransmitters());
        std::copy(bytes.begin(), bytes.end(), record);
    }
    RingBufferConfig config;
    config.ReadFromBuffer(record, layout);

    RingBufferImage routineImage(static_cast<unsigned>(B),
                                 [&](unsigned offset, std::span<std::uint8_t> into) {
                                     std::copy_n(ring.begin() + offset, into.size(), into.begin());
                                 });
    RingBufferParse routine;
    bool routineFailed = false;
    try {
        routine =
            ReadAndParseRingBuffer(routineImage, layout, full, config, [&] { return unsigned(mode >> 3); });
    } catch (const std::runtime_error&) {
        routineFailed = true;
    }

    RingBufferParse parse;
    try {
        parse = ParseRingBuffer(ring, layout, full, config);
    } catch (const std::runtime_error&) {
        FUZZ_CHECK(routineFailed);
        return 0; // no end marker: the request fails and touches nothing
    }
    FUZZ_CHECK(!routineFailed);
    FUZZ_CHECK(routine.endMarkerOffset == parse.endMarkerOffset);
    FUZZ_CHECK(routine.datasets.size() == parse.datasets.size());
    for (std::size_t i = 0; i < parse.datasets.size(); ++i)
        FUZZ_CHECK(SameRecord(routine.datasets[i], parse.datasets[i]));
    const int e0 = parse.endMarkerOffset;
    FUZZ_CHECK(e0 >= 0 && e0 < B && e0 % S == 0);
    FUZZ_CHECK(parse.datasets.size() <= static_cast<std::size_t>(slots));

    // The datasets are consecutive slots of the ring, oldest first.
    const auto k = static_cast<int>(parse.datasets.size());
    if (k > 0) {
        auto decoded = [&](int slot) {
            CDataset dataset;
            dataset.DecodeStation(ring.data() + ((slot % slots + slots) % slots) * S, layout);
            return dataset;
        };
        // A slot with a damaged lead byte gives an invalid dataset in its place.
        auto matches = [&](int i, int slot) {
            const CDataset& dataset = parse.datasets[static_cast<std::size_t>(i)];
            const std::uint8_t lead = ring[static_cast<std::size_t>(((slot % slots + slots) % slots) * S)];
            return SameRecord(dataset, decoded(slot)) ||
                   (dataset.IsInvalid() && (lead == 0xFF || lead == 0xFE));
        };
        // Ending right before the end marker is what the new read position relies on.
        const int first = e0 / S - k;
        bool beforeMarker = true;
        for (int i = 0; i < k && beforeMarker; ++i)
            beforeMarker = matches(i, first + i);
        if (!beforeMarker) {
            // Parsing stopped early at another marker byte: still a run of slots from the image.
            bool run = false;
            for (int start = 0; start < slots && !run; ++start) {
                if (!matches(0, start))
                    continue;
                run = true;
                for (int i = 1; i < k && run; ++i)
                    run = matches(i, start + i);
            }
            FUZZ_CHECK(run);
        }

        CDateTime newest;
        const int index = NewLastReadIndex(parse.datasets, e0, layout, newest);
        if (index >= 0) {
            FUZZ_CHECK(index < slots);
            FUZZ_CHECK(newest.GetStatus() == CDateTime::valid);
            // The next import finds the date where the record will say it is.
            if (beforeMarker)
                FUZZ_CHECK(DecodeDateTime(ring.data() + index * S) == newest);
        }
    }

    // Cleaning keeps an ordered subset: valid, and nothing the history holds.
    std::vector<CDataset> cleaned = parse.datasets;
    CHistoryData history; // already holds every other parsed dataset
    {
        std::vector<CDataset> taken;
        for (std::size_t i = 0; i < parse.datasets.size(); i += 2)
            taken.push_back(parse.datasets[i]);
        std::ostringstream out;
        WriteHistoryRecords(out, taken);
        std::istringstream in(out.str());
        history.ReadFrom(in);
    }
    CleanDatasets(cleaned, HistoryImportSink(history, {}));
    std::vector<CDataset> unknown = cleaned;
    history.RemoveKnown(unknown);
    FUZZ_CHECK(unknown.size() == cleaned.size());
    FUZZ_CHECK(cleaned.size() <= parse.datasets.size());
    for (const CDataset& kept : cleaned)
        FUZZ_CHECK(kept.GetDateTime().GetStatus() == CDateTime::valid);
    auto next = parse.datasets.begin();
    for (const CDataset& kept : cleaned) {
        next =
            std::find_if(next, parse.datasets.end(), [&](const CDataset& d) { return SameRecord(d, kept); });
        FUZZ_CHECK(next != parse.datasets.end());
        ++next;
    }
    return 0;
}
