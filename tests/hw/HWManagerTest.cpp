#include "hw/HWManager.h"
#include "base/Errors.h"
#include "log/Logger.h"
#include "ports/PortFactory.h"
#include "simulator/SimulatedSerialPort.h"

#include "RequestRecorder.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

// A request whose work the test decides.
class ScriptedRequest : public CHWRequest {
public:
    ScriptedRequest(RequestObserverRef observer, std::function<void(ScriptedRequest&)> body)
        : CHWRequest(std::move(observer)), m_body(std::move(body)) {}
    void Execute(CI2CDriver&) override { m_body(*this); }
    std::string Name() const override { return "Scripted"; }

private:
    std::function<void(ScriptedRequest&)> m_body;
};

class HWManagerTest : public ::testing::Test {
protected:
    static constexpr CLogger::LocalTime Today{2005, 1, 17, 12, 0, 0, 0};

    void SetUp() override {
        CLogger::Instance().SetLevel(50);
        CLogger::Instance().SetFileOutput(true);
        // A fixed day keeps the log in one file; the clock also counts the watched thread's lines.
        CLogger::Instance().SetClock([this] {
            if (watchedThread.load() == std::this_thread::get_id() && ++watchedLines == watchedLinesAwaited)
                watchedThreadLogged.Set();
            return Today;
        });
    }
    void TearDown() override {
        CLogger::Instance().SetFileOutput(false);
        CLogger::Instance().SetLevel(0);
        CLogger::Instance().SetClock(nullptr);
    }
    std::string Log() const { return ReadWholeFile(dir / CLogger::FileNameFor(Today)); }

    std::shared_ptr<CHWRequest> Succeeding() {
        return std::make_shared<ScriptedRequest>(recorder, [](ScriptedRequest& r) { r.SetSucceeded(true); });
    }

    TempDir dir;
    CurrentDirectory cwd{dir.path()};
    std::shared_ptr<RequestRecorder> recorder = std::make_shared<RequestRecorder>();
    std::atomic<std::thread::id> watchedThread{};
    std::atomic<int> watchedLines{0};
    int watchedLinesAwaited = 1;
    Event watchedThreadLogged{true, true};
    CHWManager manager{std::make_shared<SimulatedSerialPort>(ClockMode::Virtual)};
};

TEST_F(HWManagerTest, RunsARequestAndHandsItBack) {
    ASSERT_TRUE(manager.Start("sim"));
    EXPECT_TRUE(manager.IsRunning());
    auto request = Succeeding();
    ASSERT_TRUE(manager.AddRequest(request));
    ASSERT_TRUE(recorder->WaitForFinished());
    EXPECT_EQ(manager.TakeRequest(), request);
    EXPECT_TRUE(request->Succeeded());
    ASSERT_EQ(recorder->Outcomes().size(), 1u);
    EXPECT_TRUE(recorder->Outcomes()[0].succeeded);
    manager.Stop();
    EXPECT_FALSE(manager.IsRunning());
}

TEST_F(HWManagerTest, AddRequestRefusesWhileTheListIsOccupied) {
    ASSERT_TRUE(manager.Start("sim"));
    ASSERT_TRUE(manager.AddRequest(Succeeding()));
    ASSERT_TRUE(recorder->WaitForFinished());
    // Finished but not taken back: the list still holds it.
    EXPECT_FALSE(manager.AddRequest(Succeeding()));
    manager.TakeRequest();
    EXPECT_TRUE(manager.AddRequest(Succeeding()));
}

TEST_F(HWManagerTest, TakeRequestOnAnEmptyListRaises) {
    ASSERT_TRUE(manager.Start("sim"));
    try {
        manager.TakeRequest();
        FAIL() << "no error raised";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "No request available in list");
        const std::string text = LogText(e);
        EXPECT_NE(text.find("Expression 'Requests().size() == 1' failed. No request available in list"),
                  std::string::npos)
            << text;
    }
}

TEST_F(HWManagerTest, StartOnAPortThatCannotBeOpened) {
    CHWManager real(CI2CDriver::PortFactory([](const std::string& name) { return MakeSerialPort(name); }));
    const StartResult started = real.Start("/dev/nivaro-no-such-port");
    EXPECT_FALSE(started);
    EXPECT_EQ(started.failure, "Could not open com-port /dev/nivaro-no-such-port No such file or directory");
    EXPECT_FALSE(real.IsRunning());
    const std::string log = Log();
    EXPECT_NE(log.find("CHWManager::ThreadProc Error: "), std::string::npos);
    EXPECT_NE(log.find("Could not open com-port"), std::string::npos);
    EXPECT_NE(log.find("CHWManager::OnShutdown Closing Driver Finished"), std::string::npos);
    EXPECT_NE(log.find("CHWManager::Shutdown Finished"), std::string::npos);
}

TEST_F(HWManagerTest, StopOnAManagerNeverStarted) {
    manager.Stop();
    EXPECT_FALSE(manager.IsRunning());
    try {
        manager.WaitForShutdown();
        FAIL() << "no error raised";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("Thread was not started!"), std::string::npos);
    }
}

// The request is let go only once the stopping thread is about to wait inside Stop, or Stop has
// returned; the stopping thread notes whether the request had finished when Stop returned. A Stop
// that does not wait returns while the request is still held, and the test fails.
TEST_F(HWManagerTest, StopWaitsForTheRunningRequest) {
    ASSERT_TRUE(manager.Start("sim"));
    Event started(true, true), release(true, true);
    std::atomic<bool> finished{false};
    auto request = std::make_shared<ScriptedRequest>(recorder, [&](ScriptedRequest& r) {
        started.Set();
        release.Wait(WaitForever);
        r.SetSucceeded(true);
        finished = true;
    });
    ASSERT_TRUE(manager.AddRequest(request));
    started.Wait(WaitForever);
    // Stop logs "CHWManager::Shutdown", "CHWManager::WaitForShutdown" and "... Waiting For
    // CleanedUpEvent" on the calling thread before it waits for the worker.
    watchedLinesAwaited = 3;
    bool finishedWhenStopReturned = false;
    std::thread stopper([&] {
        watchedThread = std::this_thread::get_id();
        manager.Stop();
        finishedWhenStopReturned = finished;
        watchedThreadLogged.Set(); // a Stop that logs nothing must not leave the test waiting
    });
    watchedThreadLogged.Wait(WaitForever);
    release.Set();
    stopper.join();
    EXPECT_TRUE(finishedWhenStopReturned);
    EXPECT_TRUE(request->Succeeded());
    EXPECT_EQ(recorder->Outcomes().size(), 1u);
}

TEST_F(HWManagerTest, RestartsAfterStop) {
    ASSERT_TRUE(manager.Start("sim"));
    manager.Stop();
    ASSERT_TRUE(manager.Start("sim"));
    ASSERT_TRUE(manager.AddRequest(Succeeding()));
    ASSERT_TRUE(recorder->WaitForFinished());
    EXPECT_TRUE(manager.TakeRequest()->Succeeded());
}

TEST_F(HWManagerTest, ARequestThatRaisesIsLoggedAndKeepsTheListOccupied) {
    ASSERT_TRUE(manager.Start("sim"));
    Event done(true, true);
    auto raising = std::make_shared<ScriptedRequest>(recorder, [&](ScriptedRequest&) {
        done.Set();
        throw std::runtime_error("boom");
    });
    ASSERT_TRUE(manager.AddRequest(raising));
    done.Wait(WaitForever);
    manager.Stop(); // the worker has handled the request once Stop returns
    EXPECT_TRUE(recorder->Outcomes().empty());
    EXPECT_EQ(manager.Requests().size(), 1u);
    EXPECT_NE(Log().find("CHWManager::ThreadProc Error: boom"), std::string::npos);
}

TEST_F(HWManagerTest, AGoneTargetIsNotAnError) {
    ASSERT_TRUE(manager.Start("sim"));
    Event ran(true, true);
    auto request = std::make_shared<ScriptedRequest>(RequestObserverRef{}, [&](ScriptedRequest& r) {
        r.SetSucceeded(true);
        ran.Set();
    });
    ASSERT_TRUE(manager.AddRequest(request));
    ran.Wait(WaitForever); // a shutdown asked for at the same time would win over the request
    manager.Stop();
    EXPECT_TRUE(request->Succeeded());
}

} // namespace
