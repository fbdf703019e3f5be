#pragma once

#include "station/DateTime.h"
#include "station/RingBuffer.h"

#include <cstdint>
#include <vector>

// Lead bytes the station writes into the slot after its newest dataset.
constexpr bool IsEndMarkerByte(std::uint8_t byte) {
    return byte == 0xFF || byte == 0xFE;
}

// Why a candidate slot was taken or refused.
enum class MarkerVerdict {
    FirstSlot,     // valid: the window's first slot, no new data
    OutOfBounds,   // invalid: the slot after it lies outside the window
    BeforeInvalid, // invalid: the slot before holds no valid date-time
    AfterInvalid,  // valid: the slot after holds no valid date-time
    AfterOlder,    // valid: full ring, the slot after is older than the one before
    PossiblyValid, // full ring, the slot after is not older: used only when nothing is valid
    BothValid,     // valid: ring not full, both neighbours hold valid date-times
};

struct MarkerCandidate {
    int position = 0; // offset from the window's start
    MarkerVerdict verdict = MarkerVerdict::FirstSlot;
    CDateTime before, after;
};

// Every candidate of one window with its verdict, and the choice they lead to.
struct EndMarkerSearch {
    unsigned length = 0;
    unsigned slotSize = 0;
    std::vector<MarkerCandidate> candidates;
    int firstValid = -1;
    int possiblyValid = -1; // the last one
    int valid = 0;
    int invalid = 0; // possibly valid candidates count as invalid

    // The first valid candidate, else the last possibly valid one, else -1.
    int Chosen() const { return firstValid != -1 ? firstValid : possiblyValid; }
};

// Judges every candidate slot of a window of the ring buffer image that starts at a slot boundary,
// by the date-times of its neighbours, without logging.
//
// ringStart, when given, says that the window ends where the ring buffer ends: a candidate in
// the window's last slot then has the ring's first slot as its neighbour after, as the station
// sees it, instead of being out of bounds.
EndMarkerSearch ScanEndMarkers(const std::uint8_t* window, unsigned length,
                               const Hardware::RingBuffer& layout, bool full,
                               const std::uint8_t* ringStart = nullptr);

// Logs the verdict on every candidate and the choice.
void LogEndMarkerSearch(const EndMarkerSearch& search);

// Finds the station's end marker in a window: scans, logs and returns the chosen marker's offset
// from window (a multiple of the slot size), or -1.
int FindEndMarker(const std::uint8_t* window, unsigned length, const Hardware::RingBuffer& layout, bool full,
                  const std::uint8_t* ringStart = nullptr);
