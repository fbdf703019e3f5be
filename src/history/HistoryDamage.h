#pragma once

#include <cstddef>
#include <optional>
#include <string>

// What reading a history file found that no station writes: a trailing incomplete record (its
// bytes) and records with values or dates a station cannot produce. Such records are kept as they
// are; nothing is rewritten without a user's action.
struct HistoryDamage {
    std::size_t partialBytes = 0;
    std::size_t implausibleRecords = 0;
    // A file too short for one record whose bytes do not even start like one (a date-time and
    // values a station records): no append that a power cut interrupted leaves that.
    bool partialIsNoRecord = false;

    bool Any() const { return partialBytes != 0 || implausibleRecords != 0; }
    bool operator==(const HistoryDamage&) const = default;
};

// "3 records hold values no station records; the last 20 bytes are an incomplete record" — the
// warning shown to a user and written to standard error; "" when there is no damage.
std::string DamageText(const HistoryDamage& damage);

// Why a file of that many whole records is not a history file at all: most of its records hold
// values no station records, or it holds less than one record and does not start like one. None
// for a history file, damaged or not. Such a file is never appended to, cut or shown as history.
std::optional<std::string> NotAHistoryFile(const HistoryDamage& damage, std::size_t records);
