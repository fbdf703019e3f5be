#pragma once

#include <cstddef>
#include <string>

// What reading a history file found that no station writes: a trailing incomplete record (its
// bytes) and records with values or dates a station cannot produce. Such records are kept as they
// are; nothing is rewritten without a user's action.
struct HistoryDamage {
    std::size_t partialBytes = 0;
    std::size_t implausibleRecords = 0;

    bool Any() const { return partialBytes != 0 || implausibleRecords != 0; }
    bool operator==(const HistoryDamage&) const = default;
};

// "3 records hold values no station records; the last 20 bytes are an incomplete record" — the
// warning shown to a user and written to standard error; "" when there is no damage.
std::string DamageText(const HistoryDamage& damage);
