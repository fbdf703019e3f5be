#pragma once

#include <cstdio>
#include <functional>
#include <mutex>
#include <string>

// The process-wide diagnostic log. Lines go to a daily file "log__YYYY_MM_DD.txt" in the
// current directory when file output is on and the call's level passes the threshold.
class CLogger {
public:
    // Local calendar time as the log prefix and the daily file name need it.
    struct LocalTime {
        int year, month, day, hour, minute, second, millisecond;
    };
    using Clock = std::function<LocalTime()>;

    static constexpr std::size_t MaxTextLength = 32768;

    static CLogger& Instance();

    void SetLevel(int level);
    int Level() const;
    void SetFileOutput(bool on);
    bool FileOutput() const;

    // printf-style; never throws.
    void Log(int level, const char* format, ...) noexcept __attribute__((format(printf, 3, 4)));

    // Tests replace the clock to cross midnight without waiting for it.
    void SetClock(Clock clock);
    static LocalTime SystemLocalTime();

    // The file name for a date, "log__2005_01_17.txt".
    static std::string FileNameFor(const LocalTime& date);

    CLogger(const CLogger&) = delete;
    CLogger& operator=(const CLogger&) = delete;

private:
    CLogger();
    ~CLogger();

    void OpenFile(const LocalTime& now);
    void CloseFile();

    mutable std::mutex m_lock; // serialises the day switch and the write
    int m_level = 0;
    bool m_fileOutput = false;
    std::FILE* m_file = nullptr;
    std::string m_baseName = "log";
    int m_fileYear = 0, m_fileMonth = 0, m_fileDay = 0;
    Clock m_clock;
};
