#include "HistoryTestSupport.h"
#include "TempDir.h"
#include "history/HistoryData.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

struct DisplayedHistoryTest : ::testing::Test {
    TempDir dir;
    std::filesystem::path folder = dir.path();
    std::filesystem::path recording = folder / "history.nvh";

    void SetUp() override {
        WriteWholeFile(recording, RecordBytes(Series(3)));
        ASSERT_TRUE(ReadRecording(recording));
        ASSERT_TRUE(OpenDisplayed(recording.string()));
    }
    void TearDown() override {
        RecordingHistory().Changed.disconnect_all_slots();
        DisplayedHistory().Changed.disconnect_all_slots();
    }
};

} // namespace

TEST_F(DisplayedHistoryTest, RecordingFileIsHeldOnce) {
    EXPECT_TRUE(IsRecordingFileDisplayed());
    EXPECT_EQ(DisplayedCount(), 3u);
    EXPECT_EQ(DisplayedHistory().Size(), 0u);
    EXPECT_EQ(RecordingTitle(), "history.nvh (3)");
    EXPECT_EQ(DisplayedTitle(), "history.nvh (3)");
}

TEST_F(DisplayedHistoryTest, AnotherFileGetsItsOwnStore) {
    const auto other = folder / "other.nvh";
    WriteWholeFile(other, RecordBytes(Series(2)));
    int displayedChanges = 0;
    DisplayedHistory().Changed.connect([&](const CHistoryData&) { ++displayedChanges; });
    ASSERT_TRUE(OpenDisplayed(other.string()));
    EXPECT_FALSE(IsRecordingFileDisplayed());
    EXPECT_EQ(DisplayedCount(), 2u);
    EXPECT_EQ(DisplayedTitle(), "other.nvh (2)");

    auto later = Series(7);
    later.erase(later.begin(), later.begin() + 3);
    RecordingHistory().Append(recording, later);
    EXPECT_EQ(RecordingTitle(), "history.nvh (7)");
    EXPECT_EQ(DisplayedTitle(), "other.nvh (2)");

    // Back to the recording file through another spelling of its path.
    ASSERT_TRUE(OpenDisplayed((folder / "." / "history.nvh").string()));
    EXPECT_TRUE(IsRecordingFileDisplayed());
    EXPECT_EQ(DisplayedHistory().Size(), 0u);
    EXPECT_EQ(DisplayedCount(), 7u); // re-read from disk
    EXPECT_EQ(displayedChanges, 2);
}

// Letter case alone does not make another file the recording file: on this file system
// "HISTORY.NVH" is a different file, and taking it for the recording file would mix the two.
TEST_F(DisplayedHistoryTest, DifferentLetterCaseIsAnotherFileHere) {
    const auto upper = folder / "HISTORY.NVH";
    WriteWholeFile(upper, RecordBytes(Series(1)));
    ASSERT_TRUE(OpenDisplayed(upper.string()));
    EXPECT_FALSE(IsRecordingFileDisplayed());
    EXPECT_EQ(DisplayedCount(), 1u);
    EXPECT_EQ(RecordingHistory().Size(), 3u);
    std::filesystem::remove(upper);

    // A link spelled differently that leads to the recording file is the recording file.
    std::filesystem::create_symlink(recording, folder / "History-Link.nvh");
    ASSERT_TRUE(OpenDisplayed((folder / "History-Link.nvh").string()));
    EXPECT_TRUE(IsRecordingFileDisplayed());
    std::filesystem::remove(folder / "History-Link.nvh");
}

// Choosing another recording file decides again which store the displayed file uses.
TEST_F(DisplayedHistoryTest, AnotherRecordingFileIsNoLongerTheDisplayedOne) {
    const auto other = folder / "other.nvh";
    WriteWholeFile(other, RecordBytes(Series(2)));
    ASSERT_TRUE(ReadRecording(other));
    EXPECT_FALSE(IsRecordingFileDisplayed());
    EXPECT_EQ(RecordingTitle(), "other.nvh (2)");
    ASSERT_TRUE(OpenDisplayed(other.string()));
    EXPECT_TRUE(IsRecordingFileDisplayed());
    EXPECT_EQ(DisplayedTitle(), "other.nvh (2)");
}

TEST_F(DisplayedHistoryTest, EditedCopyReachesMemoryAndFile) {
    int displayedChanges = 0;
    DisplayedHistory().Changed.connect([&](const CHistoryData&) { ++displayedChanges; });
    CDataset row = DisplayedAt(1);
    ASSERT_TRUE(row.SetColumnFromText(dcIndoorTemperature, "30.5", ColumnFormat{}));
    EXPECT_TRUE(UpdateDisplayed(DisplayedAt(1), row));
    EXPECT_EQ(DisplayedAt(1).GetTemperature(0), 30.5f);
    CHistoryData reread;
    reread.Read(recording);
    EXPECT_EQ(reread.At(1).GetTemperature(0), 30.5f);
    EXPECT_EQ(displayedChanges, 1);

    // Older datasets arrived meanwhile and moved the row: the edit still lands on its dataset.
    const CDataset shown = DisplayedAt(2);
    row = shown;
    CDataset older = MakeDataset(2004, 12, 1, 8, 0);
    RecordingHistory().Append(recording, {older});
    row.SetHumidity(0, 12.0f);
    EXPECT_TRUE(UpdateDisplayed(shown, row));
    EXPECT_EQ(DisplayedAt(3).GetHumidity(0), 12.0f);
    EXPECT_EQ(DisplayedAt(2).GetHumidity(0), 45.0f);
}

TEST_F(DisplayedHistoryTest, DeleteAndExportFollowTheDisplayedFile) {
    EXPECT_TRUE(DeleteDisplayed(std::vector{DisplayedAt(0)}));
    EXPECT_EQ(std::filesystem::file_size(recording), 2 * 56u);
    EXPECT_TRUE(ExportDisplayed((folder / "out.csv").string(), ColumnFormat{}));
    EXPECT_TRUE(std::filesystem::exists(folder / "out.csv"));
}

// The worker appends while the user-interface side reads rows and edits one; every row read is a
// whole dataset and every appended dataset arrives. Run under ThreadSanitizer too.
TEST_F(DisplayedHistoryTest, ConcurrentAppendWhileTheUserInterfaceReads) {
    const auto incoming = [] {
        auto series = Series(203);
        series.erase(series.begin(), series.begin() + 3);
        return series;
    }();
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (std::size_t i = 0; i < incoming.size(); i += 10) {
            std::vector<CDataset> batch(incoming.begin() + static_cast<std::ptrdiff_t>(i),
                                        incoming.begin() + static_cast<std::ptrdiff_t>(i + 10));
            RecordingHistory().RemoveKnown(batch);
            RecordingHistory().Append(recording, batch);
        }
        done = true;
    });
    std::size_t reads = 0;
    while (!done || reads < 100) {
        const std::size_t count = DisplayedCount();
        const CDataset row = DisplayedAt(count - 1);
        EXPECT_FALSE(row.IsInvalid());
        if (reads == 50) {
            const CDataset shown = DisplayedAt(0);
            CDataset edited = shown;
            edited.SetHumidity(0, 99.0f);
            EXPECT_TRUE(UpdateDisplayed(shown, edited));
        }
        ++reads;
    }
    worker.join();
    EXPECT_EQ(DisplayedCount(), 203u);
    EXPECT_EQ(DisplayedAt(0).GetHumidity(0), 99.0f);
    CHistoryData reread;
    reread.Read(recording);
    EXPECT_EQ(reread.Size(), 203u);
    EXPECT_EQ(reread.At(0).GetHumidity(0), 99.0f);
}

// The desktop reads a file on a worker thread and the store takes it in later. Whatever was
// written to the file in between (an import into the recording store, another process) must be
// in memory afterwards, not only what the worker saw.
TEST_F(DisplayedHistoryTest, AFileReadElsewhereIsTakenInWithWhatWasWrittenSince) {
    LoadedHistory loaded = LoadHistoryFile(recording);
    ASSERT_TRUE(loaded.ok);
    ASSERT_EQ(loaded.datasets.size(), 3u);
    auto later = Series(5);
    later.erase(later.begin(), later.begin() + 3);
    ASSERT_TRUE(RecordingHistory().Append(recording, later));
    ASSERT_TRUE(AdoptDisplayed(std::move(loaded)));
    EXPECT_EQ(DisplayedCount(), 5u);
    EXPECT_FALSE(RecordingHistory().ChangedOnDisk(recording));

    const auto other = folder / "other.nvh";
    WriteWholeFile(other, RecordBytes(Series(2)));
    loaded = LoadHistoryFile(other);
    CHistoryData().Append(other, later); // another process appends meanwhile
    ASSERT_TRUE(AdoptDisplayed(std::move(loaded)));
    EXPECT_EQ(DisplayedTitle(), "other.nvh (4)");

    EXPECT_FALSE(AdoptDisplayed(LoadHistoryFile(folder / "missing.nvh")));
    EXPECT_EQ(DisplayedCount(), 0u);
}
