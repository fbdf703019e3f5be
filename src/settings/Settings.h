#pragma once

class CSettingsStorage;

// A settings object lists its values once, in Exchange, which serves loading, saving and setting
// defaults; the storage decides where and how each value is kept.
class CSettings {
public:
    virtual ~CSettings() = default;

    virtual void OnBeforeSave(bool ok);
    virtual void OnAfterSave(bool ok);
    virtual void OnBeforeLoad(bool ok);
    virtual void OnAfterLoad(bool ok);
    // Visits every value: with defaultsOnly assigns the defaults (storage may be null), otherwise
    // exchanges each value with the storage in the direction given by save.
    virtual bool Exchange(bool continueOnError, CSettingsStorage* storage, bool save, bool defaultsOnly) = 0;
    // Begin, exchange and end on the storage; false when any of them failed.
    virtual bool Load(CSettingsStorage& storage);
    virtual bool Save(CSettingsStorage& storage);
};
