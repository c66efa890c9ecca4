#pragma once

#include "extensions/language_menu.h"

#include <QHash>
#include <QString>
#include <memory>
#include <optional>
#include <orvel/plugin.h>

// One loaded language pack: a UTF-8 JSON catalogue of the form
//   { "strings": { "101": "Start", ... },
//     "menus": { "203": [ { "text": "Program", "items": [
//                  { "text": "Options", "command": 32777 }, { "separator": true }, ... ] } ] } }
// Plugins reach it through its OrvelLanguageModule base.
class CLanguageCatalogue : public OrvelLanguageModule
{
public:
    // Largest catalogue read; anything bigger is not a language pack.
    static constexpr qint64 kMaxFileSize = 16 * 1024 * 1024;
    // A string is read through a buffer of this many characters, the terminator included.
    static constexpr int kStringBufferSize = 1024;

    // The catalogue at path, or null with *error describing why it could not be read.
    static std::unique_ptr<CLanguageCatalogue> Load(const QString& path, QString* error);

    // Empty when the catalogue has no such string.
    QString String(int id) const { return strings.value(id); }
    std::optional<LanguageMenu> Menu(int menuId) const;

private:
    CLanguageCatalogue();
    bool Parse(const QByteArray& json, QString* error);
    static int ReadString(const OrvelLanguageModule* module, int id, char16_t* buffer, int size);

    QHash<int, QString> strings;
    QHash<int, LanguageMenu> menus;
};
