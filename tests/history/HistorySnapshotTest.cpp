#include "HistoryTestSupport.h"
#include "TempDir.h"
#include "history/HistoryData.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

namespace {

struct HistorySnapshotTest : ::testing::Test {
    TempDir dir;
    std::filesystem::path file = dir / "history.nvh";
    CHistoryData store;
    std::vector<CDataset> series = Series(6);

    std::vector<CDataset> Held() const {
        return store.WithDatasets([](const std::vector<CDataset>& held) { return held; });
    }
};

} // namespace

// A snapshot stays as it was taken whatever the store does next, and the store goes on with the
// change; a snapshot taken afterwards shows it.
TEST_F(HistorySnapshotTest, EveryChangeLeavesAnEarlierSnapshotAsItWas) {
    CDataset edited = series[1];
    edited.SetTemperature(0, 30.0f);
    struct Case {
        const char* name;
        std::function<void(HistorySnapshotTest&)> change;
        std::size_t sizeAfter;
    };
    const Case cases[] = {
        {"append", [](HistorySnapshotTest& t) { ASSERT_TRUE(t.store.Append(t.file, {t.series[5]})); }, 5},
        {"append before", [](HistorySnapshotTest& t) { ASSERT_TRUE(t.store.Append(t.file, {t.series[0]})); },
         5},
        {"update", [&](HistorySnapshotTest& t) { ASSERT_TRUE(t.store.Update(t.file, t.series[1], edited)); },
         4},
        {"delete",
         [](HistorySnapshotTest& t) { ASSERT_TRUE(t.store.Delete(t.file, std::vector{t.series[2]})); }, 3},
        {"read again",
         [](HistorySnapshotTest& t) {
             WriteWholeFile(t.file, RecordBytes({t.series[0]}));
             ASSERT_TRUE(t.store.Read(t.file));
         },
         1},
        {"clear", [](HistorySnapshotTest& t) { t.store.Clear(); }, 0},
    };
    const std::vector<CDataset> before(series.begin() + 1, series.end() - 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteWholeFile(file, RecordBytes(before));
        ASSERT_TRUE(store.Read(file));
        const SharedDatasets::Snapshot snapshot = store.Snapshot();
        c.change(*this);
        EXPECT_EQ(*snapshot, before);
        EXPECT_EQ(store.Size(), c.sizeAfter);
        EXPECT_EQ(*store.Snapshot(), Held());
        // A second change after the snapshot changes the store only.
        ASSERT_TRUE(store.Append(file, {MakeDataset(2010, 1, 1, 0, 0)}));
        EXPECT_EQ(*snapshot, before);
        EXPECT_EQ(store.Size(), c.sizeAfter + 1);
    }
}

// Another thread reads a snapshot while imports append to the store (under ThreadSanitizer this
// finds a snapshot that shares what the store changes).
TEST_F(HistorySnapshotTest, AReaderOnAnotherThreadSeesItsSnapshotWhileTheStoreGrows) {
    std::vector<CDataset> first = Series(2000);
    for (std::size_t i = 0; i < first.size(); ++i) // values a station records
        first[i].SetTemperature(0, float(i % 400) / 10.0f);
    WriteWholeFile(file, RecordBytes(first));
    ASSERT_TRUE(store.Read(file));
    double expected = 0;
    for (const CDataset& dataset : first)
        expected += dataset.GetTemperature(0);

    const SharedDatasets::Snapshot snapshot = store.Snapshot();
    std::atomic<bool> appending{true};
    std::atomic<int> passes{0};
    double summed = 0;
    std::thread reader([&] {
        // At least a few passes, and on until the appends are done.
        while (passes < 3 || appending) {
            double sum = 0;
            for (const CDataset& dataset : *snapshot)
                sum += dataset.GetTemperature(0);
            summed = sum;
            ++passes;
        }
    });
    for (int i = 0; i < 50; ++i)
        EXPECT_TRUE(store.Append(file, {MakeDataset(2010, 1, 1, 0, i)})) << store.LastAppendFailure();
    appending = false;
    reader.join();
    EXPECT_EQ(summed, expected);
    EXPECT_EQ(snapshot->size(), first.size());
    EXPECT_EQ(store.Size(), first.size() + 50);
}
