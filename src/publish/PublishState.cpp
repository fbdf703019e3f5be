#include "publish/PublishState.h"

#include "history/ExportColumns.h"
#include "history/HistoryFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

constexpr const char* Header = "nivaro publish state 1";

std::string Damaged(const fs::path& file, const std::string& why) {
    return "publish state file \"" + file.string() + "\" is damaged (" + why +
           "); delete it to publish from the newest dataset on";
}

} // namespace

fs::path PublishStateFile(const fs::path& historyFile) {
    fs::path file = historyFile;
    file += ".mqtt";
    return file;
}

PublishStateRead ReadPublishState(const fs::path& file) {
    std::error_code missing;
    if (!fs::exists(file, missing) && !missing)
        return {std::nullopt, ""};
    std::ifstream in(file);
    if (!in) {
        return {std::nullopt,
                "publish state file \"" + file.string() + "\" cannot be read: " + std::strerror(errno)};
    }
    std::string line;
    if (!std::getline(in, line) || line != Header)
        return {std::nullopt, Damaged(file, "unknown first line")};
    PublishState state;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string key;
        fields >> key;
        if (key == "delivered") {
            // The date-time's exact value first (the history compares exactly), then its text for
            // a reader.
            std::string value;
            fields >> value;
            char* end = nullptr;
            const double date = std::strtod(value.c_str(), &end);
            if (value.empty() || *end != '\0')
                return {std::nullopt, Damaged(file, "bad delivered date-time")};
            state.delivered = CDateTime(date);
        } else if (key == "announced") {
            int count = -1;
            if (!(fields >> count) || count < 0 || count > 5)
                return {std::nullopt, Damaged(file, "bad transmitter count")};
            state.announcedTransmitters = count;
        } else if (!key.empty())
            return {std::nullopt, Damaged(file, "unknown line \"" + line + "\"")};
    }
    return {state, ""};
}

std::string WritePublishState(const fs::path& file, const PublishState& state) {
    std::string text = std::string(Header) + "\n";
    if (state.delivered) {
        char value[40];
        std::snprintf(value, sizeof value, "%.17g", state.delivered->Value());
        text += "delivered " + std::string(value) + " " + IsoDateTime(*state.delivered).value_or("?") + "\n";
    }
    if (state.announcedTransmitters)
        text += "announced " + std::to_string(*state.announcedTransmitters) + "\n";

    fs::path beside = file;
    beside += ".new";
    const auto failed = [&](const char* what) {
        const std::string reason = std::strerror(errno);
        ::unlink(beside.c_str());
        return "publish state file \"" + file.string() + "\" cannot be " + what + ": " + reason;
    };
    const int fd = ::open(beside.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return failed("written");
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    const bool synced = written && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !written || !synced)
        return failed("written");
    if (::rename(beside.c_str(), file.c_str()) != 0)
        return failed("replaced");
    if (!SyncToDisk(file.has_parent_path() ? file.parent_path() : fs::path("."), true))
        return failed("synced");
    return "";
}
