#include "settings/LangXml.h"

#include "log/Logger.h"
#include "settings/InstalledDataDirectory.h"
#include "settings/StartupDirectory.h"

#include <tinyxml2.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>

namespace {

constexpr std::uint16_t English = 1033;

std::string ReplaceBackslashN(const char* raw) {
    std::string text;
    for (const char* p = raw; *p; ++p) {
        if (p[0] == '\\' && p[1] == 'n') {
            text += '\n';
            ++p;
        } else {
            text += *p;
        }
    }
    return text;
}

} // namespace

LoadMultiLangXml::LoadMultiLangXml() : LoadMultiLangXml(DefaultSearchDirectories()) {}

LoadMultiLangXml::LoadMultiLangXml(std::vector<std::filesystem::path> searchDirectories)
    : m_languageId(UserDefaultLanguage()), m_searchDirectories(std::move(searchDirectories)),
      m_document(std::make_unique<tinyxml2::XMLDocument>()) {}

LoadMultiLangXml::~LoadMultiLangXml() = default;

std::string LoadMultiLangXml::FileName(std::uint16_t languageId) {
    return "texts_" + std::to_string(languageId) + ".xml";
}

std::vector<std::filesystem::path> LoadMultiLangXml::DefaultSearchDirectories() {
    std::vector<std::filesystem::path> directories{StartupDirectory()};
    if (const std::filesystem::path installed = InstalledDataDirectory(); !installed.empty())
        directories.push_back(installed);
    directories.insert(directories.end(), {NIVARO_INSTALLED_DATA_DIR, NIVARO_SOURCE_DATA_DIR});
    return directories;
}

namespace {

// Loads the first file of that name in the directories: the file, or empty when there is none or
// it is not well-formed. The first file present wins, even a broken one: a user's own file is
// never silently replaced by the installed one of the same language.
std::filesystem::path LoadFirst(tinyxml2::XMLDocument& document,
                                const std::vector<std::filesystem::path>& directories,
                                const std::string& name) {
    document.Clear();
    for (const auto& directory : directories) {
        const std::filesystem::path candidate = directory / name;
        std::error_code error;
        if (!std::filesystem::is_regular_file(candidate, error))
            continue;
        if (document.LoadFile(candidate.string().c_str()) == tinyxml2::XML_SUCCESS)
            return candidate;
        document.Clear();
        return {};
    }
    return {};
}

// One warning per language and process, however many text tables are made.
void WarnOfFallback(std::uint16_t languageId) {
    static std::mutex lock;
    static std::set<std::uint16_t> warned;
    std::lock_guard guard(lock);
    if (warned.insert(languageId).second)
        CLogger::Instance().Log(10, "Language file %s is missing or broken; the English texts are used",
                                LoadMultiLangXml::FileName(languageId).c_str());
}

} // namespace

void LoadMultiLangXml::SetLanguage(std::uint16_t languageId) {
    m_languageId = languageId == 0 ? English : languageId;
    m_loadedFile = LoadFirst(*m_document, m_searchDirectories, FileName(m_languageId));
    // An unknown language or a missing or broken file would leave every title blank: English
    // texts stand in, with one warning.
    if (m_loadedFile.empty() && m_languageId != English) {
        m_loadedFile = LoadFirst(*m_document, m_searchDirectories, FileName(English));
        if (!m_loadedFile.empty())
            WarnOfFallback(m_languageId);
    }
}

bool LoadMultiLangXml::Lookup(int key, std::string& text) const {
    const tinyxml2::XMLElement* root = m_document->FirstChildElement("root");
    if (!root)
        return false;
    const std::string wanted = std::to_string(key);
    for (const tinyxml2::XMLElement* entry = root->FirstChildElement(); entry;
         entry = entry->NextSiblingElement()) {
        const char* entryKey = entry->Attribute("key");
        if (!entryKey || wanted != entryKey)
            continue;
        const tinyxml2::XMLElement* value = entry->FirstChildElement("value");
        if (!value || !value->FirstChild())
            continue;
        const tinyxml2::XMLText* content = value->FirstChild()->ToText();
        if (!content || !content->Value() || !*content->Value())
            continue;
        text = ReplaceBackslashN(content->Value());
        return true;
    }
    return false;
}

std::string LoadMultiLangXml::Text(int key) const {
    std::string text;
    Lookup(key, text);
    return text;
}

std::uint16_t UserDefaultLanguage() {
    const char* locale = nullptr;
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value) {
            locale = value;
            break;
        }
    }
    if (!locale)
        return English;
    if (std::strncmp(locale, "de", 2) == 0)
        return 1031;
    if (std::strncmp(locale, "fr", 2) == 0)
        return 1036;
    return English;
}
