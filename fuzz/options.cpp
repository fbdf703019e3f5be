// Options loader: any file content loads (falling back to defaults where it must), and what is
// saved loads back to the same values.
#include "FuzzSupport.h"

#include "log/Logger.h"
#include "settings/Options.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <utility>

namespace fs = std::filesystem;

namespace {

fs::path g_dir;

struct Values {
    int language, dateFormat, timeFormat, temperature, logLevel, transmitters, version;
    bool logToFile;
    std::string port, history, dateTime;
    bool operator==(const Values&) const = default;
};

Values Snapshot(const COptionsImpl& options) {
    return {options.GetLanguageID(),    options.GetDateFormat(),
            options.GetTimeFormat(),    options.GetTemperatureFormat(),
            options.GetLogLevel(),      options.GetNrOfTransmitters(),
            options.GetVersion(),       options.GetLogToFile(),
            options.GetPort(),          options.GetRecordingHistoryFile().string(),
            options.GetDateTimeFormat()};
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    CLogger::Instance().SetLevel(0);
    g_dir = MakeScratchFolder("nivaro-fuzz-options");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path file = g_dir / "Nivaro.xml";
    WriteInputFile(file, std::string_view(reinterpret_cast<const char*>(data), size));
    Values loaded;
    {
        COptionsImpl options(file, g_dir);
        loaded = Snapshot(options);
        FUZZ_CHECK(options.SaveOptions());
    }
    {
        COptionsImpl reloaded(file, g_dir);
        const Values again = Snapshot(reloaded);
        if (!(again == loaded)) {
            for (const Values* v : {&std::as_const(loaded), &again})
                std::fprintf(stderr, "%d %d %d %d %d %d %d %d [%s] [%s] [%s]\n", v->language, v->dateFormat,
                             v->timeFormat, v->temperature, v->logLevel, v->transmitters, v->version,
                             v->logToFile, v->port.c_str(), v->history.c_str(), v->dateTime.c_str());
        }
        FUZZ_CHECK(again == loaded);
    }
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(g_dir, ignored))
        fs::remove(entry.path(), ignored);
    return 0;
}
