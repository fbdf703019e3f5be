#include "ui/ChartJob.h"
#include "ui/ChartPanel.h"
#include "ui/ChartView.h"

#include "Fakes.h"
#include "UiTests.h"

#include <QtTest>

#include <condition_variable>
#include <memory>
#include <mutex>

namespace {

const DATE Start = CDateTime(2024, 3, 14, 0, 0, 0).Value();

// A history whose reads wait at a gate the test lets them through, so a build can be held under way.
class GatedHistory : public DatasetsHistory {
public:
    // Datasets every ten minutes from Start on, with a pause of a day after the first week.
    void Append(int count) {
        for (int n = 0; n < count; ++n) {
            const int i = int(datasets.size());
            CDataset d;
            d.SetDateTime(CDateTime(Start + i / 144.0 + (i >= 1008 ? 1 : 0)));
            for (int s = 0; s < CDataset::SensorCount; ++s) {
                d.SetTemperature(s, float((i * 7 + s) % 300) / 10);
                d.SetHumidity(s, float(30 + i % 60));
            }
            datasets.push_back(d);
        }
    }

    void ReadDisplayed(const std::function<void(std::span<const CDataset>)>& read) const override {
        std::unique_lock lock(m_mutex);
        ++m_reads;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_passes != 0; });
        if (m_passes > 0)
            --m_passes;
        lock.unlock();
        read(datasets);
    }

    // How many reads may pass the gate from now on; -1: all.
    void SetPasses(int passes) {
        std::lock_guard lock(m_mutex);
        m_passes = passes;
        m_changed.notify_all();
    }
    // Waits until that many reads have begun.
    void WaitForReads(int reads) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_reads >= reads; });
    }
    int Reads() const {
        std::lock_guard lock(m_mutex);
        return m_reads;
    }

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    mutable int m_reads = 0;
    mutable int m_passes = -1;
};

void CompareBuilt(const ChartBuilt& built, const ChartBuilt& expected) {
    QCOMPARE(built.quantities, expected.quantities);
    QVERIFY(built.span && expected.span);
    QCOMPARE(built.span->first, expected.span->first);
    QCOMPARE(built.span->last, expected.span->last);
    QCOMPARE(built.from, expected.from);
    QCOMPARE(built.to, expected.to);
    QCOMPARE(built.lines.size(), expected.lines.size());
    for (std::size_t q = 0; q < built.lines.size(); ++q) {
        QVERIFY(built.lines[q].points == expected.lines[q].points);
        QCOMPARE(built.lines[q].runStarts, expected.lines[q].runStarts);
    }
}

} // namespace

class ChartJobTest : public QObject {
    Q_OBJECT
private slots:
    // The worker's result is the direct build's; of requests waiting behind a build under way
    // only the newest is built.
    void theNewestWaitingRequestIsBuilt() {
        GatedHistory history;
        history.Append(3000);
        std::vector<std::pair<ChartBuilt, std::uint64_t>> results;
        ChartJob job(history,
                     [&](ChartBuilt built, std::uint64_t number) { results.emplace_back(built, number); });
        const ChartRequest whole{ChartRange::All, false, 0, 1, 800, 5};
        ChartRequest week = whole;
        week.range = ChartRange::LastWeek;
        ChartRequest zoomed = whole;
        zoomed.manual = true;
        zoomed.from = Start + 6.5;
        zoomed.to = Start + 8.5;

        history.SetPasses(0);
        job.Request(whole, 1);
        history.WaitForReads(1);
        job.Request(week, 2);
        job.Request(zoomed, 3);
        history.SetPasses(-1);
        QTRY_COMPARE(results.size(), std::size_t(2));
        QCOMPARE(history.Reads(), 2);
        QCOMPARE(results[0].second, std::uint64_t(1));
        QCOMPARE(results[1].second, std::uint64_t(3));
        CompareBuilt(results[0].first, BuildChart(history.datasets, whole));
        CompareBuilt(results[1].first, BuildChart(history.datasets, zoomed));
        QVERIFY(results[1].first.manual);
        QCOMPARE(results[1].first.lines[0].RunCount(), std::size_t(2)); // the day's pause
    }

    // The user zooms while the chart of a changed history is built: that result comes too late
    // and is dropped, the window stays where the user put it, and the zoomed chart follows.
    void aResultAskedForBeforeANewerOneIsDropped() {
        GatedHistory history;
        history.Append(500);
        CChartPanel panel(history);
        panel.resize(900, 500);
        panel.show();
        panel.SetRange(CChartPanel::All);
        // However the test ends, no read stays held at the gate while the panel waits for it.
        const std::unique_ptr<GatedHistory, void (*)(GatedHistory*)> opened(
            &history, [](GatedHistory* gated) { gated->SetPasses(-1); });
        const int reads = history.Reads();

        history.SetPasses(0);
        history.Append(1500);
        panel.Invalidate();
        QTRY_COMPARE(history.Reads(), reads + 1); // the changed history's build is held
        panel.ShowSpan(0.5, 0.75);                // and the user zooms meanwhile
        const ChartWindow zoomed = panel.Window();
        QVERIFY(panel.IsZoomed());
        history.SetPasses(1);
        QTRY_COMPARE(history.Reads(), reads + 2); // the first build is done, its result on its way
        QCoreApplication::processEvents();
        QCOMPARE(panel.Window().from, zoomed.from);
        QCOMPARE(panel.Window().to, zoomed.to);
        QVERIFY(panel.Line(0).points.size() > 400); // still the first picture of the whole history

        history.SetPasses(-1);
        QTRY_VERIFY(panel.Line(0).points.size() < 200);
        QVERIFY(panel.IsZoomed());
        const auto lines = BuildChartLines(history.datasets, panel.Quantities(), panel.Window());
        QVERIFY(panel.Line(0).points == lines[0].points);
    }
};

static RegisterUiTest<ChartJobTest> registerChartJobTest;

#include "ChartJobTest.moc"
