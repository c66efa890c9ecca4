#include "extensions/language_pack.h"

#include "extensions/language_catalogue.h"
#include "foundation/notifier.h"
#include "foundation/path_helpers.h"

#include <QDir>
#include <type_traits>

using namespace Qt::StringLiterals;

static_assert(std::is_standard_layout_v<OrvelLanguage>);

QString NoLanguageMessage()
{
    return u"Unable to find any language. Try to reinstall application."_s;
}

QString NoLanguageCaption()
{
    return u"Error"_s;
}

CLanguagePack::CLanguagePack()
{
    AddEntry(u"czech"_s, {1029});
    AddEntry(u"danish"_s, {1030});
    AddEntry(u"dutch"_s, {1043, 2067});
    AddEntry(u"finnish"_s, {1035});
    AddEntry(u"french"_s, {1036, 2060, 3084, 4108});
    AddEntry(u"german"_s, {1031, 2055, 3079});
    AddEntry(u"greek"_s, {1032});
    AddEntry(u"hungarian"_s, {1038});
    AddEntry(u"icelandic"_s, {1039});
    AddEntry(u"italian"_s, {1040, 2064});
    AddEntry(u"norwegian"_s, {1044, 2068});
    AddEntry(u"polish"_s, {1045});
    AddEntry(u"portugues_br"_s, {1046});
    AddEntry(u"russian"_s, {1049});
    AddEntry(u"slovak"_s, {1051});
    AddEntry(u"spanish"_s, {1034, 2058, 3082});
    AddEntry(u"swedish"_s, {1053});
    AddEntry(u"turkish"_s, {1055});
}

CLanguagePack::~CLanguagePack()
{
    Unload();
}

CLanguagePack& CLanguagePack::Instance()
{
    static CLanguagePack instance;
    return instance;
}

void CLanguagePack::AddEntry(const QString& name, std::initializer_list<quint16> identifiers)
{
    Q_ASSERT(entryCount < kMaxEntries && identifiers.size() <= size_t(kMaxIdentifiers));
    LanguageEntry& entry = entries[entryCount++];
    entry.name = name;
    for (quint16 identifier : identifiers)
        entry.identifiers[entry.identifierCount++] = identifier;
}

void CLanguagePack::SetDefaults(const QString& newDefaultName, const QString& newFolder)
{
    defaultName = newDefaultName;
    folder = newFolder;
}

bool CLanguagePack::SelectSystemLanguage(quint16 id)
{
    const QDir packFolder(QDir(QDir::currentPath()).filePath(folder));
    for (int index = 0; index < entryCount; ++index) {
        const LanguageEntry& entry = entries[index];
        for (int i = 0; i < entry.identifierCount; ++i) {
            if (entry.identifiers[i] != id)
                continue;
            if (LoadLanguage(packFolder.filePath(entry.name + u".json"_s), entry.name))
                return true;
        }
    }
    return false;
}

bool CLanguagePack::LoadLanguage(const QString& path, const QString& name)
{
    Unload();
    currentName = name;
    if (!PathExists(path)) {
        currentName = defaultName;
        return false;
    }
    QString error;
    catalogue = CLanguageCatalogue::Load(path, &error);
    if (!catalogue) {
        // The pack is not there to give a caption, so this box names its own.
        CurrentNotifier()->Notify(INotifier::Icon::Error, u"Error"_s, error);
        return true;
    }
    module.module = catalogue.get();
    return true;
}

QString CLanguagePack::GetString(int id) const
{
    // The program's own string table holds none of the pack's ids, so a missing string is empty.
    return catalogue ? catalogue->String(id) : QString();
}

void CLanguagePack::Unload()
{
    module.module = nullptr;
    catalogue.reset();
}

LanguageMenu CLanguagePack::GetMenu(int menuId) const
{
    if (catalogue) {
        if (std::optional<LanguageMenu> menu = catalogue->Menu(menuId))
            return *menu;
    }
    return BuiltInMenu(menuId);
}

OrvelLanguage* CLanguagePack::PluginLanguageObject()
{
    return &module;
}

bool SelectStartupLanguage(CLanguagePack& pack, quint16 systemLanguageId, const QString& chosen)
{
    pack.SetDefaults(u"English"_s, u"Languages"_s);
    // A name of one component: a hand-edited setting cannot reach outside the folder.
    const bool oneName = !chosen.isEmpty() && !chosen.contains(u'/') && !chosen.startsWith(u'.');
    if (oneName && pack.LoadLanguage(pack.Folder() + u'/' + chosen + u".json"_s, chosen))
        return true;
    if (pack.SelectSystemLanguage(systemLanguageId))
        return true;
    return pack.LoadLanguage(pack.Folder() + u'/' + pack.DefaultName() + u".json"_s,
                             pack.DefaultName());
}
