#include "station/EndMarker.h"

#include "log/Logger.h"
#include "station/Dataset.h"

EndMarkerSearch ScanEndMarkers(const std::uint8_t* window, unsigned length,
                               const Hardware::RingBuffer& layout, bool full, const MarkerContext& context) {
    const unsigned S = layout.DatasetSize();
    EndMarkerSearch search;
    search.length = length;
    search.slotSize = S;

    auto judge = [&](int pos, MarkerVerdict verdict, const CDateTime& before = {},
                     const CDateTime& after = {}) {
        search.candidates.push_back({pos, verdict, before, after});
        switch (verdict) {
        case MarkerVerdict::OutOfBounds:
        case MarkerVerdict::BeforeInvalid:
            ++search.invalid;
            break;
        case MarkerVerdict::PossiblyValid:
            search.possiblyValid = pos;
            ++search.invalid;
            break;
        case MarkerVerdict::NewerFollows:
            search.lastNewerFollows = pos;
            ++search.invalid;
            break;
        default:
            if (search.firstValid == -1)
                search.firstValid = pos;
            ++search.valid;
        }
    };

    // Valid datasets newer than the one before the candidate (and than the last imported one)
    // follow it. Without a read position, a full ring's newer neighbour may be old data recorded
    // with the clock ahead; the window's first slot in a ring that is not full has no dataset
    // before it, so any valid one after it is newer.
    const auto newerFollows = [&](bool firstSlot, const CDateTime& before, const CDateTime& next) {
        if (next.GetStatus() != CDateTime::valid)
            return false;
        if (before.GetStatus() == CDateTime::valid ? !(next > before) : !(firstSlot && !full))
            return false;
        return context.lastRead ? next > *context.lastRead : firstSlot || !full;
    };
    const auto dateTimeAt = [](const std::uint8_t* slot) {
        if (slot)
            return DecodeDateTime(slot);
        CDateTime none;
        none.SetStatus(CDateTime::invalid);
        return none;
    };

    for (unsigned upos = 0; upos < length; upos += S) {
        const int pos = static_cast<int>(upos);
        if (!IsEndMarkerByte(window[pos]))
            continue;
        const unsigned after = upos + S;
        const std::uint8_t* afterSlot = after < length ? window + after : context.ringStart;
        if (pos == 0) {
            const CDateTime before = dateTimeAt(context.beforeWindow);
            const CDateTime next = dateTimeAt(afterSlot);
            if (context.beforeWindow && newerFollows(true, before, next))
                judge(pos, MarkerVerdict::NewerFollows, before, next);
            else
                judge(pos, MarkerVerdict::FirstSlot);
            continue;
        }
        if (!afterSlot) {
            judge(pos, MarkerVerdict::OutOfBounds);
            continue;
        }
        const CDateTime before = DecodeDateTime(window + upos - S);
        const CDateTime next = DecodeDateTime(afterSlot);
        if (before.GetStatus() == CDateTime::invalid)
            judge(pos, MarkerVerdict::BeforeInvalid);
        else if (next.GetStatus() == CDateTime::invalid)
            judge(pos, MarkerVerdict::AfterInvalid, before);
        else if (newerFollows(false, before, next))
            judge(pos, MarkerVerdict::NewerFollows, before, next);
        else if (full && next < before)
            judge(pos, MarkerVerdict::AfterOlder, before, next);
        else if (full)
            judge(pos, MarkerVerdict::PossiblyValid, before, next);
        else
            judge(pos, MarkerVerdict::BothValid, before, next);
    }
    return search;
}

void LogEndMarkerSearch(const EndMarkerSearch& search) {
    CLogger& log = CLogger::Instance();
    for (const MarkerCandidate& c : search.candidates) {
        const int pos = c.position;
        switch (c.verdict) {
        case MarkerVerdict::FirstSlot:
            log.Log(30,
                    "Possible end marker at buffer position %d is VALID: end marker in first searched "
                    "dataset, no "
                    "new data",
                    pos);
            break;
        case MarkerVerdict::OutOfBounds:
            log.Log(
                40,
                "Possible end marker at buffer position %d is INVALID: After end marker position is out of "
                "bounds (greater or equal to read bytes %d: %d, no end marker in read bytes found)",
                pos, static_cast<int>(search.length), pos + static_cast<int>(search.slotSize));
            break;
        case MarkerVerdict::BeforeInvalid:
            log.Log(
                40,
                "Possible end marker at buffer position %d is INVALID: datetime before end marker is invalid",
                pos);
            break;
        case MarkerVerdict::AfterInvalid:
            log.Log(30,
                    "Possible end marker at buffer position %d is VALID: datetime before end marker (%s), "
                    "datetime "
                    "after end marker (invalid)",
                    pos, c.before.LogText().c_str());
            break;
        case MarkerVerdict::AfterOlder:
            log.Log(30,
                    "Possible end marker at buffer position %d is VALID: datetime after end marker (%s) is "
                    "less than "
                    "the datetime before end marker (%s)",
                    pos, c.after.LogText().c_str(), c.before.LogText().c_str());
            break;
        case MarkerVerdict::PossiblyValid:
            log.Log(30,
                    "Possible end marker at buffer position %d is possibly VALID: datetime after end marker "
                    "(%s) is "
                    "greater or equal to the datetime before end marker (%s), possible old datasets with "
                    "time set "
                    "to future, use if this is the only end marker",
                    pos, c.after.LogText().c_str(), c.before.LogText().c_str());
            break;
        case MarkerVerdict::NewerFollows:
            log.Log(
                30,
                "Possible end marker at buffer position %d is INVALID: newer datasets follow it (datetime "
                "before end marker (%s), datetime after end marker (%s)), damaged dataset skipped",
                pos, c.before.LogText().c_str(), c.after.LogText().c_str());
            break;
        case MarkerVerdict::BothValid:
            log.Log(30,
                    "Possible end marker at buffer position %d is VALID: datetime before end marker (%s), "
                    "datetime "
                    "after end marker (%s)",
                    pos, c.before.LogText().c_str(), c.after.LogText().c_str());
            break;
        }
    }

    const int found = static_cast<int>(search.candidates.size());
    log.Log(40, "------------------------------------");
    if (search.firstValid != -1)
        log.Log(40,
                "Using valid end marker at buffer position %d, found %d end markers (%d valid, %d invalid)",
                search.firstValid, found, search.valid, search.invalid);
    else if (search.possiblyValid != -1)
        log.Log(40,
                "Using possibly invalid end marker at buffer position %d, found %d end markers (%d valid, %d "
                "invalid)",
                search.possiblyValid, found, search.valid, search.invalid);
    else if (search.lastNewerFollows != -1)
        log.Log(40,
                "Using end marker at buffer position %d although newer datasets follow it, no other end "
                "marker found, found %d end markers (%d valid, %d invalid)",
                search.lastNewerFollows, found, search.valid, search.invalid);
    else
        log.Log(40, "No end marker found");
}

int FindEndMarker(const std::uint8_t* window, unsigned length, const Hardware::RingBuffer& layout, bool full,
                  const MarkerContext& context) {
    const EndMarkerSearch search = ScanEndMarkers(window, length, layout, full, context);
    LogEndMarkerSearch(search);
    return search.ChosenOrLastResort();
}
