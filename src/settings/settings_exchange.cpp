#include "settings/settings_exchange.h"

bool CSettings::Load(CSettingsStorage& storage)
{
    bool ok = storage.BeginLoad();
    OnBeginLoad(ok);
    if (ok)
        ok = Exchange(storage.ContinueOnError(), &storage, false, false);
    const bool ended = storage.EndLoad();
    ok = ok && ended;
    OnEndLoad(ok);
    return ok;
}

bool CSettings::Save(CSettingsStorage& storage)
{
    bool ok = storage.BeginSave();
    OnBeginSave(ok);
    if (ok)
        ok = Exchange(storage.ContinueOnError(), &storage, true, false);
    // Always ended: the values that did go through are written even when one failed.
    const bool ended = storage.EndSave();
    ok = ok && ended;
    OnEndSave(ok);
    return ok;
}

bool ExchangeSettings(CSettingsStorage& storage, const QString& key, CSettings& object, bool save)
{
    const std::unique_ptr<CSettingsStorage> section = storage.OpenSection(key);
    if (!section)
        return false;
    return save ? object.Save(*section) : object.Load(*section);
}

bool ExchangeListObject(CSettingsStorage& storage, qint32 index, CSettings& object, bool save)
{
    CSettingsStorage* list = storage.ListSection();
    if (!list)
        return false;
    const std::unique_ptr<CSettingsStorage> item = list->OpenSection(QString::number(index));
    if (!item)
        return false;
    return save ? object.Save(*item) : object.Load(*item);
}

CSettingsExchange::CSettingsExchange(bool continueOnErrorFlag, CSettingsStorage* storageToUse,
                                     bool saveFlag, bool resetFlag)
    : continueOnError(continueOnErrorFlag), storage(storageToUse), save(saveFlag), reset(resetFlag)
{
}

template <typename Reset> bool CSettingsExchange::Value(bool ok, Reset resetToDefault)
{
    if (ok)
        return true;
    if (!continueOnError) {
        result = false;
        return false;
    }
    if (save)
        result = false;
    else
        resetToDefault();
    return true;
}

bool CSettingsExchange::Int32(const QString& key, qint32& value, qint32 defaultValue)
{
    if (reset) {
        value = defaultValue;
        return true;
    }
    return Value(storage && storage->ExchangeInt32(key, value, save),
                 [&] { value = defaultValue; });
}

bool CSettingsExchange::String(const QString& key, QString& value, const QString& defaultValue)
{
    if (reset) {
        value = defaultValue;
        return true;
    }
    return Value(storage && storage->ExchangeString(key, value, save),
                 [&] { value = defaultValue; });
}

bool CSettingsExchange::Bytes(const QString& key, QByteArray& value)
{
    if (reset)
        return true;
    return Value(storage && storage->ExchangeByteArray(key, value, save), [] {});
}

bool CSettingsExchange::Settings(const QString& key, CSettings& object)
{
    if (reset)
        return object.Exchange(continueOnError, nullptr, false, true);
    if (storage && ExchangeSettings(*storage, key, object, save))
        return true;
    result = false;
    return continueOnError;
}
