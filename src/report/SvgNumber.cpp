#include "report/SvgNumber.h"

#include <array>
#include <cmath>
#include <cstring>

namespace {

// Tenths as text written from the end of the buffer: the tenth when there is one, then the whole
// digits and the sign. Returns where the text starts.
constexpr char* WriteTenthsBackwards(char* end, long long tenths) {
    unsigned long long magnitude =
        tenths < 0 ? 0ULL - static_cast<unsigned long long>(tenths) : static_cast<unsigned long long>(tenths);
    char* start = end;
    if (magnitude % 10 != 0) {
        *--start = char('0' + magnitude % 10);
        *--start = '.';
    }
    magnitude /= 10;
    do {
        *--start = char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (tenths < 0)
        *--start = '-';
    return start;
}

// Every number from 0 to 999.9, which covers the coordinates of a chart: the text in the first
// bytes, its length in the last.
struct Entry {
    std::array<char, 8> bytes;
};
constexpr int TableSize = 10000;

constexpr std::array<Entry, TableSize> MakeTable() {
    std::array<Entry, TableSize> table{};
    for (int tenths = 0; tenths < TableSize; ++tenths) {
        char text[8] = {};
        char* end = text + 7;
        const char* start = WriteTenthsBackwards(end, tenths);
        const int length = int(end - start);
        for (int i = 0; i < length; ++i)
            table[std::size_t(tenths)].bytes[std::size_t(i)] = start[i];
        table[std::size_t(tenths)].bytes[7] = char(length);
    }
    return table;
}

constexpr std::array<Entry, TableSize> Table = MakeTable();

} // namespace

char* WriteSvgNumber(char* out, double value) {
    if (!std::isfinite(value) || std::fabs(value) > 1e15)
        value = 0;
    // Halves away from zero as llround does, without its call.
    const double scaled = value * 10;
    const long long tenths = static_cast<long long>(scaled < 0 ? scaled - 0.5 : scaled + 0.5);
    if (tenths >= 0 && tenths < TableSize) {
        const Entry& entry = Table[std::size_t(tenths)];
        std::memcpy(out, entry.bytes.data(), 8);
        return out + entry.bytes[7];
    }
    char text[24];
    const char* start = WriteTenthsBackwards(text + sizeof text, tenths);
    const std::size_t length = std::size_t(text + sizeof text - start);
    std::memcpy(out, start, length);
    return out + length;
}

void AppendSvgNumber(std::string& text, double value) {
    char number[SvgNumberRoom];
    text.append(number, WriteSvgNumber(number, value));
}
