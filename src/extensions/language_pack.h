#pragma once

#include "extensions/language_catalogue.h"
#include "extensions/language_menu.h"

#include <QString>
#include <QtGlobal>
#include <memory>
#include <orvel/plugin.h>

// Error captions, messages and the exit code of start-up's language step.
inline constexpr int kErrorCaptionStringId = 119;
inline constexpr int kWarningCaptionStringId = 120;
inline constexpr int kNoLanguageExitCode = 255;
QString NoLanguageMessage();
QString NoLanguageCaption();

// The program's language: one pack (a JSON catalogue "Languages/NAME.json") chosen from the
// system's language, supplying every user-interface text by number and the two menus.
class CLanguagePack
{
public:
    static constexpr int kMaxEntries = 100;
    static constexpr int kMaxIdentifiers = 10;
    // A string is read through a buffer of this many characters, the terminator included.
    static constexpr int kStringBufferSize = CLanguageCatalogue::kStringBufferSize;

    struct LanguageEntry
    {
        QString name;
        quint16 identifiers[kMaxIdentifiers] = {};
        int identifierCount = 0;
    };

    CLanguagePack();
    ~CLanguagePack();
    CLanguagePack(const CLanguagePack&) = delete;
    CLanguagePack& operator=(const CLanguagePack&) = delete;

    // The program-wide object, created on the first call.
    static CLanguagePack& Instance();

    void SetDefaults(const QString& defaultName, const QString& folder);
    // Loads the pack of the first table entry that lists id and whose file loads.
    bool SelectSystemLanguage(quint16 id);
    // False only when no file exists at path; a file that exists but does not load is
    // reported and leaves the program without a pack (true).
    bool LoadLanguage(const QString& path, const QString& name);
    QString GetString(int id) const;
    void Unload();

    // Menu menuId from the pack; the program's own English copy when no pack is loaded or the
    // pack lacks it.
    LanguageMenu GetMenu(int menuId) const;

    bool IsLoaded() const { return module.module != nullptr; }
    QString CurrentName() const { return currentName; }
    QString DefaultName() const { return defaultName; }
    QString Folder() const { return folder; }
    int EntryCount() const { return entryCount; }
    const LanguageEntry& Entry(int index) const { return entries[index]; }

    // What plugins receive: the address of the object, whose first member is the pack handle.
    OrvelLanguage* PluginLanguageObject();

private:
    void AddEntry(const QString& name, std::initializer_list<quint16> identifiers);

    // Must stay the first member: plugins get this object's address as an OrvelLanguage.
    OrvelLanguage module{nullptr};
    QString currentName;
    QString defaultName = QStringLiteral("english");
    QString folder = QStringLiteral("lng");
    LanguageEntry entries[kMaxEntries];
    int entryCount = 0;
    std::unique_ptr<CLanguageCatalogue> catalogue;
};

// Start-up's language step: defaults "English" and "Languages"; the pack the user chose
// ("Languages/<chosen>.json") when there is one, else that of the system language, else
// "Languages/English.json". False when none exists; the caller then shows NoLanguageMessage()
// and ends with kNoLanguageExitCode.
bool SelectStartupLanguage(CLanguagePack& pack, quint16 systemLanguageId,
                           const QString& chosen = {});
