#include "hw/HWRequest.h"

#include "base/Errors.h"
#include "link/I2CDriver.h"
#include "log/Logger.h"

#include <chrono>
#include <thread>

CHWRequest::CHWRequest(RequestObserverRef observer) : m_observer(std::move(observer)) {}

CHWRequest::~CHWRequest() = default;

bool CHWRequest::IsAbortRequested() {
    return m_abortEvent.Wait(0);
}

void CHWRequest::ThrowAborted() {
    m_aborted = true;
    throw thread_aborted();
}

void CHWRequest::Abort() {
    m_abortEvent.Set();
}

std::string CHWRequest::Message() const {
    std::lock_guard lock(m_messageLock);
    return m_message;
}

void CHWRequest::SetMessage(const std::string& message) {
    std::lock_guard lock(m_messageLock);
    m_message = message;
}

RequestOutcome CHWRequest::Outcome() const {
    return {Succeeded(), Aborted(), Message()};
}

bool CHWRequest::Sync(CI2CDriver& driver) {
    CLogger& log = CLogger::Instance();
    log.Log(50, "===========================");
    log.Log(30, "Synchronizing with weather station");
    log.Log(50, "-------------------------");
    log.Log(50, "Try 1");
    int retries = 0;
    // The abort is also looked at inside an attempt, so a station whose clock line never settles
    // cannot hold an abort back.
    while (!driver.Synchronize([this] { return IsAbortRequested(); })) {
        if (retries >= SyncRetries) {
            log.Log(30, "Synchonizing failed after %d attempts", retries);
            return false;
        }
        if (IsAbortRequested())
            ThrowAborted();
        if (SerialPort* port = driver.Port())
            port->sleep(SyncRetryPauseMs); // the port's clock: virtual in tests
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(SyncRetryPauseMs));
        ++retries;
        log.Log(50, "-------------------------");
        log.Log(30, "Synchronizing Try %d", retries + 1);
    }
    log.Log(50, "Synchronizing success after %d retries", retries);
    // A transfer cut short earlier (by the base unit, an unplugged adapter) may have left the
    // EEPROM in the middle of a byte: the transfers start from a cleared bus.
    driver.ClearBus();
    return true;
}
