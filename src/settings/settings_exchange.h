#pragma once

#include "settings/settings_storage.h"

#include <QByteArray>
#include <QString>

// Settings objects and how they go through a storage. The storage only stores values; nesting
// an object in a section, and walking an object's values, happen here, so the storage never
// calls back into the objects it holds.

// A settings object lists its values once, in Exchange, which saves, loads or resets them.
class CSettings
{
public:
    virtual ~CSettings() = default;

    virtual void OnBeginSave(bool /*ok*/) {}
    virtual void OnEndSave(bool /*ok*/) {}
    virtual void OnBeginLoad(bool /*ok*/) {}
    virtual void OnEndLoad(bool /*ok*/) {}

    // reset: every value to its default (storage unused, may be null). Otherwise each value in
    // declared order through the storage; see CSettingsExchange for the rules.
    virtual bool Exchange(bool continueOnError, CSettingsStorage* storage, bool save,
                          bool reset) = 0;

    virtual bool Load(CSettingsStorage& storage);
    virtual bool Save(CSettingsStorage& storage);
};

// The object in the section key of storage: saved, or loaded (Begin/End and the hooks included).
bool ExchangeSettings(CSettingsStorage& storage, const QString& key, CSettings& object, bool save);

// Object index of the object list that storage.BeginObjectList opened; false when none is open.
bool ExchangeListObject(CSettingsStorage& storage, qint32 index, CSettings& object, bool save);

// Walks the values of one Exchange call with the rules every settings class follows:
// reset sets each value to its default; a failed plain value stops the exchange at once
// without continueOnError, and otherwise falls back to its default when loading and makes
// the result false when saving; a failed nested object always makes the result false.
// Each call returns false when the exchange must stop.
class CSettingsExchange
{
public:
    CSettingsExchange(bool continueOnError, CSettingsStorage* storage, bool save, bool reset);

    bool Int32(const QString& key, qint32& value, qint32 defaultValue);
    bool String(const QString& key, QString& value, const QString& defaultValue);
    // A byte block without a default: reset and a failed load leave it as it was.
    bool Bytes(const QString& key, QByteArray& value);
    bool Settings(const QString& key, CSettings& object);

    bool Result() const { return result; }

private:
    template <typename Reset> bool Value(bool ok, Reset resetToDefault);

    bool continueOnError;
    CSettingsStorage* storage;
    bool save;
    bool reset;
    bool result = true;
};
