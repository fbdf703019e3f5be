#include "cli/PortCheckCommand.h"

#include "cli/CliFailure.h"
#include "cli/CliSession.h"
#include "link/I2CDriver.h"
#include "link/ImportEstimate.h"
#include "station/SimulatedStation.h"

#include <cstdio>
#include <iostream>

namespace {

constexpr int SyncAttempts = 11;
constexpr std::uint32_t PauseBetweenAttemptsMs = 500;

std::string Millis(std::int64_t nanos) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f ms", static_cast<double>(nanos) / 1e6);
    return text;
}

} // namespace

int RunPortCheck(CliSession& session) {
    const std::string port = session.Port();
    SimulatedStationSetup setup;
    setup.clock = session.SimulatorClock();
    CI2CDriver driver(StationPortFactory(setup));
    try {
        driver.Open(port.c_str(), 300, 0xA0, false);
    } catch (const std::exception& e) {
        throw CliFailure("port '" + port + "' cannot be opened: " + e.what());
    }
    bool synchronized = false;
    std::string reason = "no bus cycle of the base unit seen on SCL (DSR)";
    try {
        for (int attempt = 0; attempt < SyncAttempts && !synchronized; ++attempt) {
            if (attempt > 0)
                driver.Port()->sleep(PauseBetweenAttemptsMs);
            synchronized = driver.Synchronize();
        }
    } catch (const std::exception& e) {
        synchronized = false;
        reason = e.what();
    }
    driver.Close();
    std::cout << "Port: " << port << "\n";
    if (!synchronized || !driver.Timing()) {
        std::cout << "Verdict: this adapter cannot carry the station's bus here: " << reason << "."
                  << std::endl;
        return ExitFailure;
    }
    const CI2CDriver::AdapterTiming& timing = *driver.Timing();
    std::cout << "Line change: " << Millis(timing.lineChangeNanos) << "\n"
              << "Status read: " << Millis(timing.statusReadNanos) << "\n"
              << "Change shows late by: " << Millis(timing.statusLagNanos) << "\n"
              << "Verdict: this adapter can carry the station's bus; a whole import takes "
              << DurationText(EstimatedImportSeconds(WholeImportWork(), timing)) << ", a routine import "
              << DurationText(EstimatedImportSeconds(RoutineImportWork(), timing)) << "." << std::endl;
    return ExitSuccess;
}
