#include "base/CriticalSection.h"
#include "base/Event.h"
#include "base/Mutex.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

TEST(EventTest, PollOnNonSignalledEventReturnsFalseAtOnce) {
    Event event(true, true);
    EXPECT_FALSE(event.Wait(0));
}

TEST(EventTest, ManualResetStaysSignalledUntilReset) {
    Event event(true, true);
    event.Set();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_TRUE(event.Wait(0));
    event.Reset();
    EXPECT_FALSE(event.Wait(0));
}

TEST(EventTest, AutoResetIsTakenOnce) {
    Event event(true, false);
    event.Set();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.Wait(0));
}

TEST(EventTest, TimedWaitTimesOut) {
    Event event(true, true);
    EXPECT_FALSE(event.Wait(20));
}

TEST(EventTest, WaitWakesWhenAnotherThreadSets) {
    Event event(true, false);
    std::thread setter([&] { event.Set(); });
    EXPECT_TRUE(event.Wait(WaitForever));
    setter.join();
}

TEST(EventTest, WaitAnyReportsTheSignalledEventAndResetsOnlyAutoEvents) {
    Event shutdown(true, true), work(true, false);
    EXPECT_EQ(Event::WaitAny({&shutdown, &work}, 0), -1);
    work.Set();
    EXPECT_EQ(Event::WaitAny({&shutdown, &work}, 0), 1);
    EXPECT_FALSE(work.Wait(0));
    shutdown.Set();
    work.Set();
    EXPECT_EQ(Event::WaitAny({&shutdown, &work}, WaitForever), 0); // the first signalled wins
    EXPECT_TRUE(shutdown.Wait(0));
}

TEST(EventTest, EventNotCreatedRaises) {
    Event none(false, false);
    EXPECT_FALSE(none.IsCreated());
    EXPECT_THROW(none.Set(), std::runtime_error);
}

TEST(EventTest, WaitWithCriticalSectionLetsTheOtherThreadIn) {
    CriticalSection section;
    Event started(true, false);
    bool flag = false;
    CriticalSectionLock lock(section);
    std::thread other([&] {
        CriticalSectionLock inner(section); // blocks until the waiter leaves the section
        flag = true;
        started.Set();
    });
    started.Wait(section);
    EXPECT_TRUE(flag);
    other.join();
}

TEST(MutexTest, TimedAcquireFailsWhileAnotherThreadHoldsIt) {
    Mutex mutex;
    ASSERT_TRUE(mutex.acquire(0));
    std::thread other([&] {
        EXPECT_FALSE(mutex.acquire(0));
        EXPECT_FALSE(mutex.acquire(20));
        mutex.release(); // not the owner: ignored
    });
    other.join();
    mutex.release();
    std::thread again([&] {
        EXPECT_TRUE(mutex.acquire(0));
        mutex.release();
    });
    again.join();
}

TEST(MutexTest, RecursiveAndLockTakesOverAcquiredMutex) {
    Mutex mutex;
    ASSERT_TRUE(mutex.acquire(100));
    {
        MutexLock takeOver(mutex, false);
        MutexLock nested(mutex);
    }
    std::thread other([&] {
        EXPECT_TRUE(mutex.acquire(0));
        mutex.release();
    });
    other.join();
}

TEST(MutexTest, WaiterGetsTheMutexWhenReleased) {
    Mutex mutex;
    mutex.acquire(WaitForever);
    std::atomic<bool> got{false};
    std::thread waiter([&] {
        got = mutex.acquire(WaitForever);
        mutex.release();
    });
    mutex.release();
    waiter.join();
    EXPECT_TRUE(got);
}

} // namespace
