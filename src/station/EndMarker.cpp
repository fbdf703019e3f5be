#include "station/EndMarker.h"

#include "log/Logger.h"
#include "station/Dataset.h"

int FindEndMarker(const std::uint8_t* window, unsigned length, const Hardware::RingBuffer& layout, bool full,
                  const std::uint8_t* ringStart) {
    CLogger& log = CLogger::Instance();
    const int S = static_cast<int>(layout.DatasetSize());
    int possiblyValid = -1, firstValid = -1;
    int found = 0, valid = 0, invalid = 0;

    auto acceptValid = [&](int pos) {
        if (firstValid == -1)
            firstValid = pos;
        ++valid;
    };

    for (unsigned upos = 0; upos < length; upos += static_cast<unsigned>(S)) {
        const int pos = static_cast<int>(upos);
        if (!IsEndMarkerByte(window[pos]))
            continue;
        ++found;
        const int before = pos - S;
        const unsigned after = upos + static_cast<unsigned>(S);
        const std::uint8_t* afterSlot = after < length ? window + after : nullptr;

        if (pos == 0) {
            acceptValid(pos);
            log.Log(30,
                    "Possible end marker at buffer position %d is VALID: end marker in first searched "
                    "dataset, no "
                    "new data",
                    pos);
            continue;
        }
        if (!afterSlot && ringStart)
            afterSlot = ringStart; // the ring goes on at its first slot
        if (!afterSlot) {
            log.Log(
                40,
                "Possible end marker at buffer position %d is INVALID: After end marker position is out of "
                "bounds (greater or equal to read bytes %d: %d, no end marker in read bytes found)",
                pos, static_cast<int>(length), static_cast<int>(after));
            ++invalid;
            continue;
        }

        const CDateTime beforeEndMarker = DecodeDateTime(window + before);
        const CDateTime afterEndMarker = DecodeDateTime(afterSlot);
        const bool beforeValid = beforeEndMarker.GetStatus() != CDateTime::invalid;
        const bool afterValid = afterEndMarker.GetStatus() != CDateTime::invalid;
        if (!beforeValid) {
            log.Log(
                40,
                "Possible end marker at buffer position %d is INVALID: datetime before end marker is invalid",
                pos);
            ++invalid;
        } else if (!afterValid) {
            log.Log(30,
                    "Possible end marker at buffer position %d is VALID: datetime before end marker (%s), "
                    "datetime "
                    "after end marker (invalid)",
                    pos, beforeEndMarker.LogText().c_str());
            acceptValid(pos);
        } else if (full && afterEndMarker < beforeEndMarker) {
            log.Log(30,
                    "Possible end marker at buffer position %d is VALID: datetime after end marker (%s) is "
                    "less than "
                    "the datetime before end marker (%s)",
                    pos, afterEndMarker.LogText().c_str(), beforeEndMarker.LogText().c_str());
            acceptValid(pos);
        } else if (full) {
            log.Log(30,
                    "Possible end marker at buffer position %d is possibly VALID: datetime after end marker "
                    "(%s) is "
                    "greater or equal to the datetime before end marker (%s), possible old datasets with "
                    "time set "
                    "to future, use if this is the only end marker",
                    pos, afterEndMarker.LogText().c_str(), beforeEndMarker.LogText().c_str());
            possiblyValid = pos;
            ++invalid;
        } else {
            log.Log(30,
                    "Possible end marker at buffer position %d is VALID: datetime before end marker (%s), "
                    "datetime "
                    "after end marker (%s)",
                    pos, beforeEndMarker.LogText().c_str(), afterEndMarker.LogText().c_str());
            acceptValid(pos);
        }
    }

    log.Log(40, "------------------------------------");
    if (firstValid != -1) {
        log.Log(40,
                "Using valid end marker at buffer position %d, found %d end markers (%d valid, %d invalid)",
                firstValid, found, valid, invalid);
        return firstValid;
    }
    if (possiblyValid != -1) {
        log.Log(40,
                "Using possibly invalid end marker at buffer position %d, found %d end markers (%d valid, %d "
                "invalid)",
                possiblyValid, found, valid, invalid);
        return possiblyValid;
    }
    log.Log(40, "No end marker found");
    return -1;
}
