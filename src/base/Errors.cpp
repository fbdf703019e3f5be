#include "base/Errors.h"

#include "log/Logger.h"

#include <cerrno>
#include <cstring>

namespace {

std::string Compose(const std::string& message, int code) {
    return (message.empty() ? std::string("OS Error.") : message) + " " + os_error::ErrorText(code);
}

void LogException(const std::string& text, int code) {
    CLogger::Instance().Log(10, "Exception: %s, errno: %d (0x%X)", text.c_str(), code, code);
}

std::string Joined(const std::string& where, const std::string& reason) {
    return where.empty() ? reason : where + " " + reason;
}

} // namespace

located_error::~located_error() = default;

std::string os_error::ErrorText(int code) {
    std::string text;
    char buffer[256];
    // The GNU strerror_r may return a static string instead of filling the buffer.
    const char* system = ::strerror_r(code, buffer, sizeof buffer);
    if (system)
        text = system;
    if (text.empty())
        text = "The os error code is " + std::to_string(code) + ".";
    LogException(text, code);
    return text;
}

os_error::os_error() : os_error(errno) {}

os_error::os_error(int code) : located_error(ErrorText(code), {}), m_code(code) {}

os_error::os_error(const std::string& message) : os_error(message, errno) {}

os_error::os_error(const std::string& message, int code, std::string where)
    : located_error(Compose(message, code), std::move(where)), m_code(code) {
    LogException(Joined(Where(), what()), code);
}

os_error::~os_error() = default;

thread_aborted::~thread_aborted() = default;

std::string LogText(const std::exception& error) {
    if (const auto* located = dynamic_cast<const located_error*>(&error))
        return Joined(located->Where(), error.what());
    return error.what();
}
