#include "FileSizeLimit.h"
#include "HistoryTestSupport.h"
#include "TempDir.h"
#include "history/HistoryData.h"
#include "history/HistoryExport.h"
#include "history/HistoryFile.h"
#include "history/HistoryRecord.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <limits>

namespace {

struct SharedHistoryFileTest : ::testing::Test {
    TempDir dir;
    std::filesystem::path file = dir / "history.nvh";
    CHistoryData store;

    // Runs work in a child process (another program on the same file) and returns its exit code.
    static int InChildProcess(const std::function<bool()>& work) {
        const pid_t child = ::fork();
        if (child == 0)
            ::_exit(work() ? 0 : 1);
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

std::vector<CDataset> Slice(const std::vector<CDataset>& all, std::size_t first, std::size_t count) {
    return {all.begin() + static_cast<std::ptrdiff_t>(first),
            all.begin() + static_cast<std::ptrdiff_t>(first + count)};
}

} // namespace

// The desktop shows 300 datasets; an import in another process appends 100; the user deletes one
// row: the other 399 stay, in the file and on the screen.
TEST_F(SharedHistoryFileTest, DeleteAfterAnotherProcessAppendedKeepsEveryOtherDataset) {
    const auto all = Series(400);
    ASSERT_TRUE(store.Append(file, Slice(all, 0, 300)));
    ASSERT_TRUE(store.Read(file));
    ASSERT_EQ(store.Size(), 300u);

    ASSERT_EQ(InChildProcess([&] {
                  CHistoryData importer;
                  return importer.Read(file) &&
                         static_cast<bool>(importer.Append(file, Slice(all, 300, 100)));
              }),
              0);
    EXPECT_EQ(std::filesystem::file_size(file), 400 * HistoryRecordSize);
    EXPECT_TRUE(store.ChangedOnDisk(file));

    ASSERT_TRUE(store.Delete(file, std::vector{all[5]}));
    std::vector<CDataset> expected = all;
    expected.erase(expected.begin() + 5);
    EXPECT_EQ(ReadWholeFile(file), RecordBytes(expected));
    EXPECT_EQ(store.Size(), 399u);
    EXPECT_FALSE(store.ChangedOnDisk(file));
}

// The dataset the user picked is the one deleted, wherever the reread file puts it.
TEST_F(SharedHistoryFileTest, DeleteAfterAnEarlierDatasetArrivedErasesTheChosenDataset) {
    const auto all = Series(4);
    ASSERT_TRUE(store.Append(file, {all[1], all[2], all[3]}));
    ASSERT_EQ(InChildProcess([&] { return static_cast<bool>(CHistoryData().Append(file, {all[0]})); }), 0);
    ASSERT_TRUE(store.Delete(file, std::vector{all[1]})); // row 0 showed all[1]
    EXPECT_EQ(ReadWholeFile(file), RecordBytes({all[0], all[2], all[3]}));
}

// An append of a store that has not seen another process's append does not double what that
// process wrote.
TEST_F(SharedHistoryFileTest, AppendAfterAnotherProcessAppendedAddsOnlyWhatIsNew) {
    const auto all = Series(5);
    ASSERT_TRUE(store.Append(file, {all[0], all[1]}));
    ASSERT_EQ(InChildProcess([&] {
                  return static_cast<bool>(CHistoryData().Append(file, {all[2], all[3]}));
              }),
              0);
    ASSERT_TRUE(store.Append(file, {all[3], all[4]}));
    EXPECT_EQ(ReadWholeFile(file), RecordBytes(all));
    EXPECT_EQ(store.Size(), 5u);
}

TEST_F(SharedHistoryFileTest, AWriterHoldsTheFileAgainstOtherProcesses) {
    ASSERT_TRUE(store.Append(file, Series(1)));
    const auto tryLock = [&] {
        return HistoryFileLock::Acquire(file, HistoryFileLock::Mode::Exclusive, false, false).Held();
    };
    {
        const HistoryFileLock held = HistoryFileLock::Acquire(file, HistoryFileLock::Mode::Exclusive, false);
        ASSERT_TRUE(held.Held());
        EXPECT_EQ(InChildProcess(tryLock), 1);
    }
    EXPECT_EQ(InChildProcess(tryLock), 0);
}

// A failed edit or delete leaves memory as the file is, so a later write cannot carry it in.
TEST_F(SharedHistoryFileTest, FailedWritesLeaveMemoryAlone) {
    const auto all = Series(3);
    ASSERT_TRUE(store.Append(file, all));
    // The new file cannot take the records: the rewrite fails before the history is touched.
    {
        const FileSizeLimit full(HistoryRecordSize);
        const HistoryOutcome deleted = store.Delete(file, std::vector{all[0]});
        EXPECT_FALSE(deleted);
        EXPECT_EQ(deleted.reason, "File too large");
    }
    EXPECT_EQ(store.Size(), 3u);
    EXPECT_EQ(ReadWholeFile(file), RecordBytes(all));

    // Another program took the dataset out of the file meanwhile: the edit cannot land.
    WriteWholeFile(file, RecordBytes({all[0], all[2]}));
    CDataset edited = all[1];
    edited.SetTemperature(0, 30.0f);
    EXPECT_FALSE(store.Update(file, all[1], edited));
    EXPECT_EQ(store.At(1).GetTemperature(0), all[1].GetTemperature(0));
    EXPECT_EQ(ReadWholeFile(file), RecordBytes({all[0], all[2]}));
}

TEST_F(SharedHistoryFileTest, ReadingCountsWhatNoStationWrites) {
    const auto good = Series(1)[0];
    const auto with = [&](auto change) {
        CDataset dataset = good;
        change(dataset);
        return dataset;
    };
    const std::vector<CDataset> records = {
        good,
        with([](CDataset& d) { d.SetTemperature(1, CDataset::TemperatureNotAvailable); }),
        with([](CDataset& d) { d.SetTemperature(2, CDataset::TemperatureOverflow); }),
        with([](CDataset& d) { d.SetHumidity(3, CDataset::HumidityOverflow); }),
        with([](CDataset& d) { d.SetTemperature(0, 69.9f); }),
        with([](CDataset& d) { d.SetTemperature(0, -30.0f); }),
        // damage from here on
        with([](CDataset& d) { d.SetDateTime(CDateTime(0.0)); }), // 1899
        with([](CDataset& d) { d.SetTemperature(0, 3e38f); }),
        with([](CDataset& d) { d.SetHumidity(0, std::numeric_limits<float>::quiet_NaN()); }),
        with([](CDataset& d) { d.SetHumidity(2, 150.0f); }),
        with([](CDataset& d) { d.SetTemperature(5, 70.0f); }),
        with([](CDataset& d) { d.SetTemperature(0, -30.1f); }),
    };
    WriteWholeFile(file, RecordBytes(records) + std::string(20, '\x7f'));
    const std::string before = ReadWholeFile(file);
    ASSERT_TRUE(store.Read(file));
    EXPECT_EQ(store.Size(), records.size()); // shown as they are
    EXPECT_EQ(store.Damage(), (HistoryDamage{20, 6}));
    EXPECT_EQ(DamageText(store.Damage()),
              "6 records hold values no station records; the last 20 bytes are an incomplete record and were "
              "not read");
    EXPECT_EQ(ReadWholeFile(file), before); // nothing rewritten by reading

    WriteWholeFile(file, RecordBytes({good}));
    ASSERT_TRUE(store.Read(file));
    EXPECT_FALSE(store.Damage().Any());
}

namespace {

// A format whose file fills up after a number of datasets.
class FillingWriter : public ExportWriter {
public:
    explicit FillingWriter(int room) : m_room(room) {}
    HistoryOutcome Open(const ExportDestination& destination) override {
        EXPECT_EQ(::write(destination.fd, "partial", 7), 7);
        return {};
    }
    bool Write(const CDataset&) override { return m_room-- > 0; }
    HistoryOutcome Close() override {
        return m_room < 0 ? HistoryOutcome::Failure("No space left on device") : HistoryOutcome{};
    }

private:
    int m_room;
};

} // namespace

TEST_F(SharedHistoryFileTest, ExportRefusesHistoryFilesAndLeavesTheTargetOnFailure) {
    const auto all = Series(3);
    ASSERT_TRUE(store.Append(file, all));
    const std::filesystem::path historyFiles[] = {file, dir / "displayed.nvh"};
    WriteWholeFile(dir / "displayed.nvh", RecordBytes({all[0]}));

    for (const std::filesystem::path& target : historyFiles) {
        const std::string before = ReadWholeFile(target);
        const HistoryOutcome refused = store.Export(target, ColumnFormat{}, historyFiles);
        EXPECT_FALSE(refused);
        EXPECT_EQ(refused.reason,
                  "\"" + target.string() + "\" is a history file; choose another file for the export.");
        EXPECT_EQ(ReadWholeFile(target), before);
    }

    const std::filesystem::path target = dir / "export.txt";
    WriteWholeFile(target, "earlier export");
    FillingWriter writer(1);
    const HistoryOutcome full = ExportHistory(target, historyFiles, writer, [&](const auto& write) {
        for (const CDataset& dataset : all)
            if (!write(dataset))
                return false;
        return true;
    });
    EXPECT_EQ(full.reason, "No space left on device");
    EXPECT_EQ(ReadWholeFile(target), "earlier export");
    EXPECT_EQ(FilesIn(dir.path()), 3u) << "no new file left beside it";
}

// A writer waits for another program's lock only so long, says who holds it, and stops waiting
// when interrupted; a FIFO in the history file's place is refused without waiting for a writer.
TEST_F(SharedHistoryFileTest, WaitsForTheLockAreBoundedAndSayWhoHoldsIt) {
    ASSERT_TRUE(store.Append(file, Series(1)));
    const HistoryFileLock held = HistoryFileLock::Acquire(file, HistoryFileLock::Mode::Exclusive, false);
    ASSERT_TRUE(held.Held());
    const std::string holder = "it is in use by test_history (process " + std::to_string(::getpid()) + ")";
    EXPECT_EQ(InChildProcess([&] {
                  HistoryFileLock::SetWaitLimit(std::chrono::milliseconds(100));
                  const HistoryOutcome appended = CHistoryData().Append(file, Series(2));
                  return appended.reason == holder + " for longer than 0 s";
              }),
              0);
    EXPECT_EQ(InChildProcess([&] {
                  HistoryFileLock::InterruptWaits();
                  const HistoryFileLock lock =
                      HistoryFileLock::Acquire(file, HistoryFileLock::Mode::Shared, false);
                  return !lock.Held() && lock.Reason() == "interrupted while waiting: " + holder;
              }),
              0);
    EXPECT_EQ(std::filesystem::file_size(file), HistoryRecordSize);

    const auto fifo = dir / "fifo.nvh";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(store.Read(fifo));
    EXPECT_EQ(store.Append(fifo, Series(1)).reason, "not a regular file");
}
