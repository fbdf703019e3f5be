#include "log/Logger.h"

#include <chrono>
#include <cstdarg>
#include <ctime>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace {

unsigned long CurrentThreadId() {
    return static_cast<unsigned long>(::syscall(SYS_gettid));
}

} // namespace

CLogger& CLogger::Instance() {
    static CLogger instance;
    return instance;
}

CLogger::CLogger() : m_clock(&CLogger::SystemLocalTime) {}

CLogger::~CLogger() {
    std::lock_guard lock(m_lock);
    CloseFile();
}

CLogger::LocalTime CLogger::SystemLocalTime() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    std::tm tm{};
    ::localtime_r(&seconds, &tm);
    const int ms = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, ms};
}

std::string CLogger::FileNameFor(const LocalTime& date) {
    char name[300];
    std::snprintf(name, sizeof name, "%s__%04d_%02d_%02d.txt", "log", date.year, date.month, date.day);
    return name;
}

void CLogger::SetLevel(int level) {
    std::lock_guard lock(m_lock);
    m_level = level < 0 ? 0 : level;
}

int CLogger::Level() const {
    std::lock_guard lock(m_lock);
    return m_level;
}

void CLogger::SetFileOutput(bool on) {
    std::lock_guard lock(m_lock);
    m_fileOutput = on;
    if (on)
        OpenFile(m_clock());
    else
        CloseFile();
}

bool CLogger::FileOutput() const {
    std::lock_guard lock(m_lock);
    return m_fileOutput;
}

void CLogger::SetClock(Clock clock) {
    std::lock_guard lock(m_lock);
    m_clock = clock ? std::move(clock) : Clock(&CLogger::SystemLocalTime);
}

void CLogger::Log(int level, const char* format, ...) noexcept {
    try {
        {
            std::lock_guard lock(m_lock);
            if (!m_fileOutput || m_level == 0 || level > m_level)
                return;
        }
        char prefix[64];
        std::vector<char> text(MaxTextLength + 1);
        va_list args;
        va_start(args, format);
        std::vsnprintf(text.data(), text.size(), format, args);
        va_end(args);

        std::lock_guard lock(m_lock);
        const LocalTime now = m_clock();
        std::snprintf(prefix, sizeof prefix, "%02d:%02d:%02d_%03d_%lX: ", now.hour, now.minute, now.second,
                      now.millisecond, CurrentThreadId());
        std::string line = prefix;
        line += text.data();
        line += "\r\n";
        if (now.year != m_fileYear || now.month != m_fileMonth || now.day != m_fileDay) {
            CloseFile();
            OpenFile(now);
        }
        if (m_file) {
            std::fwrite(line.data(), 1, line.size(), m_file);
            std::fflush(m_file);
        }
    } catch (...) {
        // The log never disturbs its caller.
    }
}

void CLogger::OpenFile(const LocalTime& now) {
    CloseFile();
    // The date is recorded even when the open fails, so the next try happens at the next day.
    m_fileYear = now.year;
    m_fileMonth = now.month;
    m_fileDay = now.day;
    m_file = std::fopen(FileNameFor(now).c_str(), "ab");
}

void CLogger::CloseFile() {
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
}
