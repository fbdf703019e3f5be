#include "history/HistoryFile.h"
#include "history/Statistics.h"
#include "report/Report.h"
#include "report/ReportFolder.h"
#include "report/ReportPages.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

CDataset Measured(const CDateTime& at, float indoor, float outdoor, float humidity) {
    CDataset dataset;
    dataset.SetDateTime(at);
    for (int sensor = 0; sensor < CDataset::SensorCount; ++sensor) {
        dataset.SetTemperature(sensor, CDataset::TemperatureNotAvailable);
        dataset.SetHumidity(sensor, CDataset::HumidityNotAvailable);
    }
    dataset.SetTemperature(0, indoor);
    dataset.SetHumidity(0, humidity);
    dataset.SetTemperature(1, outdoor);
    dataset.SetHumidity(1, humidity + 10);
    return dataset;
}

// Every three hours from the first date-time on, for that many days.
std::vector<CDataset> History(const CDateTime& first, int days) {
    std::vector<CDataset> datasets;
    for (int i = 0; i < days * 8; ++i) {
        const CDateTime at(first.Value() + i / 8.0);
        datasets.push_back(
            Measured(at, 20.0f + float(i % 8) * 0.5f, float(i % 29) - 9.5f, 40.0f + float(i % 7)));
    }
    return datasets;
}

void Save(const fs::path& file, std::span<const CDataset> datasets, bool append = false) {
    std::ofstream out(file, std::ios::binary | (append ? std::ios::app : std::ios::trunc));
    ASSERT_TRUE(WriteHistoryRecords(out, datasets));
}

std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Each file's inode: a replaced file has a new one.
std::map<std::string, ino_t> Inodes(const fs::path& folder) {
    std::map<std::string, ino_t> inodes;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        struct stat status {};
        ::stat(entry.path().c_str(), &status);
        inodes[entry.path().filename().string()] = status.st_ino;
    }
    return inodes;
}

Summary Of(Period period, ChartQuantity quantity, std::size_t count, float min, float max, DATE minAt,
           DATE maxAt, std::int64_t sum) {
    return Summary{period, quantity, count, min, max, CDateTime(minAt), CDateTime(maxAt), sum};
}

TEST(MergeSummaries, AddsCountsAndSumsAndKeepsTheEarliestExtremes) {
    const ChartQuantity t{ChartQuantity::Temperature, 0}, h{ChartQuantity::Humidity, 0};
    const Period march{PeriodKind::Month, 2025, 3, 1}, april{PeriodKind::Month, 2025, 4, 1};
    const Summary months[] = {
        Of(march, t, 10, -2.0f, 15.0f, 45720, 45730, 100000),
        Of(march, h, 10, 30.0f, 80.0f, 45721, 45722, 5000000),
        Of(april, t, 5, -2.0f, 19.5f, 45750, 45760, 400000),
    };
    const std::vector<Summary> year = MergeSummaries(months, Period{PeriodKind::Year, 2025, 1, 1});
    ASSERT_EQ(year.size(), 2u);
    EXPECT_EQ(year[0].quantity, t);
    EXPECT_EQ(year[0].period.kind, PeriodKind::Year);
    EXPECT_EQ(year[0].count, 15u);
    EXPECT_EQ(year[0].sumTenThousandths, 500000);
    EXPECT_EQ(year[0].min, -2.0f);
    EXPECT_EQ(year[0].minAt.Value(), 45720); // the tie goes to the earlier
    EXPECT_EQ(year[0].max, 19.5f);
    EXPECT_EQ(year[0].maxAt.Value(), 45760);
    EXPECT_EQ(year[1].quantity, h);
    EXPECT_EQ(year[1].count, 10u);
}

TEST(ReportPages, NameTheirPeriodsInTheLanguage) {
    struct Case {
        std::uint16_t language;
        Period period;
        const char* title;
        const char* file;
    } cases[] = {
        {1033, {PeriodKind::Month, 2025, 3, 1}, "March 2025", "2025-03.html"},
        {1031, {PeriodKind::Month, 2025, 3, 1}, "März 2025", "2025-03.html"},
        {1036, {PeriodKind::Month, 2025, 12, 1}, "décembre 2025", "2025-12.html"},
        {1031, {PeriodKind::Year, 2025, 1, 1}, "2025", "2025.html"},
        {1036, {PeriodKind::Week, 2024, 12, 30}, "Semaine 2025-W01", "week.html"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PeriodTitle(ReportTextsFor(c.language), c.period), c.title);
        EXPECT_EQ(PageFile(c.period), c.file);
    }
}

TEST(ReportPages, RecordsShowTheExtremesInTheUnitAndDateFormat) {
    const ChartQuantity t{ChartQuantity::Temperature, 1};
    const Period year{PeriodKind::Year, 2025, 1, 1};
    const Summary records[] = {Of(year, t, 4, -12.5f, 31.0f, CDateTime(2025, 1, 9, 6, 40, 0).Value(),
                                  CDateTime(2025, 7, 2, 15, 10, 0).Value(), 10)};
    const std::string celsius =
        RecordsPage({&ReportTextsFor(1031), {"%d.%m.%Y %H:%M", false}}, records, records);
    EXPECT_NE(celsius.find("<html lang=\"de\">"), std::string::npos);
    EXPECT_NE(celsius.find("<td>31.0\u202f°C</td><td>02.07.2025 15:10</td><td>-12.5\u202f°C</td>"
                           "<td>09.01.2025 06:40</td>"),
              std::string::npos);
    EXPECT_NE(celsius.find("<a href=\"2025.html\">2025</a>"), std::string::npos);
    const std::string fahrenheit =
        RecordsPage({&ReportTextsFor(1033), {"%Y-%m-%d %H:%M", true}}, records, records);
    EXPECT_NE(fahrenheit.find("<td>87.8\u202f°F</td><td>2025-07-02 15:10</td>"), std::string::npos);
    EXPECT_NE(fahrenheit.find("Temperature · Outdoor 1"), std::string::npos);
}

TEST(ReportFolder, LeavesOtherFilesAloneAndRemovesOnlyItsOwn) {
    TempDir dir;
    const fs::path site = dir / "site";
    fs::create_directories(site);
    std::ofstream(site / "index.html") << "the owner's page";
    std::ofstream(site / "notes.txt") << "the owner's notes";
    {
        ReportFolder folder(site);
        folder.Write("index.html", "report");
        folder.Write("a.html", "a");
        folder.Write("b.html", "b");
        folder.Finish();
        EXPECT_EQ(folder.LeftAlone(), std::vector<std::string>{"index.html"});
        EXPECT_EQ(folder.Written(), 2u);
    }
    EXPECT_EQ(Read(site / "index.html"), "the owner's page");
    EXPECT_EQ(Read(site / "a.html"), "a");
    const auto before = Inodes(site);
    {
        ReportFolder folder(site);
        folder.Write("a.html", "a"); // unchanged: not touched
        folder.Write("c.html", "c"); // new; b.html is no longer written
        folder.Finish();
        EXPECT_EQ(folder.Unchanged(), 1u);
    }
    EXPECT_EQ(Inodes(site)["a.html"], before.at("a.html"));
    EXPECT_FALSE(fs::exists(site / "b.html"));
    EXPECT_EQ(Read(site / "notes.txt"), "the owner's notes");
    EXPECT_EQ(Read(site / ReportFolder::ManifestName), "a.html\nc.html\n");
}

// Pages take their places only once the whole report is written and on the disk: until then a
// reader sees the last report's pages, and a report that fails or is cut short leaves them.
TEST(ReportFolder, PagesTakeTheirPlacesOnlyOnceTheWholeReportIsWritten) {
    TempDir dir;
    const fs::path site = dir / "site";
    {
        ReportFolder folder(site);
        folder.Write("index.html", "old");
        folder.Write("a.html", "a");
        folder.Finish();
    }
    const auto files = [&] {
        std::set<std::string> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(site))
            names.insert(entry.path().filename().string());
        return names;
    };
    const std::set<std::string> listed = {ReportFolder::ManifestName, "a.html", "index.html"};
    {
        ReportFolder folder(site);
        folder.Write("index.html", "new");
        folder.Write("b.html", "b");
        EXPECT_EQ(Read(site / "index.html"), "old");
        EXPECT_FALSE(fs::exists(site / "b.html"));
        folder.KeepListAfterFailure(); // the report failed
    }
    EXPECT_EQ(Read(site / "index.html"), "old");
    EXPECT_EQ(files(), listed) << "the new files of a failed report are removed";

    // A page written again in the same report (a refresh given up for a whole build) as it was
    // before: the content written first must not take its place.
    {
        ReportFolder folder(site);
        folder.Write("index.html", "given up");
        folder.Write("index.html", "old");
        folder.Write("a.html", "a");
        folder.Finish();
    }
    EXPECT_EQ(Read(site / "index.html"), "old");

    // A report cut short (a crash) leaves its new files under their own names: the next one
    // removes those of its pages, and leaves a file of the same look that is the owner's.
    std::ofstream(site / ".index.html.Ab12Cd.tmp") << "ne";
    std::ofstream(site / ".notes.txt.Ab12Cd.tmp") << "the owner's";
    {
        ReportFolder folder(site);
        folder.Write("index.html", "new");
        folder.Write("a.html", "a");
        folder.Finish();
    }
    EXPECT_EQ(Read(site / "index.html"), "new");
    std::set<std::string> expected = listed;
    expected.insert(".notes.txt.Ab12Cd.tmp");
    EXPECT_EQ(files(), expected);
}

TEST(ReportFolder, FolderThatCannotBeMadeIsAnError) {
    TempDir dir;
    std::ofstream(dir / "file") << "x";
    EXPECT_THROW(ReportFolder(dir / "file" / "site"), ReportError);
}

TEST(WriteReport, RefreshAfterAnImportRewritesOnlyThePagesOfChangedPeriods) {
    TempDir dir;
    const fs::path history = dir / "history.nvh", site = dir / "site";
    const std::vector<CDataset> datasets = History(CDateTime(2024, 11, 20, 0, 0, 0), 60); // to 18 Jan 2025
    Save(history, datasets);
    const ReportSetup setup{1033, {"%d.%m.%Y %H:%M", false}};
    const ReportOutcome first = WriteReport(history, site, setup);
    EXPECT_EQ(first.unchanged, 0u);
    for (const char* file :
         {"index.html", "week.html", "records.html", "archive.html", "style.css", "2024.html", "2024-11.html",
          "2024-12.html", "2025-01.html", "2025.html", "2024-12.svg", "last-24-hours.svg", "last-7-days.svg"})
        EXPECT_TRUE(fs::exists(site / file)) << file;

    const auto before = Inodes(site);
    const ReportOutcome again = WriteReport(history, site, setup);
    EXPECT_EQ(again.written, 0u);

    // A routine import: a day more of January 2025.
    Save(history, History(CDateTime(datasets.back().GetDateTime().Value() + 1.0 / 8), 1), true);
    WriteReport(history, site, setup);
    const auto after = Inodes(site);
    for (const char* same : {"2024.html", "2024.svg", "2024-11.html", "2024-12.html", "2024-12.svg",
                             "style.css", "archive.html"})
        EXPECT_EQ(after.at(same), before.at(same)) << same << " was rewritten";
    for (const char* changed : {"2025-01.html", "2025-01.svg", "2025.svg", "index.html", "last-24-hours.svg"})
        EXPECT_NE(after.at(changed), before.at(changed)) << changed << " was not rewritten";
}

TEST(WriteReport, AnEmptyHistoryIsAnError) {
    TempDir dir;
    std::ofstream(dir / "history.nvh").close();
    EXPECT_THROW(WriteReport(dir / "history.nvh", dir / "site", {}), ReportError);
    EXPECT_THROW(WriteReport(dir / "missing.nvh", dir / "site", {}), ReportError);
}

TEST(WriteReport, AHistoryOutOfOrderGivesTheSamePagesAsInOrder) {
    TempDir dir;
    std::vector<CDataset> datasets = History(CDateTime(2025, 1, 25, 0, 0, 0), 20);
    Save(dir / "ordered.nvh", datasets);
    std::swap(datasets[3], datasets[100]); // a January dataset after February's
    Save(dir / "shuffled.nvh", datasets);
    WriteReport(dir / "ordered.nvh", dir / "a", {});
    WriteReport(dir / "shuffled.nvh", dir / "b", {});
    for (const char* file : {"2025-01.html", "2025-02.html", "2025.html", "records.html", "index.html"})
        EXPECT_EQ(Read(dir / "a" / file), Read(dir / "b" / file)) << file;
}

// Every file of a report but its checkpoint, which names the history file it read.
std::map<std::string, std::string> Site(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        if (entry.path().filename() != ReportFolder::CheckpointName)
            files[entry.path().filename().string()] = Read(entry.path());
    return files;
}

std::map<std::string, std::string> FullBuild(const fs::path& history, const ReportSetup& setup) {
    TempDir fresh;
    WriteReport(history, fresh / "site", setup);
    return Site(fresh / "site");
}

TEST(WriteReport, RefreshAfterAppendsGivesTheSitesOfAFullBuild) {
    TempDir dir;
    const fs::path history = dir / "history.nvh", site = dir / "site";
    const ReportSetup setup{1031, {"%d.%m.%Y %H:%M", false}};
    Save(history, History(CDateTime(2024, 11, 20, 0, 0, 0), 20)); // to 9 December
    WriteReport(history, site, setup);
    struct Append {
        const char* what;
        CDateTime first;
        int days;
    } appends[] = {
        {"a day of the same month", CDateTime(2024, 12, 10, 0, 0, 0), 1},
        {"across the month and year", CDateTime(2024, 12, 11, 1, 0, 0), 30},
        {"after a gap of a month", CDateTime(2025, 3, 2, 0, 0, 0), 2},
        {"a few hours", CDateTime(2025, 3, 4, 0, 30, 0), 0},
        {"across the next year", CDateTime(2025, 12, 29, 0, 0, 0), 5},
    };
    for (const Append& append : appends) {
        std::vector<CDataset> added = History(append.first, append.days);
        if (added.empty())
            added = {Measured(append.first, 21.5f, -3.0f, 50.0f),
                     Measured(CDateTime(append.first.Value() + 1.0 / 24), 22.0f, -3.5f, 51.0f)};
        Save(history, added, true);
        WriteReport(history, site, setup);
        EXPECT_EQ(Site(site), FullBuild(history, setup)) << append.what;
        EXPECT_TRUE(fs::exists(site / ReportFolder::CheckpointName)) << append.what;
    }
}

// A change of the history other than an append, or of what the refresh relies on, rebuilds the
// whole report: a page of an earlier month altered by hand is then written again.
TEST(WriteReport, AnythingButAnAppendRebuildsTheWholeReport) {
    const ReportSetup setup{1033, {"%Y-%m-%d %H:%M", false}};
    const std::vector<CDataset> datasets = History(CDateTime(2024, 11, 20, 0, 0, 0), 30); // to 19 Dec
    const CDataset late = Measured(CDateTime(2024, 12, 20, 6, 0, 0), 21.0f, 4.0f, 55.0f);
    struct Change {
        const char* what;
        bool rebuilds;
        std::function<void(const fs::path& history, const fs::path& site)> make;
    } changes[] = {
        {"an append", false, [&](const fs::path& h, const fs::path&) { Save(h, std::span(&late, 1), true); }},
        {"a dataset corrected in place", true,
         [&](const fs::path& h, const fs::path&) {
             std::fstream file(h, std::ios::binary | std::ios::in | std::ios::out);
             CDataset edited = datasets[3];
             edited.SetTemperature(1, 30.5f);
             ASSERT_EQ(ReplaceHistoryRecord(file, datasets[3], edited), ReplaceResult::Replaced);
         }},
        {"datasets deleted", true,
         [&](const fs::path& h, const fs::path&) { Save(h, std::span(datasets).subspan(8)); }},
        {"the file rewritten with the same datasets", true,
         [&](const fs::path& h, const fs::path&) {
             Save(h.string() + ".new", datasets);
             fs::rename(h.string() + ".new", h);
             Save(h, std::span(&late, 1), true);
         }},
        {"an append out of order", true,
         [&](const fs::path& h, const fs::path&) {
             const CDataset early = Measured(CDateTime(2024, 11, 25, 1, 0, 0), 19.0f, 1.0f, 45.0f);
             Save(h, std::span(&early, 1), true);
         }},
        {"an incomplete record at the end", true,
         [&](const fs::path& h, const fs::path&) {
             Save(h, std::span(&late, 1), true);
             std::ofstream(h, std::ios::binary | std::ios::app) << "torn";
         }},
        {"an earlier page removed", true,
         [&](const fs::path&, const fs::path& s) { fs::remove(s / "2024-11.svg"); }},
        {"the checkpoint damaged", true,
         [&](const fs::path&, const fs::path& s) { fs::resize_file(s / ReportFolder::CheckpointName, 100); }},
    };
    for (const Change& change : changes) {
        TempDir dir;
        const fs::path history = dir / "history.nvh", site = dir / "site";
        Save(history, datasets);
        WriteReport(history, site, setup);
        std::ofstream(site / "2024-11.html") << "altered";
        change.make(history, site);
        WriteReport(history, site, setup);
        if (change.rebuilds)
            EXPECT_EQ(Site(site), FullBuild(history, setup)) << change.what;
        else
            EXPECT_EQ(Read(site / "2024-11.html"), "altered") << change.what;
        EXPECT_EQ(Read(site / "2024-12.html"), FullBuild(history, setup).at("2024-12.html")) << change.what;
    }
}

} // namespace
