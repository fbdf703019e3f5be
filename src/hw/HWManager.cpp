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

CHWManager::CHWManager(CI2CDriver::PortFactory factory) : _driver(std::move(factory)) {}
CHWManager::CHWManager(std::shared_ptr<SerialPort> port) : _driver(std::move(port)) {}

CHWManager::~CHWManager() {
    try {
        if (IsRunning()) {
            if (_shutdownEvent.Wait(0))
                WaitForShutdown();
            else
                Shutdown();
        }
    } catch (const std::exception& e) {
        Log().Log(10, "CHWManager::~CHWManager Error: %s", LogText(e).c_str());
    }
    if (_thread.joinable())
        _thread.join();
}

StartResult CHWManager::Start(const std::string& portName) {
    CriticalSectionLock lock(_startLock);
    _portName = portName;
    _startupFailure.clear();
    try {
        _thread = std::thread(&CHWManager::ThreadProc, this);
    } catch (const std::system_error& e) {
        throw os_error("Thread could not be created!", e.code().value());
    }
    _startedEvent.Wait(_startLock);
    if (!_startupFailure.empty()) {
        Shutdown();
        return {_startupFailure};
    }
    return {};
}

void CHWManager::Stop() {
    if (IsRunning())
        Shutdown();
}

bool CHWManager::Shutdown() {
    Log().Log(30, "CHWManager::Shutdown");
    _shutdownEvent.Set();
    const bool result = WaitForShutdown();
    Log().Log(30, "CHWManager::Shutdown Wait For Shutdown Finished");
    Log().Log(30, "CHWManager::Shutdown Closing Handle");
    // The worker has closed the driver; what is left of it is a few log lines.
    if (_thread.joinable())
        _thread.join();
    Log().Log(30, "CHWManager::Shutdown Closing Handle Finished");
    Log().Log(30, "CHWManager::Shutdown Reseting Events");
    _shutdownEvent.Reset();
    _cleanedUpEvent.Reset();
    Log().Log(30, "CHWManager::Shutdown Reseting Events Finished");
    Log().Log(30, "CHWManager::Shutdown Finished");
    return result;
}

bool CHWManager::WaitForShutdown() {
    Log().Log(30, "CHWManager::WaitForShutdown");
    Check(_thread.joinable()) << "Thread was not started!";
    Log().Log(30, "CHWManager::WaitForShutdown Waiting For CleanedUpEvent");
    const bool cleanedUp = _cleanedUpEvent.Wait(INFINITE);
    Log().Log(30, "CHWManager::WaitForShutdown Waiting Finished");
    if (!cleanedUp) {
        Log().Log(30, "CHWManager::WaitForShutdown Unknown Error");
        throw os_error();
    }
    Log().Log(30, "CHWManager::WaitForShutdown CleanedUpEvent has been set, thread was cleanly shutdown");
    return true;
}

bool CHWManager::AddRequest(const RequestPtr& request) {
    if (!_threadWorking.acquire(UiWaitMs))
        return false;
    MutexLock working(_threadWorking, false);
    CriticalSectionLock lock(_requestsLock);
    if (!_requests.empty())
        return false;
    _requests.push_back(request);
    _workAvailableEvent.Set();
    return true;
}

CHWManager::RequestPtr CHWManager::CurrentRequest() {
    CriticalSectionLock lock(_requestsLock);
    Check(Requests().size() == 1) << "No request available in list";
    return _requests.front();
}

CHWManager::RequestPtr CHWManager::TakeRequest() {
    Check(ThreadWorking().acquire(500)) << "Request is still running!";
    MutexLock working(_threadWorking, false);
    CriticalSectionLock lock(_requestsLock);
    Check(Requests().size() == 1) << "No request available in list";
    RequestPtr request = _requests.front();
    _requests.pop_front();
    return request;
}

std::string CHWManager::PortName() const {
    CriticalSectionLock lock(_startLock);
    return _portName;
}

void CHWManager::ThreadProc() {
    Log().Log(50, "CHWManager::ThreadProc Start");
    try {
        _driver.Open(_portName.c_str(), BaudRate, DeviceAddress, true);
        _startedEvent.Set();
    } catch (const std::exception& e) {
        Log().Log(10, "CHWManager::ThreadProc Error: %s", LogText(e).c_str());
        OnShutdown();
        _startupFailure = *e.what() ? e.what() : "the port could not be opened";
        _startedEvent.Set();
        return;
    } catch (...) {
        Log().Log(10, "CHWManager::ThreadProc Unknown Error");
        OnShutdown();
        _startupFailure = "the port could not be opened";
        _startedEvent.Set();
        return;
    }

    bool running = true;
    while (running) {
        try {
            const int signalled = Event::WaitAny({&_shutdownEvent, &_workAvailableEvent}, INFINITE);
            if (signalled == 0) {
                Log().Log(50, "CHWManager::ThreadProc OnShutdown");
                MutexLock working(_threadWorking);
                OnShutdown();
                running = false;
                Log().Log(50, "CHWManager::ThreadProc OnShutdown Finished");
            } else if (signalled == 1) {
                Log().Log(50, "CHWManager::ThreadProc OnWorkAvailable");
                MutexLock working(_threadWorking);
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
        if (_driver.IsOpened())
            _driver.Close();
    } catch (const std::exception& e) {
        Log().Log(10, "CHWManager::ThreadProc Error: %s", LogText(e).c_str());
    }
    Log().Log(30, "CHWManager::OnShutdown Closing Driver Finished");
    _cleanedUpEvent.Set();
}

void CHWManager::OnWorkAvailable() {
    RequestPtr request = CurrentRequest();
    request->Execute(_driver);
    PostTo(request->Window(), Message::WorkFinished);
}
