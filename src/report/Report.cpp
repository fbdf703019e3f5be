#include "report/Report.h"

#include "history/Statistics.h"
#include "report/ChartBands.h"
#include "report/HistoryInOrder.h"
#include "report/ReportFolder.h"
#include "report/ReportPages.h"
#include "report/SvgChart.h"

#include "history/StatisticsText.h"

#include <deque>
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
// meanwhile is one month of datasets, the year's chart columns, the summaries of the months and
// years, and the datasets of the last eight days for the front and week pages.
class ReportBuilder {
public:
    ReportBuilder(ReportFolder& folder, const ReportSetup& setup)
        : m_folder(folder), m_page{&ReportTextsFor(setup.languageId), setup.format} {}

    void Add(std::span<const CDataset> datasets) {
        for (const CDataset& dataset : datasets) {
            if (dataset.IsInvalid())
                continue;
            const DATE at = dataset.GetDateTime().Value();
            if (!(at >= m_monthLow && at < m_monthHigh) && !StartMonth(dataset))
                continue;
            m_month.push_back(dataset);
            m_tail.push_back(dataset);
            while (m_tail.front().GetDateTime().Value() < at - 8)
                m_tail.pop_front();
        }
    }

    void Finish() {
        FinishMonth();
        FinishYear();
        if (m_tail.empty())
            throw ReportError("the history holds no measurements");
        WriteFrontAndWeek();
        const std::vector<Summary> allTime = MergeSummaries(m_yearly, Period{PeriodKind::Year, 0, 1, 1});
        m_folder.Write(std::string(RecordsPageFile), RecordsPage(m_page, allTime, m_yearly));
        m_folder.Write(std::string(ArchivePageFile), ArchivePage(m_page, m_months));
        m_folder.Write(std::string(StyleFile), StyleSheet());
        m_folder.Write(std::string(IconFile), Icon());
    }

private:
    // A dataset of another month: the month before is done. False for a date-time without
    // calendar fields.
    bool StartMonth(const CDataset& dataset) {
        const std::optional<Period> month = PeriodOf(PeriodKind::Month, dataset.GetDateTime());
        if (!month)
            return false;
        FinishMonth();
        if (!m_yearChart || month->year != m_year.year) {
            FinishYear();
            m_year = Period{PeriodKind::Year, month->year, 1, 1};
            m_yearChart.emplace(FirstDayOf(m_year), EndOf(m_year), YearColumns);
        }
        m_monthPeriod = *month;
        m_monthLow = FirstDayOf(*month);
        m_monthHigh = EndOf(*month);
        return true;
    }

    SvgChartSetup Chart(const std::string& title) const {
        return {m_page.texts, title, DatePattern(m_page.format.dateTimePattern), m_page.format.fahrenheit};
    }

    void WriteChart(const std::string& file, const std::string& title, const ChartBandBuilder& builder) {
        const std::vector<BandSeries> series = builder.Series();
        m_folder.Write(file, SvgChart(series, builder.From(), builder.To(), Chart(title)));
    }

    void FinishMonth() {
        if (m_month.empty())
            return;
        ChartBandBuilder chart(m_monthLow, m_monthHigh, MonthColumns);
        chart.Add(m_month);
        const std::string title = PeriodTitle(*m_page.texts, m_monthPeriod);
        WriteChart(ChartFile(m_monthPeriod), title, chart);
        const std::vector<Summary> days = Summarize(m_month, PeriodKind::Day);
        m_folder.Write(PageFile(m_monthPeriod),
                       PeriodPage(m_page, {m_monthPeriod, {ChartFile(m_monthPeriod), title}, days, false}));
        m_yearChart->Add(m_month);
        // The month's figures from its days' rather than another pass over its datasets.
        for (const Summary& s : MergeSummaries(days, m_monthPeriod))
            m_yearMonths.push_back(s);
        m_months.push_back(m_monthPeriod);
        m_month.clear();
        m_monthLow = m_monthHigh = 0;
    }

    void FinishYear() {
        if (!m_yearChart)
            return;
        const std::string title = PeriodTitle(*m_page.texts, m_year);
        WriteChart(ChartFile(m_year), title, *m_yearChart);
        m_folder.Write(PageFile(m_year),
                       PeriodPage(m_page, {m_year, {ChartFile(m_year), title}, m_yearMonths, true}));
        for (const Summary& s : MergeSummaries(m_yearMonths, m_year))
            m_yearly.push_back(s);
        m_yearMonths.clear();
        m_yearChart.reset();
    }

    void WriteFrontAndWeek() {
        const ReportTexts& texts = *m_page.texts;
        const std::vector<CDataset> tail(m_tail.begin(), m_tail.end());
        const CDataset& newest = tail.back();
        const DATE end = newest.GetDateTime().Value() + Second;
        const std::vector<Summary> days = Summarize(tail, PeriodKind::Day);
        const Period today = *PeriodOf(PeriodKind::Day, newest.GetDateTime());
        const Period yesterday = *PeriodOf(PeriodKind::Day, CDateTime(FirstDayOf(today) - 1));

        ChartBandBuilder lastDay(end - 1, end, DayColumns), lastWeek(end - 7, end, WeekColumns);
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

        ChartBandBuilder weekChart(FirstDayOf(week), EndOf(week), WeekColumns);
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

    std::vector<CDataset> m_month;
    Period m_monthPeriod;
    DATE m_monthLow = 0, m_monthHigh = 0;

    Period m_year;
    std::optional<ChartBandBuilder> m_yearChart;
    std::vector<Summary> m_yearMonths; // the months of the year so far

    std::vector<Summary> m_yearly;
    std::vector<Period> m_months;
    std::deque<CDataset> m_tail;
};

} // namespace

ReportOutcome WriteReport(const std::filesystem::path& history, const std::filesystem::path& folder,
                          const ReportSetup& setup) {
    ReportFolder site(folder);
    try {
        auto builder = std::make_unique<ReportBuilder>(site, setup);
        ReadHistoryInOrder(
            history, [&](std::span<const CDataset> block) { builder->Add(block); },
            [&] { builder = std::make_unique<ReportBuilder>(site, setup); });
        builder->Finish();
        site.Finish();
    } catch (const ReportError&) {
        site.KeepListAfterFailure();
        throw;
    }
    return {site.Written(), site.Unchanged(), site.LeftAlone()};
}
