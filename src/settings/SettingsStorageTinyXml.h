#pragma once

#include "settings/SettingsStorage.h"

#include <filesystem>
#include <memory>
#include <string>

namespace tinyxml2 {
class XMLDocument;
class XMLElement;
} // namespace tinyxml2

// Keeps settings values in an XML document and the document in a file. Each value is a child
// element of the current element, named by the key, with the text in its attribute "value".
// Nested objects and lists live under a child element named by their key. A key that is not a
// valid XML name (a list index such as "0") is kept as <Entry key="0" .../>.
class CSettingsStorageTinyXml : public CSettingsStorage {
public:
    // A top-level storage on a file; rootName names the root of a new document.
    CSettingsStorageTinyXml(std::filesystem::path file, const char* rootName);
    ~CSettingsStorageTinyXml() override;

    std::unique_ptr<CSettingsStorage> CreateSubStorage(const char* name) override;
    bool ContinueOnError() override { return true; }
    bool BeginSave() override;
    bool EndSave() override;
    bool BeginLoad() override;
    bool EndLoad() override;

    // 64-bit values as decimal text rather than raw bytes.
    bool ExchangeUInt64(const char* name, std::uint64_t& value, bool save) override;
    bool ExchangeInt64(const char* name, std::int64_t& value, bool save) override;
    // Raw blocks as hexadecimal text, two digits per byte.
    bool ExchangeBinary(const char* name, void* data, unsigned size, bool save) override;
    bool ExchangeStringBuffer(const char* name, char* buffer, unsigned& size, bool save) override;
    bool ExchangeDouble(const char* name, double& value, bool save) override;
    bool ExchangeBool(const char* name, bool& value, bool save) override;
    bool ExchangeULong(const char* name, std::uint32_t& value, bool save) override;
    bool ExchangeLong(const char* name, std::int32_t& value, bool save) override;

    const std::string& ElementName() const { return m_elementName; }

private:
    CSettingsStorageTinyXml(std::shared_ptr<tinyxml2::XMLDocument> document, tinyxml2::XMLElement* current,
                            const char* name);

    bool Begin();
    // The child element that holds the named value, created at the end when missing.
    tinyxml2::XMLElement* ValueElement(const char* name);
    bool SetValueText(const char* name, const std::string& text);
    // The "value" text of the named element, or null when element or attribute are missing.
    const char* ValueText(const char* name);
    template <typename T> bool ExchangeNumber(const char* name, T& value, bool save);
    bool WriteFile();

    std::shared_ptr<tinyxml2::XMLDocument> m_document;
    tinyxml2::XMLElement* m_current = nullptr;
    std::string m_rootName;
    std::string m_elementName;
    std::filesystem::path m_file;
    bool m_ownsFile = false;
    // The file exists but could not be loaded: keep a copy before replacing it.
    bool m_keepOldFile = false;
};
