#include "settings/Settings.h"

#include "settings/SettingsStorage.h"

void CSettings::OnBeforeSave(bool) {}
void CSettings::OnAfterSave(bool) {}
void CSettings::OnBeforeLoad(bool) {}
void CSettings::OnAfterLoad(bool) {}

bool CSettings::Load(CSettingsStorage& storage) {
    bool ok = storage.BeginLoad();
    OnBeforeLoad(ok);
    if (ok)
        ok = Exchange(storage.ContinueOnError(), &storage, false, false);
    if (!storage.EndLoad())
        ok = false;
    OnAfterLoad(ok);
    return ok;
}

bool CSettings::Save(CSettingsStorage& storage) {
    bool ok = storage.BeginSave();
    OnBeforeSave(ok);
    if (ok)
        ok = Exchange(storage.ContinueOnError(), &storage, true, false);
    if (!storage.EndSave())
        ok = false;
    OnAfterSave(ok);
    return ok;
}
