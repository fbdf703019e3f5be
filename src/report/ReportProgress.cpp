#include "report/ReportProgress.h"

#include "history/HistoryRecord.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <type_traits>

namespace {

// The checkpoint is a cache of this program on this machine: its values are stored as they lie
// in memory, behind a header that tells another version or layout apart.
constexpr std::uint32_t Version = 2;
constexpr std::array<std::uint32_t, 7> Layout = {
    Version,           std::uint32_t(sizeof(Summary)),     std::uint32_t(sizeof(Period)),
    sizeof(CDataset),  std::uint32_t(sizeof(LaneFigures)), std::uint32_t(sizeof(std::size_t)),
    sizeof(ChartPause)};
// More columns than any chart has: a count beyond is no checkpoint.
constexpr std::uint32_t MostChartColumns = 1u << 16;
constexpr char Magic[8] = {'N', 'V', 'R', 'P', 'R', 'O', 'G', '\n'};

class Writer {
public:
    template <typename T> void Value(const T& value) {
        static_assert(std::is_trivially_copyable_v<T>);
        m_bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
    }
    template <typename Range> void Values(const Range& values) {
        Value(std::uint64_t(values.size()));
        for (const auto& value : values)
            Value(value);
    }
    void Text(const std::string& text) {
        Value(std::uint64_t(text.size()));
        m_bytes += text;
    }
    std::string Bytes() && { return std::move(m_bytes); }

private:
    std::string m_bytes;
};

// Reads what Writer wrote; once anything is missing, every read fails.
class Reader {
public:
    explicit Reader(std::string_view bytes) : m_bytes(bytes) {}

    template <typename T> bool Value(T& value) {
        static_assert(std::is_trivially_copyable_v<T>);
        if (m_bytes.size() < sizeof value)
            return m_ok = false;
        std::memcpy(&value, m_bytes.data(), sizeof value);
        m_bytes.remove_prefix(sizeof value);
        return m_ok;
    }
    // A bool only from the byte of one: any other byte is not a checkpoint.
    bool Value(bool& value) {
        std::uint8_t byte = 0;
        if (!Value(byte) || byte > 1)
            return m_ok = false;
        value = byte == 1;
        return true;
    }
    template <typename Container> bool Values(Container& values) {
        std::uint64_t size = 0;
        if (!Value(size) || size > m_bytes.size())
            return m_ok = false;
        values.clear();
        for (std::uint64_t i = 0; i < size && m_ok; ++i) {
            typename Container::value_type value{};
            Value(value);
            values.push_back(value);
        }
        return m_ok;
    }
    bool Text(std::string& text) {
        std::uint64_t size = 0;
        if (!Value(size) || size > m_bytes.size())
            return m_ok = false;
        text.assign(m_bytes.substr(0, size));
        m_bytes.remove_prefix(size);
        return m_ok;
    }
    bool AtEnd() const { return m_ok && m_bytes.empty(); }

private:
    std::string_view m_bytes;
    bool m_ok = true;
};

// A 64-bit hash of whole records, eight bytes at a time in four independent lanes (the word's
// index picks the lane) so the multiplications overlap. Each step is a bijection of its lane, so
// a single changed word always changes the hash.
class RecordHash {
public:
    void Add(const std::uint8_t* bytes, std::size_t size) {
        const std::size_t words = size / 8;
        std::size_t i = 0;
        for (; i < words && m_words % 4 != 0; ++i, ++m_words)
            Mix(m_lanes[m_words % 4], Word(bytes, i));
        for (; i + 4 <= words; i += 4, m_words += 4)
            for (std::size_t lane = 0; lane < 4; ++lane)
                Mix(m_lanes[lane], Word(bytes, i + lane));
        for (; i < words; ++i, ++m_words)
            Mix(m_lanes[m_words % 4], Word(bytes, i));
    }
    std::uint64_t Value() const {
        std::uint64_t hash = m_words;
        for (const std::uint64_t lane : m_lanes) {
            hash = (hash ^ lane) * Odd;
            hash ^= hash >> 31;
        }
        return hash;
    }

private:
    static constexpr std::uint64_t Odd = 0x9E3779B97F4A7C15ull;
    static std::uint64_t Word(const std::uint8_t* bytes, std::size_t index) {
        std::uint64_t word;
        std::memcpy(&word, bytes + index * 8, 8);
        return word;
    }
    static void Mix(std::uint64_t& lane, std::uint64_t word) { lane = (lane ^ word) * Odd; }

    std::array<std::uint64_t, 4> m_lanes = {1, 2, 3, 4};
    std::uint64_t m_words = 0;
};

static_assert(HistoryRecordSize % 8 == 0);

} // namespace

std::string SavedCheckpoint(const ReportCheckpoint& checkpoint) {
    Writer out;
    out.Value(Magic);
    out.Value(Layout);
    out.Value(checkpoint.setup.languageId);
    out.Text(checkpoint.setup.format.dateTimePattern);
    out.Value(checkpoint.setup.format.fahrenheit);
    out.Value(checkpoint.history);
    out.Value(checkpoint.record);
    const ReportProgress& progress = checkpoint.progress;
    out.Values(progress.yearly);
    out.Values(progress.months);
    out.Value(progress.year);
    out.Value(progress.yearChart.has_value());
    if (progress.yearChart) {
        const ChartColumnsState chart = progress.yearChart->State();
        out.Value(chart.from);
        out.Value(chart.to);
        out.Value(chart.count);
        out.Values(chart.columns);
        out.Values(chart.figures);
        out.Values(chart.first);
        out.Values(chart.latest);
        const ChartStream& stream = chart.stream;
        out.Value(stream.recent);
        out.Value(stream.recentCount);
        out.Value(stream.any);
        out.Value(stream.hasBefore);
        out.Value(stream.hasAfter);
        out.Value(stream.previous);
        out.Value(stream.before);
        out.Value(stream.after);
        out.Values(chart.pauses);
    }
    out.Values(progress.yearMonths);
    out.Values(progress.tail);
    out.Value(progress.month);
    out.Value(progress.monthLow);
    out.Value(progress.monthHigh);
    return std::move(out).Bytes();
}

std::optional<ReportCheckpoint> LoadCheckpoint(std::string_view bytes) {
    Reader in(bytes);
    char magic[sizeof Magic] = {};
    std::array<std::uint32_t, Layout.size()> layout{};
    if (!in.Value(magic) || std::memcmp(magic, Magic, sizeof Magic) != 0 || !in.Value(layout) ||
        layout != Layout)
        return std::nullopt;
    ReportCheckpoint checkpoint;
    ReportProgress& progress = checkpoint.progress;
    bool hasYearChart = false;
    in.Value(checkpoint.setup.languageId);
    in.Text(checkpoint.setup.format.dateTimePattern);
    in.Value(checkpoint.setup.format.fahrenheit);
    in.Value(checkpoint.history);
    in.Value(checkpoint.record);
    in.Values(progress.yearly);
    in.Values(progress.months);
    in.Value(progress.year);
    if (!in.Value(hasYearChart))
        return std::nullopt;
    if (hasYearChart) {
        ChartColumnsState chart;
        in.Value(chart.from);
        in.Value(chart.to);
        in.Value(chart.count);
        in.Values(chart.columns);
        in.Values(chart.figures);
        in.Values(chart.first);
        in.Values(chart.latest);
        ChartStream& stream = chart.stream;
        in.Value(stream.recent);
        in.Value(stream.recentCount);
        in.Value(stream.any);
        in.Value(stream.hasBefore);
        in.Value(stream.hasAfter);
        in.Value(stream.previous);
        in.Value(stream.before);
        in.Value(stream.after);
        const std::size_t used = chart.columns.size();
        if (!in.Values(chart.pauses) || chart.count == 0 || chart.count > MostChartColumns ||
            chart.figures.size() != used || chart.first.size() != used || chart.latest.size() != used ||
            stream.recentCount > ChartPause::Around ||
            !std::all_of(chart.columns.begin(), chart.columns.end(),
                         [&](std::uint32_t column) { return column < chart.count; }) ||
            !std::all_of(chart.pauses.begin(), chart.pauses.end(), [&](const ChartPause& pause) {
                return pause.column <= chart.count && pause.before <= ChartPause::Around &&
                       pause.after <= ChartPause::Around;
            }))
            return std::nullopt;
        progress.yearChart.emplace(chart);
    }
    in.Values(progress.yearMonths);
    in.Values(progress.tail);
    in.Value(progress.month);
    in.Value(progress.monthLow);
    in.Value(progress.monthHigh);
    if (!in.AtEnd())
        return std::nullopt;
    return checkpoint;
}

std::optional<HistoryScan> ScanHistory(const std::filesystem::path& file, std::uint64_t mark,
                                       const std::function<bool(std::span<const CDataset>)>& visit) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat status {};
    HistoryScan scan;
    RecordHash hash;
    std::vector<std::uint8_t> block(4096 * HistoryRecordSize);
    std::vector<CDataset> datasets(visit ? 4096 : 0);
    std::size_t filled = 0; // bytes of the block not hashed yet
    bool failed = ::fstat(fd, &status) != 0;
    scan.whole.device = status.st_dev;
    scan.whole.inode = status.st_ino;
    while (!failed) {
        const ssize_t got = ::read(fd, block.data() + filled, block.size() - filled);
        if (got < 0) {
            failed = errno != EINTR;
            continue;
        }
        filled += std::size_t(got);
        if (got != 0 && filled < block.size())
            continue;
        // Whole records only, and the mark on its own.
        std::size_t records = filled / HistoryRecordSize;
        if (scan.whole.records < mark && scan.whole.records + records >= mark)
            records = std::size_t(mark - scan.whole.records);
        hash.Add(block.data(), records * HistoryRecordSize);
        scan.whole.records += records;
        if (records != 0) {
            scan.last.emplace();
            DecodeHistoryRecord(block.data() + (records - 1) * HistoryRecordSize, *scan.last);
        }
        if (scan.whole.records == mark)
            scan.hashOfFirst = hash.Value();
        if (visit && records != 0) {
            for (std::size_t i = 0; i < records; ++i)
                DecodeHistoryRecord(block.data() + i * HistoryRecordSize, datasets[i]);
            if (!visit(std::span<const CDataset>(datasets.data(), records)))
                break;
        }
        const std::size_t used = records * HistoryRecordSize;
        std::memmove(block.data(), block.data() + used, filled - used);
        filled -= used;
        if (got == 0 && records == 0)
            break;
    }
    const int error = errno;
    ::close(fd);
    if (failed) {
        errno = error; // the reason, for the caller to tell
        return std::nullopt;
    }
    scan.whole.hash = hash.Value();
    scan.damaged = filled != 0;
    return scan;
}

std::optional<CDataset> LastHistoryRecord(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat status {};
    std::uint8_t record[HistoryRecordSize];
    const std::uint64_t records =
        ::fstat(fd, &status) == 0 ? std::uint64_t(status.st_size) / HistoryRecordSize : 0;
    const bool read =
        records != 0 && ::pread(fd, record, sizeof record, off_t((records - 1) * HistoryRecordSize)) ==
                            ssize_t(sizeof record);
    ::close(fd);
    if (!read)
        return std::nullopt;
    CDataset last;
    DecodeHistoryRecord(record, last);
    return last;
}
