#pragma once

#include <cstdint>
#include <memory>
#include <string>

class CSettings;

// Where settings values are kept. Each exchange moves one named, typed value in one direction
// (save = into the storage, otherwise out of it) and answers whether that worked.
class CSettingsStorage {
public:
    virtual ~CSettingsStorage() = default;

    // A storage for the nested value of that name, or none.
    virtual std::unique_ptr<CSettingsStorage> CreateSubStorage(const char* name) = 0;
    // Whether a settings object goes on after a failed value.
    virtual bool ContinueOnError() = 0;
    virtual bool BeginSave();
    virtual bool EndSave();
    virtual bool BeginLoad();
    virtual bool EndLoad();

    virtual bool ExchangeWString(const char* name, std::wstring& value, bool save);
    virtual bool ExchangeString(const char* name, std::string& value, bool save);
    virtual bool ExchangeSettings(const char* name, CSettings& value, bool save);
    virtual bool ExchangeFloat(const char* name, float& value, bool save);
    virtual bool ExchangeUInt64(const char* name, std::uint64_t& value, bool save);
    virtual bool ExchangeInt64(const char* name, std::int64_t& value, bool save);
    // The narrow numbers travel as 32-bit values and are narrowed without a range check on load.
    virtual bool ExchangeUChar(const char* name, std::uint8_t& value, bool save);
    virtual bool ExchangeChar(const char* name, std::int8_t& value, bool save);
    virtual bool ExchangeUShort(const char* name, std::uint16_t& value, bool save);
    virtual bool ExchangeShort(const char* name, std::int16_t& value, bool save);
    virtual bool ExchangeUInt(const char* name, std::uint32_t& value, bool save);
    virtual bool ExchangeInt(const char* name, std::int32_t& value, bool save);

    virtual bool ExchangeBinary(const char* name, void* data, unsigned size, bool save) = 0;
    // size is the buffer's capacity including the terminator (on save: the text's length plus
    // one). A load that does not fit may answer false with size set to the capacity it needs.
    virtual bool ExchangeStringBuffer(const char* name, char* buffer, unsigned& size, bool save) = 0;
    virtual bool ExchangeDouble(const char* name, double& value, bool save) = 0;
    virtual bool ExchangeBool(const char* name, bool& value, bool save) = 0;
    virtual bool ExchangeULong(const char* name, std::uint32_t& value, bool save) = 0;
    virtual bool ExchangeLong(const char* name, std::int32_t& value, bool save) = 0;

    // A list of settings objects: Begin with the count (exchanged as "Count"), one
    // ExchangeObjectListItem per index, End.
    virtual bool BeginObjectList(const char* name, unsigned& count, bool save);
    virtual bool ExchangeObjectListItem(int index, CSettings& item, bool save);
    virtual bool EndObjectList(bool save);
    // A list of plain values: Begin with the count, then exchange each item on ListStorage()
    // under the name GetValueListItemName gives ("Item.%i"), End.
    virtual bool BeginValueList(const char* name, unsigned& count, bool save);
    virtual bool GetValueListItemName(int index, void* reserved, const char** name);
    virtual bool EndValueList(bool save);

    // The storage of the list that is open, or null.
    CSettingsStorage* ListStorage() const { return m_listStorage.get(); }

private:
    std::unique_ptr<CSettingsStorage> m_listStorage;
    char m_itemName[32] = {};
};
