#include "history/HistoryData.h"
#include "history/HistoryImportSink.h"
#include "link/I2CDriver.h"
#include "simulator/SimulatedSerialPort.h"
#include "station/HWRequestReadRingBuffer.h"

#include "RandomStation.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// What one whole import leaves behind.
struct Result {
    bool succeeded = false;
    std::string message;
    std::string historyFile; // its bytes
    EepromImage station{};   // the read position and the unread counter among them
    int parsed = 0, invalid = 0, readDoubles = 0, known = 0, appended = 0, damaged = 0;
    bool newestLeft = false;
    std::string layoutChange;
    std::optional<int> newReadIndex;
    bool operator==(const Result&) const = default;
};

Result Import(const EepromImage& image, bool whole, const std::filesystem::path& history,
              unsigned& bytesRead) {
    std::filesystem::remove(history);
    CHistoryData store;
    auto port = std::make_shared<SimulatedSerialPort>(ClockMode::Virtual);
    port->eeprom().bytes() = image;
    CI2CDriver driver(port);
    driver.Open("sim", 300, 0xA0, false);
    auto request = std::make_shared<CHWRequestReadRingBuffer>(
        RequestObserverRef{}, std::make_shared<HistoryImportSink>(store, history));
    if (whole)
        request->ForceWholeRead();
    request->Execute(driver);

    Result result;
    result.succeeded = request->Succeeded();
    result.message = request->Message();
    result.historyFile = std::filesystem::exists(history) ? ReadWholeFile(history) : "";
    result.station = port->eeprom().bytes();
    const ImportSummary s = request->Summary();
    result.parsed = s.parsed;
    result.invalid = s.invalid;
    result.readDoubles = s.readDoubles;
    result.known = s.known;
    result.appended = s.appended;
    result.damaged = s.damaged;
    result.newestLeft = s.newestLeft;
    result.layoutChange = s.layoutChange;
    result.newReadIndex = s.newReadIndex;
    bytesRead = s.bytesRead;
    return result;
}

// Station memories imported both ways through the simulated bus: the same history file, the same
// read position and unread counter written back. NIVARO_DIFFERENTIAL_IMPORTS sets the count.
TEST(RoutineImportDifferential, LeavesTheSameFileAndStationAsTheWholeImport) {
    const char* env = std::getenv("NIVARO_DIFFERENTIAL_IMPORTS");
    const int imports = env ? std::atoi(env) : 60;
    TempDir dir;
    RandomStation random(17012005);
    int cheaper = 0;
    for (int i = 0; i < imports; ++i) {
        const RandomStation::State state = random.Next();
        unsigned wholeBytes = 0, routineBytes = 0;
        const Result whole = Import(state.image, true, dir / "whole.nvh", wholeBytes);
        const Result routine = Import(state.image, false, dir / "routine.nvh", routineBytes);
        ASSERT_TRUE(routine == whole) << "import " << i << ": " << state.description
                                      << "\n  whole: " << whole.message << ", routine: " << routine.message;
        EXPECT_LE(routineBytes, wholeBytes + 2) << state.description; // the unread counter at most
        cheaper += routineBytes < wholeBytes ? 1 : 0;
    }
    EXPECT_GT(cheaper, imports / 10);
}

} // namespace
