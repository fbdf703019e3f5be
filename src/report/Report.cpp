#include "report/Report.h"

#include "history/Statistics.h"
#include "report/ChartBands.h"
#include "report/HistoryInOrder.h"
#include "report/ReportFolder.h"
#include "report/ReportPages.h"
#include "report/ReportProgress.h"
#include "report/SvgChart.h"

#include "history/HistoryFile.h"
#include "history/HistoryRecord.h"
#include "history/StatisticsText.h"

#include <sys/stat.h>

#include <algorithm>
#include <deque>
#include <fstream>
#include <memory>
#include <optional>

namespace {

constexpr DATE Second = 1.0 / 86400;
// Columns of the charts: about one per 5 minutes of a day, 30 minutes of a week, 2 hours of a
// month and a day of a year.
constexpr int DayColumns = 288, WeekColumns = 336, MonthColumns = 372, YearColumns = 366;

DATE FirstDayOf(const Period& period) {
    return DateFromFields({period.year, period.month, period.day, 0, 0, 0});
}

DATE EndOf(const Period& period) {
    switch (period.kind) {
    case PeriodKind::Day:
        return FirstDayOf(period) + 1;
    case PeriodKind::Week:
        return FirstDayOf(period) + 7;
    case PeriodKind::Month:
        return period.month == 12 ? DateFromFields({period.year + 1, 1, 1, 0, 0, 0})
                                  : DateFromFields({period.year, period.month + 1, 1, 0, 0, 0});
    case PeriodKind::Year:
        break;
    }
    return DateFromFields({period.year + 1, 1, 1, 0, 0, 0});
}

std::vector<Summary> OfPeriod(const std::vector<Summary>& summaries, const Period& period) {
    std::vector<Summary> of;
    for (const Summary& s : summaries)
        if (s.period == period)
            of.push_back(s);
    return of;
}

// Builds the report from the datasets in date-time order, a month at a time: a month's page is
// written when its last dataset has come, a year's when its last month has; what is kept
// meanwhile is one month of datasets and the progress (the year's chart columns, the summaries
// of the months and years, the datasets of the last eight days for the front and week pages).
// At the start of each month the progress is kept as a checkpoint a later refresh can carry on
// from; it counts the datasets it was given, one per record of the file.
class ReportBuilder {
public:
    ReportBuilder(ReportFolder& folder, const ReportSetup& setup)
        : m_folder(folder), m_page{&ReportTextsFor(setup.languageId), setup.format} {}
    // Carries on from a checkpoint, the next dataset being the checkpoint's record.
    ReportBuilder(ReportFolder& folder, const ReportSetup& setup, const ReportCheckpoint& from)
        : ReportBuilder(folder, setup) {
        m_p = from.progress;
        m_seen = from.record;
        m_checkpoint = {from.progress, from.record};
    }

    void Add(std::span<const CDataset> datasets) {
        for (const CDataset& dataset : datasets) {
            const std::uint64_t record = m_seen++;
            if (dataset.IsInvalid())
                continue;
            const DATE at = dataset.GetDateTime().Value();
            if (!(at >= m_p.monthLow && at < m_p.monthHigh) && !StartMonth(dataset, record))
                continue;
            m_month.push_back(dataset);
        }
    }

    void Finish() {
        FinishMonth();
        FinishYear();
        if (m_p.tail.empty())
            throw ReportError("the history holds no measurements");
        WriteFrontAndWeek();
        const std::vector<Summary> allTime = MergeSummaries(m_p.yearly, Period{PeriodKind::Year, 0, 1, 1});
        m_folder.Write(std::string(RecordsPageFile), RecordsPage(m_page, allTime, m_p.yearly));
        m_folder.Write(std::string(ArchivePageFile), ArchivePage(m_page, m_p.months));
        m_folder.Write(std::string(StyleFile), StyleSheet());
        m_folder.Write(std::string(IconFile), Icon());
    }

    // Keeps checkpoints only from that month on (the newest of the file; none: every month), as
    // only the last one counts.
    void CheckpointFrom(const std::optional<Period>& month) { m_checkpointFrom = month; }

    // How many datasets came, and the progress at the start of the newest month (none before
    // the first month).
    std::uint64_t Seen() const { return m_seen; }
    const std::optional<std::pair<ReportProgress, std::uint64_t>>& Checkpoint() const { return m_checkpoint; }

private:
    // A dataset of another month: the month before is done. False for a date-time without
    // calendar fields.
    bool StartMonth(const CDataset& dataset, std::uint64_t record) {
        const std::optional<Period> month = PeriodOf(PeriodKind::Month, dataset.GetDateTime());
        if (!month)
            return false;
        FinishMonth();
        if (!m_p.yearChart || month->year != m_p.year.year) {
            FinishYear();
            m_p.year = Period{PeriodKind::Year, month->year, 1, 1};
            m_p.yearChart.emplace(FirstDayOf(m_p.year), EndOf(m_p.year), YearColumns);
        }
        m_p.month = *month;
        m_p.monthLow = FirstDayOf(*month);
        m_p.monthHigh = EndOf(*month);
        if (!m_checkpointFrom || *month >= *m_checkpointFrom)
            m_checkpoint.emplace(m_p, record);
        return true;
    }

    SvgChartSetup Chart(const std::string& title) const {
        return {m_page.texts, title, DatePattern(m_page.format.dateTimePattern), m_page.format.fahrenheit};
    }

    void WriteChart(const std::string& file, const std::string& title, const ChartColumns& builder) {
        const std::vector<BandSeries> series = BandsOf(builder);
        m_folder.Write(file, SvgChart(series, builder.From(), builder.To(), Chart(title)));
    }

    void FinishMonth() {
        if (m_month.empty())
            return;
        ChartColumns& chart = m_monthChart;
        chart.Reset(m_p.monthLow, m_p.monthHigh, MonthColumns);
        chart.Add(m_month);
        const std::string title = PeriodTitle(*m_page.texts, m_p.month);
        WriteChart(ChartFile(m_p.month), title, chart);
        const std::vector<Summary> days = Summarize(m_month, PeriodKind::Day);
        m_folder.Write(PageFile(m_p.month),
                       PeriodPage(m_page, {m_p.month, {ChartFile(m_p.month), title}, days, false}));
        m_p.yearChart->Add(m_month);
        // The month's figures from its days' rather than another pass over its datasets.
        for (const Summary& s : MergeSummaries(days, m_p.month))
            m_p.yearMonths.push_back(s);
        m_p.months.push_back(m_p.month);
        KeepTail();
        m_month.clear();
        m_p.monthLow = m_p.monthHigh = 0;
    }

    // Moves the month's datasets of the last eight days before its newest into the tail, and
    // drops from the tail what is older: once per month rather than once per dataset.
    void KeepTail() {
        const DATE from = m_month.back().GetDateTime().Value() - 8;
        const auto first =
            std::lower_bound(m_month.begin(), m_month.end(), from,
                             [](const CDataset& d, DATE at) { return d.GetDateTime().Value() < at; });
        m_p.tail.insert(m_p.tail.end(), first, m_month.end());
        while (m_p.tail.front().GetDateTime().Value() < from)
            m_p.tail.pop_front();
    }

    void FinishYear() {
        if (!m_p.yearChart)
            return;
        const std::string title = PeriodTitle(*m_page.texts, m_p.year);
        WriteChart(ChartFile(m_p.year), title, *m_p.yearChart);
        m_folder.Write(PageFile(m_p.year),
                       PeriodPage(m_page, {m_p.year, {ChartFile(m_p.year), title}, m_p.yearMonths, true}));
        for (const Summary& s : MergeSummaries(m_p.yearMonths, m_p.year))
            m_p.yearly.push_back(s);
        m_p.yearMonths.clear();
        m_p.yearChart.reset();
    }

    void WriteFrontAndWeek() {
        const ReportTexts& texts = *m_page.texts;
        const std::vector<CDataset> tail(m_p.tail.begin(), m_p.tail.end());
        const CDataset& newest = tail.back();
        const DATE end = newest.GetDateTime().Value() + Second;
        const std::vector<Summary> days = Summarize(tail, PeriodKind::Day);
        const Period today = *PeriodOf(PeriodKind::Day, newest.GetDateTime());
        const Period yesterday = *PeriodOf(PeriodKind::Day, CDateTime(FirstDayOf(today) - 1));

        ChartColumns lastDay(end - 1, end, DayColumns), lastWeek(end - 7, end, WeekColumns);
        lastDay.Add(tail);
        lastWeek.Add(tail);
        WriteChart(std::string(LastDayChartFile), texts.last24Hours, lastDay);
        WriteChart(std::string(LastWeekChartFile), texts.last7Days, lastWeek);

        const Period week = *PeriodOf(PeriodKind::Week, newest.GetDateTime());
        FrontPageContent front{newest,
                               OfPeriod(days, today),
                               OfPeriod(days, yesterday),
                               week,
                               *PeriodOf(PeriodKind::Month, newest.GetDateTime()),
                               *PeriodOf(PeriodKind::Year, newest.GetDateTime()),
                               {std::string(LastDayChartFile), texts.last24Hours},
                               {std::string(LastWeekChartFile), texts.last7Days}};
        m_folder.Write(std::string(FrontPageFile), FrontPage(m_page, front));

        ChartColumns weekChart(FirstDayOf(week), EndOf(week), WeekColumns);
        weekChart.Add(tail);
        const std::string title = PeriodTitle(texts, week);
        WriteChart(ChartFile(week), title, weekChart);
        std::vector<Summary> weekDays;
        for (const Summary& s : days)
            if (FirstDayOf(s.period) >= FirstDayOf(week))
                weekDays.push_back(s);
        m_folder.Write(PageFile(week), PeriodPage(m_page, {week, {ChartFile(week), title}, weekDays, false}));
    }

    ReportFolder& m_folder;
    PageSetup m_page;
    ReportProgress m_p;
    std::vector<CDataset> m_month; // the datasets of m_p.month so far
    ChartColumns m_monthChart{0, 1, MonthColumns}; // reused month after month
    std::uint64_t m_seen = 0;
    std::optional<std::pair<ReportProgress, std::uint64_t>> m_checkpoint;
    std::optional<Period> m_checkpointFrom;
};

// The month of the file's last record, from which on a build keeps checkpoints.
std::optional<Period> NewestMonth(const std::optional<CDataset>& last) {
    if (!last || last->IsInvalid())
        return std::nullopt;
    return PeriodOf(PeriodKind::Month, last->GetDateTime());
}

// The pages of the months and years before a checkpoint: a refresh keeps them as they are.
std::vector<std::string> PagesBefore(const ReportProgress& progress) {
    std::vector<std::string> files;
    for (std::size_t i = 0; i < progress.months.size(); ++i) {
        const Period& month = progress.months[i];
        files.push_back(PageFile(month));
        files.push_back(ChartFile(month));
        const bool yearDone = month.year != progress.year.year &&
                              (i + 1 == progress.months.size() || progress.months[i + 1].year != month.year);
        if (yearDone) {
            const Period year{PeriodKind::Year, month.year, 1, 1};
            files.push_back(PageFile(year));
            files.push_back(ChartFile(year));
        }
    }
    return files;
}

bool SameSetup(const ReportSetup& a, const ReportSetup& b) {
    return a.languageId == b.languageId && a.format.dateTimePattern == b.format.dateTimePattern &&
           a.format.fahrenheit == b.format.fahrenheit;
}

// Whether the file at the path is still the one scanned (not replaced by a rewrite meanwhile).
bool StillTheFile(const std::filesystem::path& history, const HistoryScan& scan) {
    struct stat status {};
    return ::stat(history.c_str(), &status) == 0 && std::uint64_t(status.st_dev) == scan.whole.device &&
           std::uint64_t(status.st_ino) == scan.whole.inode;
}

// The checkpoint the next refresh carries on from: the newest month's start, when the whole
// file was read in order as scanned; none otherwise.
std::optional<ReportCheckpoint> NextCheckpoint(const ReportBuilder& builder,
                                               const std::filesystem::path& history, const ReportSetup& setup,
                                               const std::optional<HistoryScan>& scan) {
    if (!scan || scan->damaged || !builder.Checkpoint() || builder.Seen() != scan->whole.records ||
        !StillTheFile(history, *scan))
        return std::nullopt;
    return ReportCheckpoint{setup, scan->whole, builder.Checkpoint()->second, builder.Checkpoint()->first};
}

// Carries on from the folder's checkpoint when the history only grew behind what it read: the
// same file (identity), whole, its records up to the last one read unchanged (hash), the new ones
// in order, and the pages before the checkpoint still there. Returns the next checkpoint, or
// false when a full build is needed (having written nothing a full build does not write again).
std::optional<std::optional<ReportCheckpoint>>
Refresh(ReportFolder& site, const std::filesystem::path& history, const ReportSetup& setup) {
    const std::optional<ReportCheckpoint> checkpoint = LoadCheckpoint(site.Checkpoint());
    if (!checkpoint || !SameSetup(checkpoint->setup, setup) ||
        checkpoint->record >= checkpoint->history.records)
        return std::nullopt;
    const std::optional<HistoryScan> scan = ScanHistory(history, checkpoint->history.records);
    if (!scan || scan->damaged || scan->whole.device != checkpoint->history.device ||
        scan->whole.inode != checkpoint->history.inode || scan->hashOfFirst != checkpoint->history.hash)
        return std::nullopt;
    for (const std::string& file : PagesBefore(checkpoint->progress))
        if (!site.Keep(file))
            return std::nullopt;

    std::ifstream in(history, std::ios::binary);
    in.seekg(std::streamoff(checkpoint->record * HistoryRecordSize));
    ReportBuilder builder(site, setup, *checkpoint);
    builder.CheckpointFrom(NewestMonth(scan->last));
    std::uint64_t left = scan->whole.records - checkpoint->record;
    std::optional<CDataset> previous;
    bool inOrder = true;
    VisitHistoryBlocks(in, [&](std::span<const CDataset> block) {
        block = block.first(std::size_t(std::min<std::uint64_t>(block.size(), left)));
        if (block.empty() || (previous && HistoryOrder(block.front(), *previous)) || !IsInHistoryOrder(block))
            return inOrder = false;
        builder.Add(block);
        previous = block.back();
        left -= block.size();
        return left != 0;
    });
    if (in.bad())
        throw ReportError("cannot read the history file " + history.string());
    if (!inOrder || left != 0)
        return std::nullopt;
    builder.Finish();
    return std::optional<std::optional<ReportCheckpoint>>(std::in_place,
                                                          NextCheckpoint(builder, history, setup, scan));
}

std::optional<ReportCheckpoint> FullBuild(ReportFolder& site, const std::filesystem::path& history,
                                          const ReportSetup& setup) {
    // No checkpoint while the pages may be half way between two histories.
    site.SaveCheckpoint({});
    auto builder = std::make_unique<ReportBuilder>(site, setup);
    builder->CheckpointFrom(NewestMonth(LastHistoryRecord(history)));
    // The file is read once: the scan of that read fingerprints it for the checkpoint (none when
    // it had to be sorted, which no refresh can carry on from).
    const std::optional<HistoryScan> scan = ReadHistoryInOrder(
        history, [&](std::span<const CDataset> block) { builder->Add(block); },
        [&] { builder = std::make_unique<ReportBuilder>(site, setup); });
    builder->Finish();
    return NextCheckpoint(*builder, history, setup, scan);
}

} // namespace

ReportOutcome WriteReport(const std::filesystem::path& history, const std::filesystem::path& folder,
                          const ReportSetup& setup) {
    ReportFolder site(folder);
    try {
        std::optional<std::optional<ReportCheckpoint>> refreshed = Refresh(site, history, setup);
        const std::optional<ReportCheckpoint> next =
            refreshed ? std::move(*refreshed) : FullBuild(site, history, setup);
        site.Finish();
        site.SaveCheckpoint(next ? SavedCheckpoint(*next) : std::string());
    } catch (const ReportError&) {
        site.KeepListAfterFailure();
        throw;
    }
    return {site.Written(), site.Unchanged(), site.LeftAlone()};
}
