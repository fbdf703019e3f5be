#pragma once

#include "station/DateTime.h"
#include "station/RingBuffer.h"

#include <cstdint>
#include <optional>
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
    NewerFollows,  // invalid: newer datasets follow, so a damaged dataset's lead byte, not the end
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
    int lastNewerFollows = -1;
    int valid = 0;
    int invalid = 0; // possibly valid candidates and those newer datasets follow count as invalid

    // The first valid candidate, else the last possibly valid one, else -1.
    int Chosen() const { return firstValid != -1 ? firstValid : possiblyValid; }
    // Chosen(), else the last candidate newer datasets follow: when nothing else can be the end,
    // the newer datasets are more likely from a clock set ahead than the lead byte damaged.
    int ChosenOrLastResort() const { return Chosen() != -1 ? Chosen() : lastNewerFollows; }
};

// What a search knows beyond its window.
struct MarkerContext {
    // Given when the window ends where the ring buffer ends: a candidate in the window's last slot
    // then has the ring's first slot as its neighbour after, as the station sees it, instead of
    // being out of bounds.
    const std::uint8_t* ringStart = nullptr;
    // The slot before the window's first slot (cyclically), which judges a candidate there.
    const std::uint8_t* beforeWindow = nullptr;
    // The date-time of the newest dataset already imported, when the read position holds.
    std::optional<CDateTime> lastRead;
};

// Judges every candidate slot of a window of the ring buffer image that starts at a slot boundary,
// by the date-times of its neighbours, without logging.
//
// A single damaged lead byte must not end the import for good: a candidate followed by a valid
// dataset newer than the one before it, and newer than the last imported one when that is known,
// is not the end (NewerFollows). Without a read position a full ring keeps its "possibly valid"
// verdict there, as old datasets recorded with the clock ahead look the same.
EndMarkerSearch ScanEndMarkers(const std::uint8_t* window, unsigned length,
                               const Hardware::RingBuffer& layout, bool full,
                               const MarkerContext& context = {});

// Logs the verdict on every candidate and the choice.
void LogEndMarkerSearch(const EndMarkerSearch& search);

// Finds the station's end marker in a window: scans, logs and returns the chosen marker's offset
// from window (a multiple of the slot size), or -1.
int FindEndMarker(const std::uint8_t* window, unsigned length, const Hardware::RingBuffer& layout, bool full,
                  const MarkerContext& context = {});
