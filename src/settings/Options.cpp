#include "settings/Options.h"

#include "log/Logger.h"
#include "platform/SerialPortList.h"
#include "settings/SettingsStorageTinyXml.h"
#include "settings/StartupDirectory.h"

namespace {

const char* const DatePatterns[] = {"%d.%m.%Y", "%d.%m.%y", "%m.%d.%Y", "%m.%d.%y", "%Y-%m-%d", "%y-%m-%d"};
const char* const TimePatterns[] = {"%H:%M", "%I:%M %p"};

std::filesystem::path& ConfiguredFile() {
    static std::filesystem::path file;
    return file;
}

const char* const RootName = "options";

} // namespace

COptionsImpl& COptionsImpl::Instance() {
    static COptionsImpl& instance = []() -> COptionsImpl& {
        // Created first, the logger outlives the options: the save at exit may have a failure to log.
        CLogger::Instance();
        static COptionsImpl options(ConfiguredFile().empty() ? StartupDirectory() / "Nivaro.xml"
                                                             : ConfiguredFile(),
                                    StartupDirectory());
        options.m_saveAtExit = true;
        return options;
    }();
    return instance;
}

void COptionsImpl::UseFile(const std::filesystem::path& file) {
    ConfiguredFile() = file;
}

COptionsImpl::COptionsImpl(std::filesystem::path file, std::filesystem::path startupDirectory)
    : m_file(std::move(file)), m_startupDirectory(std::move(startupDirectory)) {
    SetDefaults();
    LoadOptions();
}

COptionsImpl::~COptionsImpl() {
    if (!m_saveAtExit)
        return;
    try {
        SaveOptions();
    } catch (...) {
        // Process exit: nobody is left to tell.
    }
}

void COptionsImpl::SetDefaults() {
    Exchange(true, nullptr, false, true);
}

bool COptionsImpl::LoadOptions() {
    CSettingsStorageTinyXml storage(m_file, RootName);
    return Load(storage);
}

bool COptionsImpl::SaveOptions() {
    std::lock_guard lock(m_saveLock);
    CSettingsStorageTinyXml storage(m_file, RootName);
    return Save(storage);
}

bool COptionsImpl::Exchange(bool continueOnError, CSettingsStorage* storage, bool save, bool defaultsOnly) {
    bool result = true;
    // One option: defaults only assign the default; a failed load falls back to it; a failed save
    // spoils the result but the others are still written.
    auto visit = [&](auto exchange, auto assignDefault) {
        if (defaultsOnly) {
            assignDefault();
            return true;
        }
        if (exchange())
            return true;
        if (!continueOnError)
            return false;
        if (save)
            result = false;
        else
            assignDefault();
        return true;
    };
    auto integer = [&](const char* key, std::atomic<std::int32_t>& field, std::int32_t defaultValue) {
        return visit(
            [&] {
                std::int32_t value = field;
                const bool ok = storage->ExchangeInt(key, value, save);
                if (ok && !save)
                    field = value;
                return ok;
            },
            [&] { field = defaultValue; });
    };
    auto text = [&](const char* key, std::string& field, const std::string& defaultValue) {
        return visit(
            [&] {
                std::string value;
                {
                    std::lock_guard lock(m_stringLock);
                    value = field;
                }
                const bool ok = storage->ExchangeString(key, value, save);
                if (ok && !save) {
                    std::lock_guard lock(m_stringLock);
                    field = value;
                }
                return ok;
            },
            [&] {
                std::lock_guard lock(m_stringLock);
                field = defaultValue;
            });
    };
    auto boolean = [&](const char* key, std::atomic<bool>& field, bool defaultValue) {
        return visit(
            [&] {
                bool value = field;
                const bool ok = storage->ExchangeBool(key, value, save);
                if (ok && !save)
                    field = value;
                return ok;
            },
            [&] { field = defaultValue; });
    };

    const bool completed =
        integer("LanguageID", m_languageId, 1033) && integer("DateFormat", m_dateFormat, 0) &&
        integer("TimeFormat", m_timeFormat, 0) && integer("TemperatureFormat", m_temperatureFormat, 0) &&
        text("Port", m_port, DefaultSerialPort(PresentSerialPorts())) &&
        text("RecordingHistoryFile", m_recordingHistoryFile, GetDefaultHistoryFile()) &&
        integer("LogLevel", m_logLevel, 30) && boolean("LogToFile", m_logToFile, false) &&
        integer("NrOfTransmitters", m_nrOfTransmitters, 6) && integer("Version", m_version, 0);
    const bool mqtt = completed && ExchangeMqtt(storage, save, defaultsOnly);
    return mqtt && ExchangeReportFolder(storage, save, defaultsOnly) && result;
}

bool COptionsImpl::ExchangeReportFolder(CSettingsStorage* storage, bool save, bool defaultsOnly) {
    std::lock_guard lock(m_stringLock);
    if (defaultsOnly) {
        m_reportFolder.clear();
        return true;
    }
    if (save && !m_reportFolderInFile && m_reportFolder.empty())
        return true;
    std::string value = m_reportFolder;
    const bool exchanged = storage->ExchangeString("ReportFolder", value, save);
    if (save)
        return exchanged;
    if (exchanged) {
        m_reportFolder = value;
        m_reportFolderInFile = true;
    }
    return true;
}

bool COptionsImpl::ExchangeMqtt(CSettingsStorage* storage, bool save, bool defaultsOnly) {
    std::lock_guard lock(m_stringLock);
    if (defaultsOnly) {
        m_mqtt = MqttOptions{};
        return true;
    }
    if (save && !m_mqttInFile && !m_mqtt.Enabled() && m_mqtt.deviceId.empty())
        return true;
    // Loading: a missing or unreadable element keeps its default. Saving: a failure spoils the result.
    MqttOptions values = m_mqtt;
    bool ok = true, found = false;
    auto note = [&](bool exchanged) {
        ok = ok && exchanged;
        found = found || exchanged;
    };
    note(storage->ExchangeString("MqttBroker", values.broker, save));
    note(storage->ExchangeString("MqttTopicPrefix", values.topicPrefix, save));
    note(storage->ExchangeBool("MqttDiscovery", values.discovery, save));
    note(storage->ExchangeString("MqttDiscoveryPrefix", values.discoveryPrefix, save));
    note(storage->ExchangeString("MqttCaFile", values.caFile, save));
    note(storage->ExchangeString("MqttUser", values.user, save));
    note(storage->ExchangeString("MqttPasswordFile", values.passwordFile, save));
    note(storage->ExchangeString("MqttPasswordEnv", values.passwordEnv, save));
    note(storage->ExchangeString("MqttDeviceId", values.deviceId, save));
    std::int32_t interval = values.importIntervalMinutes;
    note(storage->ExchangeInt("MqttImportInterval", interval, save));
    if (save)
        return ok;
    values.importIntervalMinutes = interval;
    m_mqtt = values;
    m_mqttInFile = found;
    return true;
}

MqttOptions COptionsImpl::GetMqtt() const {
    std::lock_guard lock(m_stringLock);
    return m_mqtt;
}

void COptionsImpl::SetMqtt(const MqttOptions& mqtt) {
    std::lock_guard lock(m_stringLock);
    m_mqtt = mqtt;
}

std::uint16_t COptionsImpl::GetLanguageID() const {
    return static_cast<std::uint16_t>(m_languageId.load());
}
void COptionsImpl::SetLanguageID(std::uint16_t id) {
    m_languageId = id;
}
int COptionsImpl::GetDateFormat() const {
    return m_dateFormat;
}
void COptionsImpl::SetDateFormat(int index) {
    m_dateFormat = index;
}
int COptionsImpl::GetTimeFormat() const {
    return m_timeFormat;
}
void COptionsImpl::SetTimeFormat(int index) {
    m_timeFormat = index;
}
int COptionsImpl::GetTemperatureFormat() const {
    return m_temperatureFormat;
}
void COptionsImpl::SetTemperatureFormat(int format) {
    m_temperatureFormat = format;
}
int COptionsImpl::GetLogLevel() const {
    return m_logLevel;
}
void COptionsImpl::SetLogLevel(int level) {
    m_logLevel = level;
}
bool COptionsImpl::GetLogToFile() const {
    return m_logToFile;
}
void COptionsImpl::SetLogToFile(bool on) {
    m_logToFile = on;
}
int COptionsImpl::GetNrOfTransmitters() const {
    return m_nrOfTransmitters;
}
void COptionsImpl::SetNrOfTransmitters(int count) {
    m_nrOfTransmitters = count;
}
int COptionsImpl::GetVersion() const {
    return m_version;
}
void COptionsImpl::SetVersion(int version) {
    m_version = version;
}

std::string COptionsImpl::GetPort() const {
    std::lock_guard lock(m_stringLock);
    return m_port;
}

void COptionsImpl::SetPort(const std::string& port) {
    std::lock_guard lock(m_stringLock);
    m_port = port;
}

std::filesystem::path COptionsImpl::GetRecordingHistoryFile() const {
    std::lock_guard lock(m_stringLock);
    const std::filesystem::path file(m_recordingHistoryFile);
    if (file.is_absolute() || file.empty())
        return file;
    return std::filesystem::absolute(m_file).parent_path() / file;
}

std::filesystem::path COptionsImpl::GetReportFolder() const {
    std::lock_guard lock(m_stringLock);
    const std::filesystem::path folder(m_reportFolder);
    if (folder.is_absolute() || folder.empty())
        return folder;
    return std::filesystem::absolute(m_file).parent_path() / folder;
}

void COptionsImpl::SetReportFolder(const std::filesystem::path& folder) {
    std::lock_guard lock(m_stringLock);
    m_reportFolder = folder.native();
}

void COptionsImpl::SetRecordingHistoryFile(const std::filesystem::path& file) {
    std::lock_guard lock(m_stringLock);
    m_recordingHistoryFile = file.native();
}

std::string COptionsImpl::GetDateTimeFormat() const {
    // A hand-edited index outside a table formats with that table's default pattern.
    const int date = m_dateFormat, time = m_timeFormat;
    const char* datePattern = date >= 0 && date < 6 ? DatePatterns[date] : DatePatterns[0];
    const char* timePattern = time >= 0 && time < 2 ? TimePatterns[time] : TimePatterns[0];
    return std::string(datePattern) + " " + timePattern;
}

std::string COptionsImpl::GetDefaultHistoryFile() const {
    return (m_startupDirectory / "history.nvh").native();
}
