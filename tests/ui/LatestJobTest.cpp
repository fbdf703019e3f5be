#include "ui/LatestJob.h"

#include "UiTests.h"

#include <QThreadPool>
#include <QtTest>

#include <atomic>
#include <future>
#include <memory>
#include <thread>

namespace {

constexpr int Bound = 20000; // ms; only ends a hang

// Work that returns value once the test opens its gate, and says on which thread it ran.
struct GatedWork {
    std::promise<void> gate;
    std::shared_future<void> opened = gate.get_future().share();
    std::atomic<bool> done{false};
    std::thread::id thread;

    std::function<int()> Returning(int value) {
        return [this, value, opened = opened] {
            thread = std::this_thread::get_id();
            opened.wait();
            done = true;
            return value;
        };
    }
};

// The pool runs two pieces of work side by side whatever the machine.
class PoolOfAtLeastTwo {
public:
    PoolOfAtLeastTwo() : m_threads(QThreadPool::globalInstance()->maxThreadCount()) {
        QThreadPool::globalInstance()->setMaxThreadCount(std::max(m_threads, 2));
    }
    ~PoolOfAtLeastTwo() {
        QThreadPool::globalInstance()->waitForDone();
        QThreadPool::globalInstance()->setMaxThreadCount(m_threads);
    }

private:
    int m_threads;
};

} // namespace

class LatestJobTest : public QObject {
    Q_OBJECT
private slots:
    void theNewerRequestWinsOverAnOlderOneThatFinishesLater() {
        PoolOfAtLeastTwo pool;
        QObject owner;
        LatestJob<int> job(owner);
        std::vector<int> shown;
        GatedWork older, newer;
        job.Start(older.Returning(1), [&](int value) { shown.push_back(value); });
        job.Start(newer.Returning(2), [&](int value) { shown.push_back(value); });
        QVERIFY(job.Running());
        newer.gate.set_value();
        QTRY_VERIFY_WITH_TIMEOUT(!shown.empty(), Bound);
        QCOMPARE(shown, std::vector<int>{2});
        QVERIFY(!job.Running());
        QVERIFY(newer.thread != std::this_thread::get_id());

        older.gate.set_value();
        QVERIFY(QThreadPool::globalInstance()->waitForDone(Bound));
        QVERIFY(older.done);
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QCOMPARE(shown, std::vector<int>{2});
    }

    // The window closes while the work runs: the work ends on its own, and nothing of the owner
    // is touched afterwards.
    void theOwnerMayGoWhileTheWorkRuns() {
        auto owner = std::make_unique<QObject>();
        auto job = std::make_unique<LatestJob<int>>(*owner);
        bool handed = false;
        GatedWork work;
        job->Start(work.Returning(1), [&](int) { handed = true; });
        job.reset();
        owner.reset();
        work.gate.set_value();
        QVERIFY(QThreadPool::globalInstance()->waitForDone(Bound));
        QVERIFY(work.done);
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QVERIFY(!handed);
    }
};

static RegisterUiTest<LatestJobTest> registerLatestJobTest;

#include "LatestJobTest.moc"
