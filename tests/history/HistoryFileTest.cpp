#include "history/HistoryFile.h"
#include "HistoryTestSupport.h"
#include "TempDir.h"
#include "history/HistoryData.h"
#include "history/HistoryRecord.h"

#include <gtest/gtest.h>
#include <sstream>

namespace {

std::string Hex(const std::string& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        if (!out.empty())
            out += ' ';
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

// Fails the stream after the first record, as a disk that fills up would.
bool FailAfterOneRecord(std::ostream& out, const std::vector<CDataset>& datasets) {
    WriteHistoryRecords(out, std::span(datasets).first(1));
    out.setstate(std::ios::badbit);
    return WriteHistoryRecords(out, std::span(datasets).subspan(1));
}

struct HistoryFileTest : ::testing::Test {
    TempDir dir;
    std::filesystem::path file = dir / "history.nvh";
    CHistoryData store;
};

} // namespace

TEST(HistoryRecord, MatchesTheFileLayoutByteForByte) {
    const CDataset dataset = MakeDataset(2005, 1, 17, 14, 5);
    EXPECT_NEAR(dataset.GetDateTime().Value(), 38369.586805555555, 1e-10);
    const std::string expected = "c7 71 1c c7 32 bc e2 40 00 00 ac 41 00 00 34 42"
                                 " 33 33 a2 42 00 00 dc 42 33 33 a2 42 00 00 dc 42 33 33 a2 42 00 00 dc 42"
                                 " 33 33 a2 42 00 00 dc 42 33 33 a2 42 00 00 dc 42";
    EXPECT_EQ(Hex(RecordBytes({dataset})), expected);

    CDataset back;
    DecodeHistoryRecord(reinterpret_cast<const std::uint8_t*>(RecordBytes({dataset}).data()), back);
    EXPECT_EQ(back.GetDateTime(), dataset.GetDateTime());
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(back.GetTemperature(i), dataset.GetTemperature(i));
        EXPECT_EQ(back.GetHumidity(i), dataset.GetHumidity(i));
    }
}

TEST_F(HistoryFileTest, ReadsSortedAndIgnoresAnIncompleteTail) {
    const auto series = Series(3);
    struct Case {
        const char* name;
        std::string bytes;
        std::size_t count;
    } cases[] = {
        {"empty", "", 0},
        {"100 bytes", RecordBytes({series[0]}) + std::string(44, '\x11'), 1},
        {"out of order", RecordBytes({series[2], series[0], series[1]}), 3},
        {"duplicates", RecordBytes({series[1], series[0], series[1]}), 3},
    };
    for (const Case& c : cases) {
        WriteWholeFile(file, c.bytes);
        EXPECT_TRUE(store.Read(file)) << c.name;
        ASSERT_EQ(store.Size(), c.count) << c.name;
        for (std::size_t i = 1; i < c.count; ++i)
            EXPECT_FALSE(store.At(i) < store.At(i - 1)) << c.name;
    }
    EXPECT_EQ(store.At(1), store.At(2)); // both duplicates are kept

    WriteWholeFile(file, std::string(56, '\0'));
    store.Read(file);
    EXPECT_EQ(store.At(0).GetDateTime().GetStatus(), CDateTime::valid);
    EXPECT_EQ(store.At(0).GetDateTime().LogText(), "1899-12-30 00:00:00");
    EXPECT_THROW(store.At(1), std::out_of_range);

    EXPECT_FALSE(store.Read(dir / "missing.nvh"));
    EXPECT_EQ(store.Size(), 0u);
    EXPECT_FALSE(store.Read(dir.path()));
}

TEST_F(HistoryFileTest, ReadSurvivesNanDates) {
    auto datasets = Series(50);
    datasets[10].SetDateTime(CDateTime(std::numeric_limits<double>::quiet_NaN()));
    datasets[30].SetDateTime(CDateTime(-std::numeric_limits<double>::quiet_NaN()));
    std::reverse(datasets.begin(), datasets.end());
    WriteWholeFile(file, RecordBytes(datasets));
    ASSERT_TRUE(store.Read(file));
    EXPECT_EQ(store.Size(), 50u);
    EXPECT_EQ(store.At(0).GetDateTime(), Series(1)[0].GetDateTime());
}

TEST_F(HistoryFileTest, AppendCreatesAndKeepsArrivalOrderInTheFile) {
    const auto series = Series(4);
    EXPECT_TRUE(store.Append(file, {series[2], series[3]}));
    EXPECT_EQ(std::filesystem::file_size(file), 112u);
    EXPECT_TRUE(store.Append(file, {series[1], series[0]}));
    EXPECT_EQ(store.At(0), series[0]); // sorted in memory
    EXPECT_EQ(store.At(3), series[3]);
    EXPECT_EQ(ReadWholeFile(file), RecordBytes({series[2], series[3], series[1], series[0]}));
}

TEST_F(HistoryFileTest, AppendedDatasetsAreSortedInWhereverTheyBelong) {
    // Only the appended datasets and where they join the old ones are checked for order.
    const auto series = Series(6);
    const std::vector<std::vector<std::size_t>> batches = {{0, 1}, {4, 5}, {1, 4}, {5, 0}};
    for (const auto& batch : batches) {
        std::filesystem::remove(file);
        store.Clear();
        ASSERT_TRUE(store.Append(file, {series[2], series[3]}));
        ASSERT_TRUE(store.Append(file, {series[batch[0]], series[batch[1]]}));
        ASSERT_EQ(store.Size(), 4u);
        for (std::size_t i = 1; i < store.Size(); ++i)
            EXPECT_FALSE(store.At(i) < store.At(i - 1)) << batch[0] << "," << batch[1];
    }
}

TEST_F(HistoryFileTest, AppendCutsAnUnreadableTailSoNewRecordsStayAligned) {
    const auto series = Series(2);
    WriteWholeFile(file, RecordBytes({series[0]}) + std::string(20, '\x11'));
    EXPECT_TRUE(store.Append(file, {series[1]}));
    EXPECT_EQ(ReadWholeFile(file), RecordBytes(series));
}

// Two datasets of one date-time with different values (two stations): an edit lands on the one
// the user saw, in the file and in memory.
TEST_F(HistoryFileTest, UpdateRewritesTheRecordOfTheValuesShown) {
    const auto series = Series(3);
    CDataset twin = series[1];
    twin.SetHumidity(0, 80.0f);
    WriteWholeFile(file, RecordBytes({series[1], series[0], twin, series[2]}));
    ASSERT_TRUE(store.Read(file));
    int changed = 0;
    store.Changed.connect([&](const CHistoryData&) { ++changed; });

    CDataset edited = twin;
    edited.SetTemperature(0, 30.0f);
    EXPECT_TRUE(store.Update(file, twin, edited));
    EXPECT_EQ(ReadWholeFile(file), RecordBytes({series[1], series[0], edited, series[2]}));
    EXPECT_EQ(changed, 1);
    const bool inMemory = store.WithDatasets([&](const std::vector<CDataset>& held) {
        return std::count_if(held.begin(), held.end(),
                             [&](const CDataset& d) { return IsSameRecord(d, edited); }) == 1 &&
               std::count_if(held.begin(), held.end(),
                             [&](const CDataset& d) { return IsSameRecord(d, series[1]); }) == 1;
    });
    EXPECT_TRUE(inMemory);

    // A dataset the file no longer holds as shown is a failure, not a silent success, and no
    // record of the same date-time is taken for it.
    const std::string before = ReadWholeFile(file);
    for (const CDataset& gone : {MakeDataset(2010, 1, 1, 0, 0), twin}) {
        const HistoryOutcome missingRecord = store.Update(file, gone, edited);
        EXPECT_FALSE(missingRecord);
        EXPECT_EQ(missingRecord.reason,
                  "the dataset of " + gone.GetDateTime().LogText() + " is no longer in the file");
    }
    EXPECT_EQ(ReadWholeFile(file), before);
    EXPECT_EQ(changed, 1);

    const HistoryOutcome missingFile = store.Update(dir / "missing.nvh", series[0], edited);
    EXPECT_FALSE(missingFile);
    EXPECT_EQ(missingFile.reason, "No such file or directory");
    EXPECT_FALSE(std::filesystem::exists(dir / "missing.nvh"));
    EXPECT_EQ(changed, 1);
}

TEST_F(HistoryFileTest, DeleteRewritesTheRestInOrder) {
    auto series = Series(6);
    WriteWholeFile(file, RecordBytes({series[5], series[4], series[3], series[2], series[1], series[0]}));
    ASSERT_TRUE(store.Read(file));
    EXPECT_TRUE(store.Delete(file, std::vector{series[4], series[1]})); // any order
    ASSERT_EQ(store.Size(), 4u);
    EXPECT_EQ(ReadWholeFile(file), RecordBytes({series[0], series[2], series[3], series[5]}));
    EXPECT_EQ(FilesIn(dir.path()), 1u) << "no new file left beside it";
}

// The datasets chosen are found by value; when one is no longer there nothing is deleted and the
// failure names it. A pair sharing a date-time loses only the one chosen; a record held twice
// goes once per choice.
TEST_F(HistoryFileTest, DeleteTakesTheChosenValuesOrNothing) {
    const auto series = Series(4);
    CDataset twin = series[1];
    twin.SetHumidity(0, 80.0f);
    CDataset changed = series[2];
    changed.SetTemperature(0, 25.0f);
    const std::vector<CDataset> held = {series[0], series[1], twin, series[2], series[3], series[3]};
    struct Case {
        const char* name;
        std::vector<CDataset> chosen;
        std::vector<CDataset> left; // empty: refused, the file stays
        std::string reason;
    };
    const Case cases[] = {
        {"one of a pair", {twin}, {series[0], series[1], series[2], series[3], series[3]}, ""},
        {"a double once", {series[3]}, {series[0], series[1], twin, series[2], series[3]}, ""},
        {"a double twice", {series[3], series[3]}, {series[0], series[1], twin, series[2]}, ""},
        {"a double thrice",
         {series[3], series[3], series[3]},
         {},
         "the dataset of 2005-01-17 14:20:00 is no longer in the file"},
        {"values changed",
         {series[0], changed},
         {},
         "the dataset of 2005-01-17 14:15:00 is no longer in the file"},
        {"two gone",
         {MakeDataset(2010, 1, 1, 0, 0), series[1], MakeDataset(2011, 1, 1, 0, 0)},
         {},
         "2 of the datasets chosen are no longer in the file, the first of 2010-01-01 00:00:00"},
    };
    for (const Case& c : cases) {
        WriteWholeFile(file, RecordBytes(held));
        ASSERT_TRUE(store.Read(file));
        const HistoryOutcome outcome = store.Delete(file, c.chosen);
        EXPECT_EQ(static_cast<bool>(outcome), !c.left.empty()) << c.name;
        EXPECT_EQ(outcome.reason, c.reason) << c.name;
        const std::vector<CDataset>& expected = c.left.empty() ? held : c.left;
        EXPECT_EQ(ReadWholeFile(file), RecordBytes(expected)) << c.name;
        EXPECT_EQ(store.Size(), expected.size()) << c.name;
    }
}

TEST_F(HistoryFileTest, RemoveKnownDropsDatasetsTheStoreHolds) {
    const auto series = Series(5);
    store.Append(file, {series[0], series[2], series[4]});
    CDataset invalid;
    // A known date-time with other values is another measurement (a clock set back).
    CDataset repeated = series[4];
    repeated.SetTemperature(0, repeated.GetTemperature(0) + 1.0f);
    std::vector<CDataset> incoming = {series[1], series[2], invalid, series[3], series[4], repeated};
    store.RemoveKnown(incoming);
    ASSERT_EQ(incoming.size(), 4u);
    EXPECT_EQ(incoming[0], series[1]);
    EXPECT_TRUE(incoming[1].IsInvalid());
    EXPECT_EQ(incoming[2], series[3]);
    EXPECT_TRUE(SameMeasurement(incoming[3], repeated));
}

TEST_F(HistoryFileTest, ChangedIsEmittedByTheChangingOperationsOnly) {
    std::vector<std::string> seen;
    store.Changed.connect([&](const CHistoryData& source) {
        EXPECT_EQ(&source, &store);
        seen.push_back(std::to_string(source.Size()));
    });
    store.Read(dir / "missing.nvh");
    store.Append(file, Series(3));
    store.Delete(file, Series(1));
    store.Export(dir / "out.csv", ColumnFormat{});
    std::vector<CDataset> incoming = Series(3);
    store.RemoveKnown(incoming);
    EXPECT_EQ(seen, (std::vector<std::string>{"0", "3", "2"}));
}

// A write error in the middle is reported instead of passing as success.
TEST_F(HistoryFileTest, WriteErrorsAreReported) {
    const auto series = Series(3);
    std::ostringstream stream;
    stream.setstate(std::ios::badbit);
    EXPECT_FALSE(store.AppendTo(stream, series));
    EXPECT_FALSE(store.WriteTo(stream));

    if (std::filesystem::exists("/dev/full")) {
        // A device is never taken for a history or an export target (a rename would replace it).
        EXPECT_EQ(store.Append("/dev/full", series).reason, "not a regular file");
        EXPECT_FALSE(store.Export("/dev/full", ColumnFormat{}));
        EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
    }

    WriteWholeFile(file, RecordBytes({series[0]}));
    EXPECT_FALSE(AppendHistoryFile(file, [&](std::ostream& out) { return FailAfterOneRecord(out, series); }));
    EXPECT_EQ(ReadWholeFile(file), RecordBytes({series[0]})); // nothing half-appended stays
}

// An append reports success only once the disk has the records: the file is synced after the
// write, its folder too when the file is new; a failed sync counts as a failed append.
TEST_F(HistoryFileTest, AppendSyncsBeforeItReportsAndAFailedSyncTakesTheRecordsBack) {
    enum class Fails { Nothing, File, Folder };
    struct Case {
        const char* name;
        bool fileExists;
        Fails fails;
        bool appended;
        std::vector<std::string> syncs; // what was synced, with the file's size at that moment
        std::uintmax_t sizeAfter;
    };
    const Case cases[] = {
        {"new file", false, Fails::Nothing, true, {"file 112", "folder"}, 112},
        {"existing file", true, Fails::Nothing, true, {"file 168"}, 168},
        {"existing file, file sync fails", true, Fails::File, false, {"file 168"}, 56},
        {"new file, folder sync fails", false, Fails::Folder, false, {"file 112", "folder"}, 0},
    };
    const auto series = Series(3);
    for (const Case& c : cases) {
        std::filesystem::remove(file);
        if (c.fileExists)
            WriteWholeFile(file, RecordBytes({series[0]}));
        std::vector<std::string> syncs;
        const DiskSync sync = [&](const std::filesystem::path& path, bool folder) {
            if (folder) {
                EXPECT_EQ(path, dir.path()) << c.name;
                syncs.push_back("folder");
                return c.fails != Fails::Folder;
            }
            EXPECT_EQ(path, file) << c.name;
            syncs.push_back("file " + std::to_string(std::filesystem::file_size(path)));
            return c.fails != Fails::File;
        };
        const bool appended = static_cast<bool>(AppendHistoryFile(
            file, [&](std::ostream& out) { return WriteHistoryRecords(out, std::span(series).subspan(1)); },
            sync));
        EXPECT_EQ(appended, c.appended) << c.name;
        EXPECT_EQ(syncs, c.syncs) << c.name;
        EXPECT_EQ(std::filesystem::file_size(file), c.sizeAfter) << c.name;
    }
}

// Deleting writes beside the old file: a failure in the middle leaves the old history whole.
TEST_F(HistoryFileTest, FailedRewriteKeepsTheOldFile) {
    const auto series = Series(3);
    WriteWholeFile(file, RecordBytes(series));
    EXPECT_FALSE(
        WriteHistoryFileReplacing(file, [&](std::ostream& out) { return FailAfterOneRecord(out, series); }));
    EXPECT_EQ(ReadWholeFile(file), RecordBytes(series));
    EXPECT_EQ(FilesIn(dir.path()), 1u) << "no new file left beside it";

    EXPECT_FALSE(store.Delete(dir / "no-such-dir" / "history.nvh", series));
}

TEST_F(HistoryFileTest, RewriteKeepsPermissionsAndFollowsLinks) {
    const auto series = Series(2);
    WriteWholeFile(file, RecordBytes(series));
    std::filesystem::permissions(file,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    std::filesystem::create_symlink(file, dir / "link.nvh");
    ASSERT_TRUE(store.Read(dir / "link.nvh"));
    ASSERT_TRUE(store.Delete(dir / "link.nvh", std::vector{series[0]}));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.nvh"));
    EXPECT_EQ(ReadWholeFile(file), RecordBytes({series[1]}));
    EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

// A file whose records are mostly not station data, or too short for a record and not starting
// like one, is no history file: a store never appends to it, cuts it or rewrites it. A damaged
// history (a few wild records, a partial record a power cut left) is still one.
TEST_F(HistoryFileTest, AFileThatIsNotAHistoryFileIsNeverWritten) {
    const auto series = Series(3);
    CDataset wild = series[0];
    wild.SetTemperature(0, 3e38f);
    struct Case {
        const char* name;
        std::string content;
        bool history;
    };
    const std::string text = "Shopping list: milk, eggs, flour, butter, sugar, and a new thermometer.\n";
    const Case cases[] = {
        {"a text", text, false},
        {"a short text", "notes", false},
        {"mostly wild records", RecordBytes({wild, wild, series[1]}), false},
        {"one wild record of three", RecordBytes({series[1], wild, series[2]}), true},
        {"a partial record alone", RecordBytes({series[1]}).substr(0, 20), true},
        {"a partial record behind whole ones", RecordBytes(series).substr(0, 150), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteWholeFile(file, c.content);
        CHistoryData fresh;
        const HistoryOutcome appended = fresh.Append(file, {MakeDataset(2006, 1, 1, 0, 0)});
        EXPECT_EQ(static_cast<bool>(appended), c.history) << appended.reason;
        if (!c.history) {
            EXPECT_TRUE(appended.reason.starts_with("it is not a history file: ")) << appended.reason;
            EXPECT_EQ(ReadWholeFile(file), c.content);
            EXPECT_FALSE(fresh.Delete(file, std::vector{MakeDataset(2006, 1, 1, 0, 0)}));
            EXPECT_EQ(ReadWholeFile(file), c.content);
        } else {
            EXPECT_EQ(std::filesystem::file_size(file) % HistoryRecordSize, 0u);
        }
    }
}
