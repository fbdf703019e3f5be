#include "history/HistoryWorkspace.h"
#include "HistoryTestSupport.h"
#include "TempDir.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

struct HistoryWorkspaceTest : ::testing::Test {
    TempDir dir;
    std::filesystem::path folder = dir.path();
    std::filesystem::path recording = folder / "history.nvh";

    HistoryWorkspace workspace;

    void SetUp() override {
        WriteWholeFile(recording, RecordBytes(Series(3)));
        ASSERT_TRUE(workspace.ReadRecording(recording));
        ASSERT_TRUE(workspace.OpenDisplayed(recording));
    }
    std::size_t DisplayedCount() const { return workspace.Shown().Size(); }
    CDataset DisplayedAt(std::size_t index) const { return workspace.Shown().At(index); }
};

} // namespace

TEST_F(HistoryWorkspaceTest, RecordingFileIsHeldOnce) {
    EXPECT_TRUE(workspace.ShowsRecordingFile());
    EXPECT_EQ(DisplayedCount(), 3u);
    EXPECT_EQ(&workspace.Shown(), &workspace.Recording());
    EXPECT_EQ(workspace.RecordingTitle(), "history.nvh (3)");
    EXPECT_EQ(workspace.DisplayedTitle(), "history.nvh (3)");
}

TEST_F(HistoryWorkspaceTest, AnotherFileGetsItsOwnStore) {
    const auto other = folder / "other.nvh";
    WriteWholeFile(other, RecordBytes(Series(2)));
    int changes = 0;
    workspace.Changed.connect([&] { ++changes; });
    ASSERT_TRUE(workspace.OpenDisplayed(other.string()));
    EXPECT_FALSE(workspace.ShowsRecordingFile());
    EXPECT_EQ(DisplayedCount(), 2u);
    EXPECT_EQ(workspace.DisplayedTitle(), "other.nvh (2)");

    auto later = Series(7);
    later.erase(later.begin(), later.begin() + 3);
    workspace.Recording().Append(recording, later);
    EXPECT_EQ(workspace.RecordingTitle(), "history.nvh (7)");
    EXPECT_EQ(workspace.DisplayedTitle(), "other.nvh (2)");

    // Back to the recording file through another spelling of its path.
    ASSERT_TRUE(workspace.OpenDisplayed((folder / "." / "history.nvh").string()));
    EXPECT_TRUE(workspace.ShowsRecordingFile());
    EXPECT_EQ(&workspace.Shown(), &workspace.Recording());
    EXPECT_EQ(DisplayedCount(), 7u); // re-read from disk
    EXPECT_EQ(changes, 3);           // each step once: the open, the append, the open
}

// Which store shows the file is decided when a file is opened or the recording file is read, by
// what the two paths lead to, and every step that changes a store signals once.
TEST_F(HistoryWorkspaceTest, DecidesOnceWhichStoreShowsTheFile) {
    WriteWholeFile(folder / "other.nvh", RecordBytes(Series(2)));
    std::filesystem::create_symlink(recording, folder / "History-Link.nvh");
    struct Case {
        const char* name;
        const char* opened;         // nullptr: no file opened
        const char* recordingAfter; // the recording file chosen afterwards; nullptr: none
        bool showsRecording;
        std::size_t shown;
        int changes;
    };
    const Case cases[] = {
        {"the recording file opened", "history.nvh", nullptr, true, 3, 1},
        {"another spelling of its path", "./history.nvh", nullptr, true, 3, 1},
        {"a link to it", "History-Link.nvh", nullptr, true, 3, 1},
        {"another file", "other.nvh", nullptr, false, 2, 1},
        {"the file shown becomes the recording file", "other.nvh", "other.nvh", true, 2, 1},
        {"the recording file moves away from the file shown", "history.nvh", "other.nvh", false, 3, 2},
        {"nothing opened: the file shown follows the recording file", nullptr, "other.nvh", true, 2, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HistoryWorkspace tried;
        ASSERT_TRUE(tried.ReadRecording(recording));
        if (c.opened) {
            ASSERT_TRUE(tried.OpenDisplayed(folder / c.opened));
        }
        int changes = 0;
        tried.Changed.connect([&] { ++changes; });
        if (c.recordingAfter) {
            ASSERT_TRUE(tried.ReadRecording(folder / c.recordingAfter));
        } else {
            ASSERT_TRUE(tried.OpenDisplayed(folder / c.opened)); // opened again: one change
        }
        EXPECT_EQ(tried.ShowsRecordingFile(), c.showsRecording);
        EXPECT_EQ(&tried.Shown() == &tried.Recording(), c.showsRecording);
        EXPECT_EQ(tried.Shown().Size(), c.shown);
        EXPECT_EQ(changes, c.changes);
    }
}

// Letter case alone does not make another file the recording file: on this file system
// "HISTORY.NVH" is a different file, and taking it for the recording file would mix the two.
TEST_F(HistoryWorkspaceTest, DifferentLetterCaseIsAnotherFileHere) {
    const auto upper = folder / "HISTORY.NVH";
    WriteWholeFile(upper, RecordBytes(Series(1)));
    ASSERT_TRUE(workspace.OpenDisplayed(upper.string()));
    EXPECT_FALSE(workspace.ShowsRecordingFile());
    EXPECT_EQ(DisplayedCount(), 1u);
    EXPECT_EQ(workspace.Recording().Size(), 3u);
    std::filesystem::remove(upper);

    // A link spelled differently that leads to the recording file is the recording file.
    std::filesystem::create_symlink(recording, folder / "History-Link.nvh");
    ASSERT_TRUE(workspace.OpenDisplayed((folder / "History-Link.nvh").string()));
    EXPECT_TRUE(workspace.ShowsRecordingFile());
    std::filesystem::remove(folder / "History-Link.nvh");
}

// Choosing another recording file decides again which store the displayed file uses.
TEST_F(HistoryWorkspaceTest, AnotherRecordingFileIsNoLongerTheDisplayedOne) {
    const auto other = folder / "other.nvh";
    WriteWholeFile(other, RecordBytes(Series(2)));
    ASSERT_TRUE(workspace.ReadRecording(other));
    EXPECT_FALSE(workspace.ShowsRecordingFile());
    EXPECT_EQ(workspace.RecordingTitle(), "other.nvh (2)");
    ASSERT_TRUE(workspace.OpenDisplayed(other.string()));
    EXPECT_TRUE(workspace.ShowsRecordingFile());
    EXPECT_EQ(workspace.DisplayedTitle(), "other.nvh (2)");
}

TEST_F(HistoryWorkspaceTest, EditedCopyReachesMemoryAndFile) {
    int changes = 0;
    workspace.Changed.connect([&] { ++changes; });
    CDataset row = DisplayedAt(1);
    ASSERT_TRUE(row.SetColumnFromText(dcIndoorTemperature, "30.5", ColumnFormat{}));
    EXPECT_TRUE(workspace.UpdateDisplayed(DisplayedAt(1), row));
    EXPECT_EQ(DisplayedAt(1).GetTemperature(0), 30.5f);
    CHistoryData reread;
    reread.Read(recording);
    EXPECT_EQ(reread.At(1).GetTemperature(0), 30.5f);
    EXPECT_EQ(changes, 1);

    // Older datasets arrived meanwhile and moved the row: the edit still lands on its dataset.
    const CDataset shown = DisplayedAt(2);
    row = shown;
    CDataset older = MakeDataset(2004, 12, 1, 8, 0);
    workspace.Recording().Append(recording, {older});
    row.SetHumidity(0, 12.0f);
    EXPECT_TRUE(workspace.UpdateDisplayed(shown, row));
    EXPECT_EQ(DisplayedAt(3).GetHumidity(0), 12.0f);
    EXPECT_EQ(DisplayedAt(2).GetHumidity(0), 45.0f);
}

TEST_F(HistoryWorkspaceTest, DeleteAndExportFollowTheDisplayedFile) {
    EXPECT_TRUE(workspace.DeleteDisplayed(std::vector{DisplayedAt(0)}));
    EXPECT_EQ(std::filesystem::file_size(recording), 2 * 56u);
    EXPECT_TRUE(workspace.ExportDisplayed((folder / "out.csv").string(), ColumnFormat{}));
    EXPECT_TRUE(std::filesystem::exists(folder / "out.csv"));
}

// The worker appends while the user-interface side reads rows and edits one; every row read is a
// whole dataset and every appended dataset arrives. Run under ThreadSanitizer too.
TEST_F(HistoryWorkspaceTest, ConcurrentAppendWhileTheUserInterfaceReads) {
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
            workspace.Recording().RemoveKnown(batch);
            workspace.Recording().Append(recording, batch);
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
            EXPECT_TRUE(workspace.UpdateDisplayed(shown, edited));
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
TEST_F(HistoryWorkspaceTest, AFileReadElsewhereIsTakenInWithWhatWasWrittenSince) {
    LoadedHistory loaded = LoadHistoryFile(recording);
    ASSERT_TRUE(loaded.ok);
    ASSERT_EQ(loaded.datasets.size(), 3u);
    auto later = Series(5);
    later.erase(later.begin(), later.begin() + 3);
    ASSERT_TRUE(workspace.Recording().Append(recording, later));
    ASSERT_TRUE(workspace.AdoptDisplayed(std::move(loaded)));
    EXPECT_EQ(DisplayedCount(), 5u);
    EXPECT_FALSE(workspace.Recording().ChangedOnDisk(recording));

    const auto other = folder / "other.nvh";
    WriteWholeFile(other, RecordBytes(Series(2)));
    loaded = LoadHistoryFile(other);
    CHistoryData().Append(other, later); // another process appends meanwhile
    ASSERT_TRUE(workspace.AdoptDisplayed(std::move(loaded)));
    EXPECT_EQ(workspace.DisplayedTitle(), "other.nvh (4)");

    EXPECT_FALSE(workspace.AdoptDisplayed(LoadHistoryFile(folder / "missing.nvh")));
    EXPECT_EQ(DisplayedCount(), 0u);
}
