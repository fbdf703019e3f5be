#include "hw/HWManager.h"

#include "base/Check.h"
#include "log/Logger.h"

namespace {

constexpr std::uint32_t BaudRate = 300;
constexpr std::uint8_t DeviceAddress = 0xA0;
constexpr std::uint32_t UiWaitMs = 500;

CLogger& Log() {
    return CLogger::Instance();
}

} // namespace

CHWManager::CHWManager(CI2CDriver::PortFactory factory) : m_driver(std::move(factory)) {}
CHWManager::CHWManager(std::shared_ptr<SerialPort> port) : m_driver(std::move(port)) {}

CHWManager::~CHWManager() {
    try {
        if (IsRunning()) {
            if (m_shutdownEvent.Wait(0))
                WaitForShutdown();
            else
                Shutdown();
        }
    } catch (const std::exception& e) {
        Log().Log(10, "CHWManager::~CHWManager Error: %s", LogText(e).c_str());
    }
    if (m_thread.joinable())
        m_thread.join();
}

StartResult CHWManager::Start(const std::string& portName) {
    CriticalSectionLock lock(m_startLock);
    m_portName = portName;
    m_startupFailure.clear();
    try {
        m_thread = std::thread(&CHWManager::ThreadProc, this);
    } catch (const std::system_error& e) {
        throw os_error("Thread could not be created!", e.code().value());
    }
    m_startedEvent.Wait(m_startLock);
    if (!m_startupFailure.empty()) {
        Shutdown();
        return {m_startupFailure};
    }
    return {};
}

void CHWManager::Stop() {
    if (IsRunning())
        Shutdown();
}

bool CHWManager::Shutdown() {
    Log().Log(30, "CHWManager::Shutdown");
    m_shutdownEvent.Set();
    const bool result = WaitForShutdown();
    Log().Log(30, "CHWManager::Shutdown Wait For Shutdown Finished");
    Log().Log(30, "CHWManager::Shutdown Closing Handle");
    // The worker has closed the driver; what is left of it is a few log lines.
    if (m_thread.joinable())
        m_thread.join();
    Log().Log(30, "CHWManager::Shutdown Closing Handle Finished");
    Log().Log(30, "CHWManager::Shutdown Reseting Events");
    m_shutdownEvent.Reset();
    m_cleanedUpEvent.Reset();
    Log().Log(30, "CHWManager::Shutdown Reseting Events Finished");
    Log().Log(30, "CHWManager::Shutdown Finished");
    return result;
}

bool CHWManager::WaitForShutdown() {
    Log().Log(30, "CHWManager::WaitForShutdown");
    Check(m_thread.joinable()) << "Thread was not started!";
    Log().Log(30, "CHWManager::WaitForShutdown Waiting For CleanedUpEvent");
    const bool cleanedUp = m_cleanedUpEvent.Wait(WaitForever);
    Log().Log(30, "CHWManager::WaitForShutdown Waiting Finished");
    if (!cleanedUp) {
        Log().Log(30, "CHWManager::WaitForShutdown Unknown Error");
        throw os_error();
    }
    Log().Log(30, "CHWManager::WaitForShutdown CleanedUpEvent has been set, thread was cleanly shutdown");
    return true;
}

bool CHWManager::AddRequest(const RequestPtr& request) {
    if (!m_threadWorking.acquire(UiWaitMs))
        return false;
    MutexLock working(m_threadWorking, false);
    CriticalSectionLock lock(m_requestsLock);
    if (!m_requests.empty())
        return false;
    m_requests.push_back(request);
    m_workAvailableEvent.Set();
    return true;
}

CHWManager::RequestPtr CHWManager::CurrentRequest() {
    CriticalSectionLock lock(m_requestsLock);
    Check(Requests().size() == 1) << "No request available in list";
    return m_requests.front();
}

CHWManager::RequestPtr CHWManager::TakeRequest() {
    Check(ThreadWorking().acquire(500)) << "Request is still running!";
    MutexLock working(m_threadWorking, false);
    CriticalSectionLock lock(m_requestsLock);
    Check(Requests().size() == 1) << "No request available in list";
    RequestPtr request = m_requests.front();
    m_requests.pop_front();
    return request;
}

std::string CHWManager::PortName() const {
    CriticalSectionLock lock(m_startLock);
    return m_portName;
}

void CHWManager::ThreadProc() {
    Log().Log(50, "CHWManager::ThreadProc Start");
    try {
        m_driver.Open(m_portName.c_str(), BaudRate, DeviceAddress, true);
        m_startedEvent.Set();
    } catch (const std::exception& e) {
        Log().Log(10, "CHWManager::ThreadProc Error: %s", LogText(e).c_str());
        OnShutdown();
        m_startupFailure = *e.what() ? e.what() : "the port could not be opened";
        m_startedEvent.Set();
        return;
    } catch (...) {
        Log().Log(10, "CHWManager::ThreadProc Unknown Error");
        OnShutdown();
        m_startupFailure = "the port could not be opened";
        m_startedEvent.Set();
        return;
    }

    bool running = true;
    while (running) {
        try {
            const int signalled = Event::WaitAny({&m_shutdownEvent, &m_workAvailableEvent}, WaitForever);
            if (signalled == 0) {
                Log().Log(50, "CHWManager::ThreadProc OnShutdown");
                MutexLock working(m_threadWorking);
                OnShutdown();
                running = false;
                Log().Log(50, "CHWManager::ThreadProc OnShutdown Finished");
            } else if (signalled == 1) {
                Log().Log(50, "CHWManager::ThreadProc OnWorkAvailable");
                MutexLock working(m_threadWorking);
                OnWorkAvailable();
                Log().Log(50, "CHWManager::ThreadProc OnWorkAvailable Finished");
            } else {
                Log().Log(10, "CHWManager::ThreadProc Unknown Error");
                // Close the port and tell a waiting Shutdown, so it does not wait for ever.
                OnShutdown();
                return;
            }
        } catch (const std::exception& e) {
            Log().Log(10, "CHWManager::ThreadProc Error: %s", LogText(e).c_str());
        } catch (...) {
            Log().Log(10, "CHWManager::ThreadProc Unknown Error");
        }
    }
    Log().Log(50, "CHWManager::ThreadProc Finished");
}

void CHWManager::OnShutdown() {
    Log().Log(30, "CHWManager::OnShutdown Closing Driver");
    try {
        if (m_driver.IsOpened())
            m_driver.Close();
    } catch (const std::exception& e) {
        Log().Log(10, "CHWManager::ThreadProc Error: %s", LogText(e).c_str());
    }
    Log().Log(30, "CHWManager::OnShutdown Closing Driver Finished");
    m_cleanedUpEvent.Set();
}

void CHWManager::OnWorkAvailable() {
    RequestPtr request = CurrentRequest();
    request->Execute(m_driver);
    if (const auto observer = request->Observer())
        observer->Finished(request->Outcome());
}
