// In-memory options with their defaults. Loading and saving on XML come with the settings storage.
#include "settings/Options.h"

#include "settings/StartupDirectory.h"

namespace {

const char* const DatePatterns[] = {"%d.%m.%Y", "%d.%m.%y", "%m.%d.%Y", "%m.%d.%y", "%Y-%m-%d", "%y-%m-%d"};
const char* const TimePatterns[] = {"%H:%M", "%I:%M %p"};

std::filesystem::path& ConfiguredFile() {
    static std::filesystem::path file;
    return file;
}

} // namespace

COptionsImpl& COptionsImpl::Instance() {
    static COptionsImpl instance(
        ConfiguredFile().empty() ? StartupDirectory() / "Nivaro.xml" : ConfiguredFile(), StartupDirectory());
    return instance;
}

void COptionsImpl::UseFile(const std::filesystem::path& file) { ConfiguredFile() = file; }

COptionsImpl::COptionsImpl(std::filesystem::path file, std::filesystem::path startupDirectory)
    : m_file(std::move(file)), m_startupDirectory(std::move(startupDirectory)) {
    SetDefaults();
    Load();
}

COptionsImpl::~COptionsImpl() = default;

void COptionsImpl::SetDefaults() {
    m_languageId = 1033;
    m_dateFormat = 0;
    m_timeFormat = 0;
    m_temperatureFormat = 0;
    m_logLevel = 30;
    m_nrOfTransmitters = 6;
    m_version = 0;
    m_logToFile = false;
    std::lock_guard lock(m_stringLock);
    m_port = "COM1";
    m_recordingHistoryFile = GetDefaultHistoryFile();
}

bool COptionsImpl::Load() { return false; }
bool COptionsImpl::SaveOptions() { return false; }

std::uint16_t COptionsImpl::GetLanguageID() const { return static_cast<std::uint16_t>(m_languageId.load()); }
void COptionsImpl::SetLanguageID(std::uint16_t id) { m_languageId = id; }
int COptionsImpl::GetDateFormat() const { return m_dateFormat; }
void COptionsImpl::SetDateFormat(int index) { m_dateFormat = index; }
int COptionsImpl::GetTimeFormat() const { return m_timeFormat; }
void COptionsImpl::SetTimeFormat(int index) { m_timeFormat = index; }
int COptionsImpl::GetTemperatureFormat() const { return m_temperatureFormat; }
void COptionsImpl::SetTemperatureFormat(int format) { m_temperatureFormat = format; }
int COptionsImpl::GetLogLevel() const { return m_logLevel; }
void COptionsImpl::SetLogLevel(int level) { m_logLevel = level; }
bool COptionsImpl::GetLogToFile() const { return m_logToFile; }
void COptionsImpl::SetLogToFile(bool on) { m_logToFile = on; }
int COptionsImpl::GetNrOfTransmitters() const { return m_nrOfTransmitters; }
void COptionsImpl::SetNrOfTransmitters(int count) { m_nrOfTransmitters = count; }
int COptionsImpl::GetVersion() const { return m_version; }
void COptionsImpl::SetVersion(int version) { m_version = version; }

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
    return std::filesystem::path(m_recordingHistoryFile);
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

std::string COptionsImpl::GetDefaultHistoryFile() const { return (m_startupDirectory / "history.nvh").native(); }
