#include "settings/SettingsStorage.h"

#include "settings/Settings.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <vector>

bool CSettingsStorage::BeginSave() {
    return true;
}
bool CSettingsStorage::EndSave() {
    return true;
}
bool CSettingsStorage::BeginLoad() {
    return true;
}
bool CSettingsStorage::EndLoad() {
    return true;
}

namespace {

// Multibyte conversions of the C library; false when the text does not convert.
bool ToMultibyte(const std::wstring& wide, std::string& out) {
    std::mbstate_t state{};
    const wchar_t* source = wide.c_str();
    const std::size_t length = std::wcsrtombs(nullptr, &source, 0, &state);
    if (length == static_cast<std::size_t>(-1))
        return false;
    std::string result(length, '\0');
    source = wide.c_str();
    state = {};
    std::wcsrtombs(result.data(), &source, length + 1, &state);
    out = std::move(result);
    return true;
}

bool ToWide(const std::string& narrow, std::wstring& out) {
    std::mbstate_t state{};
    const char* source = narrow.c_str();
    const std::size_t length = std::mbsrtowcs(nullptr, &source, 0, &state);
    if (length == static_cast<std::size_t>(-1))
        return false;
    std::wstring result(length, L'\0');
    source = narrow.c_str();
    state = {};
    std::mbsrtowcs(result.data(), &source, length + 1, &state);
    out = std::move(result);
    return true;
}

template <typename Wide, typename Narrow, typename Exchange>
bool ThroughWider(Narrow& value, bool save, Exchange exchange) {
    Wide wide = static_cast<Wide>(value);
    if (!exchange(wide))
        return false;
    if (!save)
        value = static_cast<Narrow>(wide);
    return true;
}

} // namespace

bool CSettingsStorage::ExchangeWString(const char* name, std::wstring& value, bool save) {
    std::string narrow;
    if (save && !ToMultibyte(value, narrow))
        return false;
    if (!ExchangeString(name, narrow, save))
        return false;
    return save || ToWide(narrow, value);
}

bool CSettingsStorage::ExchangeString(const char* name, std::string& value, bool save) {
    if (save) {
        unsigned size = static_cast<unsigned>(value.size() + 1);
        return ExchangeStringBuffer(name, value.data(), size, save);
    }
    std::vector<char> buffer(1024, '\0');
    unsigned size = static_cast<unsigned>(buffer.size());
    bool ok = ExchangeStringBuffer(name, buffer.data(), size, save);
    if (!ok && size != 0) {
        // The storage told us the capacity the value needs: one more try with that much.
        buffer.assign(size, '\0');
        ok = ExchangeStringBuffer(name, buffer.data(), size, save);
    }
    if (!ok)
        return false;
    value.assign(buffer.data(), ::strnlen(buffer.data(), buffer.size()));
    return true;
}

bool CSettingsStorage::ExchangeSettings(const char* name, CSettings& value, bool save) {
    const std::unique_ptr<CSettingsStorage> sub = CreateSubStorage(name);
    if (!sub)
        return false;
    return save ? value.Save(*sub) : value.Load(*sub);
}

bool CSettingsStorage::ExchangeFloat(const char* name, float& value, bool save) {
    return ThroughWider<double>(value, save, [&](double& v) { return ExchangeDouble(name, v, save); });
}

bool CSettingsStorage::ExchangeUInt64(const char* name, std::uint64_t& value, bool save) {
    return ExchangeBinary(name, &value, sizeof value, save);
}

bool CSettingsStorage::ExchangeInt64(const char* name, std::int64_t& value, bool save) {
    return ExchangeBinary(name, &value, sizeof value, save);
}

bool CSettingsStorage::ExchangeUChar(const char* name, std::uint8_t& value, bool save) {
    return ThroughWider<std::uint32_t>(value, save,
                                       [&](std::uint32_t& v) { return ExchangeULong(name, v, save); });
}

bool CSettingsStorage::ExchangeChar(const char* name, std::int8_t& value, bool save) {
    return ThroughWider<std::int32_t>(value, save,
                                      [&](std::int32_t& v) { return ExchangeLong(name, v, save); });
}

bool CSettingsStorage::ExchangeUShort(const char* name, std::uint16_t& value, bool save) {
    return ThroughWider<std::uint32_t>(value, save,
                                       [&](std::uint32_t& v) { return ExchangeULong(name, v, save); });
}

bool CSettingsStorage::ExchangeShort(const char* name, std::int16_t& value, bool save) {
    return ThroughWider<std::int32_t>(value, save,
                                      [&](std::int32_t& v) { return ExchangeLong(name, v, save); });
}

bool CSettingsStorage::ExchangeUInt(const char* name, std::uint32_t& value, bool save) {
    return ExchangeULong(name, value, save);
}

bool CSettingsStorage::ExchangeInt(const char* name, std::int32_t& value, bool save) {
    return ExchangeLong(name, value, save);
}

bool CSettingsStorage::BeginObjectList(const char* name, unsigned& count, bool save) {
    m_listStorage = CreateSubStorage(name);
    if (!m_listStorage || count == 0xFFFFFFFFu)
        return false;
    save ? m_listStorage->BeginSave() : m_listStorage->BeginLoad();
    std::uint32_t value = count;
    const bool ok = m_listStorage->ExchangeUInt("Count", value, save);
    count = value;
    return ok;
}

bool CSettingsStorage::ExchangeObjectListItem(int index, CSettings& item, bool save) {
    if (!m_listStorage)
        return false;
    char name[16];
    std::snprintf(name, sizeof name, "%i", index);
    const std::unique_ptr<CSettingsStorage> sub = m_listStorage->CreateSubStorage(name);
    if (!sub)
        return false;
    return save ? item.Save(*sub) : item.Load(*sub);
}

bool CSettingsStorage::EndObjectList(bool save) {
    if (!m_listStorage)
        return false;
    save ? m_listStorage->EndSave() : m_listStorage->EndLoad();
    m_listStorage.reset();
    return true;
}

bool CSettingsStorage::BeginValueList(const char* name, unsigned& count, bool save) {
    m_listStorage = CreateSubStorage(name);
    if (!m_listStorage)
        return false;
    const bool begun = save ? m_listStorage->BeginSave() : m_listStorage->BeginLoad();
    std::uint32_t value = count;
    if (m_listStorage->ExchangeUInt("Count", value, save)) {
        count = value;
        return begun;
    }
    save ? m_listStorage->EndSave() : m_listStorage->EndLoad();
    m_listStorage.reset();
    return false;
}

bool CSettingsStorage::GetValueListItemName(int index, void*, const char** name) {
    std::snprintf(m_itemName, sizeof m_itemName, "Item.%i", index);
    *name = m_itemName;
    return true;
}

bool CSettingsStorage::EndValueList(bool save) {
    if (!m_listStorage)
        return false;
    const bool ok = save ? m_listStorage->EndSave() : m_listStorage->EndLoad();
    m_listStorage.reset();
    return ok;
}
