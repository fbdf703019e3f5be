#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>

#include "settings/MqttOptions.h"
#include "settings/Settings.h"

// The program's options. One process-wide instance, loaded from "Nivaro.xml" in the start-up
// directory on first use and saved back at process exit.
class COptionsImpl : public CSettings {
public:
    // The process-wide options; the first call loads them.
    static COptionsImpl& Instance();
    // Before the first Instance(): load from and save to another file (command-line --options).
    static void UseFile(const std::filesystem::path& file);

    // A standalone options object on a file (tests, tools); loads at construction, saves only
    // when asked.
    COptionsImpl(std::filesystem::path file, std::filesystem::path startupDirectory);
    // The process-wide instance saves here, at process exit; a standalone object does not.
    ~COptionsImpl() override;
    // Whether the process-wide instance saves at exit (the desktop does; the command line saves
    // only after a command that learned something, and never after a failure).
    void SetSaveAtExit(bool save) { m_saveAtExit = save; }
    COptionsImpl(const COptionsImpl&) = delete;
    COptionsImpl& operator=(const COptionsImpl&) = delete;

    std::uint16_t GetLanguageID() const;
    void SetLanguageID(std::uint16_t id);
    int GetDateFormat() const;
    void SetDateFormat(int index);
    int GetTimeFormat() const;
    void SetTimeFormat(int index);
    int GetTemperatureFormat() const;
    void SetTemperatureFormat(int format);
    int GetLogLevel() const;
    void SetLogLevel(int level);
    bool GetLogToFile() const;
    void SetLogToFile(bool on);
    // Written by the ping on the worker thread, read by the user interface.
    int GetNrOfTransmitters() const;
    void SetNrOfTransmitters(int count);
    int GetVersion() const;
    void SetVersion(int version);
    std::string GetPort() const;
    void SetPort(const std::string& port);
    // A relative path counts from the options file's folder, wherever the program runs.
    std::filesystem::path GetRecordingHistoryFile() const;
    void SetRecordingHistoryFile(const std::filesystem::path& file);

    // Publishing to an MQTT broker. Its elements join the options file once publishing has been
    // set up (a broker or a device id), so a file from the defaults keeps its ten elements.
    MqttOptions GetMqtt() const;
    void SetMqtt(const MqttOptions& mqtt);

    // The folder the web report is refreshed in after every import; empty: no report. Its element
    // joins the options file once set. A relative path counts from the options file's folder.
    std::filesystem::path GetReportFolder() const;
    void SetReportFolder(const std::filesystem::path& folder);

    // Date pattern, a blank, time pattern ("%d.%m.%Y %H:%M" by default).
    std::string GetDateTimeFormat() const;
    // Start-up directory joined with "history.nvh".
    std::string GetDefaultHistoryFile() const;
    // Writes all options to the options file now; false when the file could not be written.
    bool SaveOptions();

    // Visits the ten options in their fixed order (LanguageID, DateFormat, TimeFormat,
    // TemperatureFormat, Port, RecordingHistoryFile, LogLevel, LogToFile, NrOfTransmitters,
    // Version). A value that fails to load keeps its default; one that fails to save makes the
    // result false.
    bool Exchange(bool continueOnError, CSettingsStorage* storage, bool save, bool defaultsOnly) override;

    const std::filesystem::path& FileName() const { return m_file; }
    bool UsesFahrenheit() const { return GetTemperatureFormat() == 1; }

private:
    void SetDefaults();
    bool LoadOptions();
    bool ExchangeMqtt(CSettingsStorage* storage, bool save, bool defaultsOnly);
    bool ExchangeReportFolder(CSettingsStorage* storage, bool save, bool defaultsOnly);

    std::filesystem::path m_file;
    std::filesystem::path m_startupDirectory;
    mutable std::mutex m_stringLock; // guards the two strings
    std::mutex m_saveLock;           // one save at a time
    bool m_saveAtExit = false;

    std::atomic<std::int32_t> m_languageId{1033};
    std::atomic<std::int32_t> m_dateFormat{0};
    std::atomic<std::int32_t> m_timeFormat{0};
    std::atomic<std::int32_t> m_temperatureFormat{0};
    std::atomic<std::int32_t> m_logLevel{30};
    std::atomic<std::int32_t> m_nrOfTransmitters{6};
    std::atomic<std::int32_t> m_version{0};
    std::atomic<bool> m_logToFile{false};
    std::string m_port;
    std::string m_recordingHistoryFile;
    MqttOptions m_mqtt;         // guarded by m_stringLock
    bool m_mqttInFile = false;  // an MQTT element was loaded: saves keep writing them
    std::string m_reportFolder; // guarded by m_stringLock
    bool m_reportFolderInFile = false;
};

inline COptionsImpl& Options() {
    return COptionsImpl::Instance();
}
