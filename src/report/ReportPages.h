#pragma once

#include "history/Statistics.h"
#include "report/ReportTexts.h"
#include "station/Dataset.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The pages of the web report as text: pure functions of the statistics, the newest dataset and
// the names of the charts beside them. Every link points to a file of the same folder.

struct PageSetup {
    const ReportTexts* texts = nullptr;
    ColumnFormat format;
};

// The file names of the report, all in one folder.
std::string PageFile(const Period& period);  // "2025-03.html", "2025.html", "week.html"
std::string ChartFile(const Period& period); // the same with ".svg"
inline constexpr std::string_view FrontPageFile = "index.html";
inline constexpr std::string_view RecordsPageFile = "records.html";
inline constexpr std::string_view ArchivePageFile = "archive.html";
inline constexpr std::string_view StyleFile = "style.css";
inline constexpr std::string_view IconFile = "icon.svg";
inline constexpr std::string_view LastDayChartFile = "last-24-hours.svg";
inline constexpr std::string_view LastWeekChartFile = "last-7-days.svg";

// "March 2025", "2025", "Week 2025-W09": a period as a heading names it.
std::string PeriodTitle(const ReportTexts& texts, const Period& period);

// A chart placed on a page: the SVG file, with its title as the image's text.
struct PageChart {
    std::string file, title;
};

// What the front page shows: the newest dataset, the day summaries of today and yesterday (the
// newest dataset's day and the one before), the newest week, month and year, and the charts of
// the last day and week.
struct FrontPageContent {
    CDataset newest;
    std::vector<Summary> today, yesterday;
    Period week, month, year;
    PageChart lastDay, lastWeek;
};
std::string FrontPage(const PageSetup& setup, const FrontPageContent& content);

// A week, month or year: its chart and its climate summary, one table per sensor with a row
// for each day (week, month) or month (year): minimum, maximum and mean of temperature and
// humidity. links: the pages of the rows' periods, when they have one (a year's months).
struct PeriodPageContent {
    Period period;
    PageChart chart;
    std::vector<Summary> rows;
    bool linkRows = false;
};
std::string PeriodPage(const PageSetup& setup, const PeriodPageContent& content);

// The highest and lowest value of each quantity over the whole history and per year, with their
// date-times. yearly: the summaries per year (Summarize by year, or MergeSummaries of months).
std::string RecordsPage(const PageSetup& setup, std::span<const Summary> allTime,
                        std::span<const Summary> yearly);

// Every month and year of the history, newest first, linked to their pages.
std::string ArchivePage(const PageSetup& setup, std::span<const Period> months);

// The summaries of each quantity merged into one of the given period: counts and sums added,
// the extremes the most extreme (ties to the earliest). In the order of StatisticsQuantities().
std::vector<Summary> MergeSummaries(std::span<const Summary> summaries, const Period& into);

// The style sheet every page links to: light and dark after the reader's setting, one column on
// a phone, and plain for print.
std::string StyleSheet();
// The pages' icon: a thermometer.
std::string Icon();
