#include "settings/SettingsStorageTinyXml.h"

#include "base/FileReplacement.h"
#include "log/Logger.h"

#include <tinyxml2.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <locale>
#include <sstream>
#include <system_error>

using tinyxml2::XMLDocument;
using tinyxml2::XMLElement;

namespace {

const char* const ValueAttribute = "value";

const char* const EntryElement = "Entry";
const char* const KeyAttribute = "key";

// Whether printed text loads again with a root element.
bool ReadsBack(const tinyxml2::XMLPrinter& printer) {
    tinyxml2::XMLDocument check;
    return check.Parse(printer.CStr(), static_cast<std::size_t>(printer.CStrSize() - 1)) ==
               tinyxml2::XML_SUCCESS &&
           check.RootElement();
}

bool IsNameStart(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || c >= 0x80;
}

bool IsNameChar(unsigned char c) {
    return IsNameStart(c) || (c >= '0' && c <= '9') || c == '.' || c == '-';
}

bool IsXmlName(const char* name) {
    if (!name || !IsNameStart(static_cast<unsigned char>(*name)))
        return false;
    for (const char* p = name + 1; *p; ++p)
        if (!IsNameChar(static_cast<unsigned char>(*p)))
            return false;
    return true;
}

bool IsEntry(const XMLElement* element) {
    return std::strcmp(element->Name(), EntryElement) == 0 && element->Attribute(KeyAttribute);
}

// Names are compared exactly; an Entry element answers to its key, never to its element name.
XMLElement* FindChild(XMLElement* parent, const char* name) {
    const bool plain = IsXmlName(name);
    for (XMLElement* child = parent->FirstChildElement(); child; child = child->NextSiblingElement()) {
        if (plain ? std::strcmp(child->Name(), name) == 0 && !IsEntry(child)
                  : IsEntry(child) && std::strcmp(child->Attribute(KeyAttribute), name) == 0)
            return child;
    }
    return nullptr;
}

XMLElement* FindOrCreateChild(XMLDocument& document, XMLElement* parent, const char* name) {
    if (!parent || !name)
        return nullptr;
    if (XMLElement* found = FindChild(parent, name))
        return found;
    XMLElement* created = document.NewElement(IsXmlName(name) ? name : EntryElement);
    if (!created)
        return nullptr;
    if (!IsXmlName(name))
        created->SetAttribute(KeyAttribute, name);
    return parent->InsertEndChild(created) ? created : nullptr;
}

template <typename T> std::string ToText(const T& value) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out.precision(24);
    out << value;
    return out.str();
}

// Reads as an input stream does with blank-skipping off; false leaves the value untouched.
template <typename T> bool FromText(const char* text, T& value) {
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    T read{};
    if (!(in >> std::noskipws >> read))
        return false;
    value = read;
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

CSettingsStorageTinyXml::CSettingsStorageTinyXml(std::filesystem::path file, const char* rootName)
    : m_document(std::make_shared<XMLDocument>()), m_rootName(rootName ? rootName : ""),
      m_file(std::move(file)), m_ownsFile(true) {}

CSettingsStorageTinyXml::CSettingsStorageTinyXml(std::shared_ptr<XMLDocument> document, XMLElement* current,
                                                 const char* name)
    : m_document(std::move(document)), m_current(current), m_elementName(name ? name : "") {}

CSettingsStorageTinyXml::~CSettingsStorageTinyXml() = default;

std::unique_ptr<CSettingsStorage> CSettingsStorageTinyXml::CreateSubStorage(const char* name) {
    XMLElement* element = FindOrCreateChild(*m_document, m_current, name);
    if (!element)
        return nullptr;
    return std::unique_ptr<CSettingsStorage>(new CSettingsStorageTinyXml(m_document, element, name));
}

bool CSettingsStorageTinyXml::BeginSave() {
    return Begin();
}
bool CSettingsStorageTinyXml::BeginLoad() {
    return Begin();
}
bool CSettingsStorageTinyXml::EndLoad() {
    return true;
}

bool CSettingsStorageTinyXml::Begin() {
    if (m_current)
        return true;
    const tinyxml2::XMLError result = m_document->LoadFile(m_file.c_str());
    if (result == tinyxml2::XML_SUCCESS) {
        m_current = m_document->FirstChildElement();
        if (m_current)
            return true;
    }
    if (result != tinyxml2::XML_ERROR_FILE_NOT_FOUND) {
        CLogger::Instance().Log(10, "Settings file '%s' could not be loaded, defaults are used: %s",
                                m_file.c_str(), m_document->ErrorStr());
        m_keepOldFile = true;
    }
    m_document->Clear();
    m_current = m_document->NewElement(m_rootName.c_str());
    return m_current && m_document->InsertEndChild(m_current);
}

bool CSettingsStorageTinyXml::EndSave() {
    if (!m_ownsFile)
        return true;
    return WriteFile();
}

bool CSettingsStorageTinyXml::WriteFile() {
    std::error_code error;
    // Through a symbolic link, the file it names is replaced, in one step (FileReplacement) so
    // that a crash never leaves a half-written one.
    const std::filesystem::path target = FollowLinks(m_file);
    // The parser takes some content around the root that it cannot read back once printed; such
    // a document would lose every setting at the next start, so only its root element is written.
    tinyxml2::XMLPrinter printer;
    m_document->Print(&printer);
    tinyxml2::XMLPrinter rootOnly;
    const tinyxml2::XMLPrinter* written = &printer;
    if (!ReadsBack(printer)) {
        tinyxml2::XMLDocument clean;
        if (const XMLElement* root = m_document->RootElement())
            clean.InsertEndChild(root->DeepClone(&clean));
        clean.Print(&rootOnly);
        if (!ReadsBack(rootOnly)) {
            CLogger::Instance().Log(10, "Settings file '%s' not written: it would not read back",
                                    m_file.c_str());
            return false;
        }
        written = &rootOnly;
        m_keepOldFile = std::filesystem::exists(target, error);
    }
    if (m_keepOldFile) {
        // A file we could not read is the user's: keep it before putting a new one in its place.
        if (!std::filesystem::is_regular_file(target, error)) {
            CLogger::Instance().Log(10, "Settings file '%s' not written: it is no regular file",
                                    m_file.c_str());
            return false;
        }
        std::filesystem::path kept = target;
        kept += ".bad";
        FileReplacement copy(kept);
        std::ifstream old(target, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(old), std::istreambuf_iterator<char>()};
        copy.Stream().write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (old.bad() || !copy.Commit(false)) {
            CLogger::Instance().Log(10, "Settings file '%s' not written: no copy of the old file: %s",
                                    m_file.c_str(), copy.Reason().c_str());
            return false;
        }
        m_keepOldFile = false;
    }
    FileReplacement replacement(target);
    replacement.Stream().write(written->CStr(), written->CStrSize() - 1);
    if (!replacement.Commit(false)) {
        CLogger::Instance().Log(10, "Settings file '%s' not written: %s", m_file.c_str(),
                                replacement.Reason().c_str());
        return false;
    }
    return true;
}

XMLElement* CSettingsStorageTinyXml::ValueElement(const char* name) {
    return FindOrCreateChild(*m_document, m_current, name);
}

bool CSettingsStorageTinyXml::SetValueText(const char* name, const std::string& text) {
    XMLElement* element = ValueElement(name);
    if (!element)
        return false;
    element->SetAttribute(ValueAttribute, text.c_str());
    return !m_document->Error();
}

const char* CSettingsStorageTinyXml::ValueText(const char* name) {
    XMLElement* element = ValueElement(name);
    return element ? element->Attribute(ValueAttribute) : nullptr;
}

template <typename T> bool CSettingsStorageTinyXml::ExchangeNumber(const char* name, T& value, bool save) {
    if (save)
        return SetValueText(name, ToText(value));
    const char* text = ValueText(name);
    if (!text)
        return false;
    FromText(text, value);
    return true;
}

bool CSettingsStorageTinyXml::ExchangeUInt64(const char* name, std::uint64_t& value, bool save) {
    return ExchangeNumber(name, value, save);
}

bool CSettingsStorageTinyXml::ExchangeInt64(const char* name, std::int64_t& value, bool save) {
    return ExchangeNumber(name, value, save);
}

bool CSettingsStorageTinyXml::ExchangeDouble(const char* name, double& value, bool save) {
    return ExchangeNumber(name, value, save);
}

bool CSettingsStorageTinyXml::ExchangeULong(const char* name, std::uint32_t& value, bool save) {
    return ExchangeNumber(name, value, save);
}

bool CSettingsStorageTinyXml::ExchangeLong(const char* name, std::int32_t& value, bool save) {
    return ExchangeNumber(name, value, save);
}

bool CSettingsStorageTinyXml::ExchangeBool(const char* name, bool& value, bool save) {
    if (save)
        return SetValueText(name, value ? "1" : "0");
    const char* text = ValueText(name);
    if (!text)
        return false;
    // Only 0 and 1 count; "true" or "2" leave the value as it was.
    FromText(text, value);
    return true;
}

bool CSettingsStorageTinyXml::ExchangeBinary(const char* name, void* data, unsigned size, bool save) {
    auto* bytes = static_cast<unsigned char*>(data);
    if (save) {
        static const char Digits[] = "0123456789ABCDEF";
        std::string text;
        text.reserve(2 * std::size_t{size});
        for (unsigned i = 0; i < size; ++i) {
            text += Digits[bytes[i] >> 4];
            text += Digits[bytes[i] & 0x0F];
        }
        return SetValueText(name, text);
    }
    const char* text = ValueText(name);
    if (!text)
        return false;
    // A text of another length or with other characters leaves the block as it was.
    if (std::strlen(text) != 2 * std::size_t{size})
        return true;
    for (unsigned i = 0; i < 2 * size; ++i)
        if (HexDigit(text[i]) < 0)
            return true;
    for (unsigned i = 0; i < size; ++i)
        bytes[i] = static_cast<unsigned char>(HexDigit(text[2 * i]) << 4 | HexDigit(text[2 * i + 1]));
    return true;
}

bool CSettingsStorageTinyXml::ExchangeStringBuffer(const char* name, char* buffer, unsigned& size,
                                                   bool save) {
    if (save)
        return SetValueText(name, std::string(buffer, size ? ::strnlen(buffer, size) : 0));
    const char* text = ValueText(name);
    if (!text) {
        size = 0;
        return false;
    }
    const std::size_t needed = std::strlen(text) + 1;
    if (needed > size) {
        // Too long for the caller's buffer: say how much it takes instead of writing past it.
        size = static_cast<unsigned>(needed);
        return false;
    }
    std::memcpy(buffer, text, needed);
    return true;
}
