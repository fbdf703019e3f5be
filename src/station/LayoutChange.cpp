#include "station/LayoutChange.h"

#include "log/Logger.h"
#include "station/EndMarker.h"

#include <algorithm>
#include <cstdio>

bool LayoutChanged(const RingBufferConfig& record, const Hardware::RingBuffer& layout) {
    if (record.LastNrOfTransmitters < 1 || record.LastNrOfTransmitters > 5 ||
        record.LastNrOfTransmitters == layout.NrOfTransmitters())
        return false;
    return record.IsValid(*Hardware::RingBuffer::GetConfig(record.LastNrOfTransmitters));
}

LayoutChangeParse ParseAfterLayoutChange(std::span<const std::uint8_t> ringBuffer,
                                         const Hardware::RingBuffer& layout, bool full,
                                         const RingBufferConfig& record) {
    const Hardware::RingBuffer& old = *Hardware::RingBuffer::GetConfig(record.LastNrOfTransmitters);
    const std::uint8_t* ring = ringBuffer.data();
    LayoutChangeParse result;
    std::vector<CDataset>& datasets = result.parse.datasets;

    // The old layout's datasets after the last read one, while they prove themselves.
    const int So = static_cast<int>(old.DatasetSize());
    int oldEnd = (record.LastReadIndex + 1) * So;
    CDateTime newest = record.LastReadDateTime;
    if (DecodeDateTime(ring + record.LastReadIndex * So) == record.LastReadDateTime) {
        const int slots = std::min(old.DatasetCount(), static_cast<int>(ringBuffer.size()) / So);
        for (int slot = record.LastReadIndex + 1; slot < slots; ++slot) {
            const std::uint8_t* bytes = ring + slot * So;
            const CDateTime at = DecodeDateTime(bytes);
            if (IsEndMarkerByte(bytes[0]) || at.GetStatus() != CDateTime::valid || !(at > newest))
                break;
            CDataset dataset;
            dataset.DecodeStation(bytes, old);
            datasets.push_back(dataset);
            newest = at;
            oldEnd = (slot + 1) * So;
        }
    }
    result.takenOld = static_cast<int>(datasets.size());

    // The new layout's run before its end marker, wholly after the old datasets.
    const int S = static_cast<int>(layout.DatasetSize());
    const int B = static_cast<int>(layout.ByteSize());
    MarkerContext context;
    context.ringStart = ring;
    context.beforeWindow = ring + B - S;
    const EndMarkerSearch search = ScanEndMarkers(ring, static_cast<unsigned>(B), layout, full, context);
    LogEndMarkerSearch(search);
    const int marker = search.ChosenOrLastResort();
    std::vector<CDataset> run;
    CDateTime after;
    for (int slot = marker / S - 1; marker > 0 && slot >= 0 && slot * S >= oldEnd; --slot) {
        const std::uint8_t* bytes = ring + slot * S;
        const CDateTime at = DecodeDateTime(bytes);
        if (IsEndMarkerByte(bytes[0]) || at.GetStatus() != CDateTime::valid || !(at > newest) ||
            (!run.empty() && !(at < after)))
            break;
        CDataset dataset;
        dataset.DecodeStation(bytes, layout);
        run.push_back(dataset);
        after = at;
    }
    result.takenNew = static_cast<int>(run.size());
    datasets.insert(datasets.end(), run.rbegin(), run.rend());
    result.parse.endMarkerOffset = run.empty() ? -1 : marker;

    char note[400];
    std::snprintf(note, sizeof note,
                  "Number of transmitters changed from %d to %d since the last import: took %d datasets "
                  "written with %d and %d written with %d transmitters, left the other bytes of the ring "
                  "buffer as no layout can be proven for them",
                  old.NrOfTransmitters(), layout.NrOfTransmitters(), result.takenOld, old.NrOfTransmitters(),
                  result.takenNew, layout.NrOfTransmitters());
    result.note = note;
    CLogger::Instance().Log(30, "%s", note);
    return result;
}
