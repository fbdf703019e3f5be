// One attempt to find the base unit's quiet bus phase: SCL low for at least 100 ms, then high
// for 15 windows of 5 ms in a row.
#include "link/I2CDriver.h"
#include "link/WaitCommEvent.h"
#include "log/Logger.h"

namespace {

constexpr std::uint32_t InitialChangeWaitMs = 925;
constexpr std::uint32_t LowCheckMs = 100;
constexpr std::uint32_t WindowMs = 5;
constexpr int StableWindowsNeeded = 15;
constexpr int UnchangedLimit = 50;

} // namespace

bool CI2CDriver::Synchronize(const std::function<bool()>& abortRequested) {
    CLogger& log = CLogger::Instance();
    ReFillBuffer();
    CWaitCommEvent wait(*m_port, TIOCM_DSR);

    log.Log(50, "Looking for valid SclLow");
    if (Scl() != SclLow && !wait.Wait(InitialChangeWaitMs)) {
        log.Log(50, "Synchronize failed, Scl is %s, Scl unchanged for 925 ms", SclStateName(Scl()).c_str());
        return false;
    }
    if (wait.Wait(LowCheckMs)) {
        log.Log(50, "Synchronize failed, Scl is %s, Scl changed from SclLow within 100 ms",
                SclStateName(Scl()).c_str());
        return false;
    }
    if (Scl() != SclLow) {
        log.Log(50, "Synchronize failed, Scl is %s, Scl changed to SclHigh while looking for valid SclLow",
                SclStateName(Scl()).c_str());
        return false;
    }

    int stable = 0;
    int unchanged = 0;
    log.Log(50, "Found valid SclLow, waiting for SclHigh");
    // A line that keeps changing would hold the attempt for ever: it is bounded by a number of
    // windows, and an abort of the request ends it early.
    int windows = 0;
    while (stable < StableWindowsNeeded) {
        if (++windows > MaxHighWaitWindows || (abortRequested && abortRequested())) {
            log.Log(50, "Synchronize failed, Scl is %s, no stable SclHigh within %d windows of %d ms",
                    SclStateName(Scl()).c_str(), windows - 1, static_cast<int>(WindowMs));
            return false;
        }
        const bool changed = wait.Wait(WindowMs);
        if (!changed) {
            ++unchanged;
            log.Log(50, "Scl is %s, unchanged %d times %d ms", SclStateName(Scl()).c_str(), unchanged,
                    static_cast<int>(WindowMs));
        } else {
            log.Log(50, "Scl changed to %s after %d waits for %d ms", SclStateName(Scl()).c_str(), unchanged,
                    static_cast<int>(WindowMs));
            unchanged = 0;
        }
        if (unchanged == UnchangedLimit) {
            log.Log(50, "Synchronize failed, Scl unchanged at state %s, %d times for %d ms",
                    SclStateName(Scl()).c_str(), UnchangedLimit, static_cast<int>(WindowMs));
            return false;
        }
        if (Scl() == SclHigh && !changed)
            ++stable;
        else
            stable = 0;
    }
    log.Log(50, "Synchronize success, Scl unchanged at state %s, %d times for %d ms",
            SclStateName(Scl()).c_str(), stable, static_cast<int>(WindowMs));
    EnsureMeasured(); // first contact: the quiet bus is ours now
    return true;
}
