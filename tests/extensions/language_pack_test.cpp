#include "extensions/language_catalogue.h"
#include "extensions/language_pack.h"
#include "extensions/system_language.h"
#include "support/notifier_recorder.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

constexpr quint16 kGermanAustria = 3079;
constexpr quint16 kEnglishUs = 1033;

// A program folder with a "Languages" folder, made the current directory for the test.
class LanguageFolder
{
public:
    LanguageFolder() : previous(QDir::currentPath())
    {
        QDir(root.path()).mkdir(u"Languages"_s);
        QDir::setCurrent(root.path());
    }
    ~LanguageFolder() { QDir::setCurrent(previous); }

    void WritePack(const QString& name, const QByteArray& json) const
    {
        QFile file(root.path() + u"/Languages/"_s + name + u".json"_s);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(json);
    }

    // A pack whose string 119 and 101 name the language, so a test sees which one loaded.
    void WriteNamedPack(const QString& name, const QString& error) const
    {
        WritePack(name,
                  (uR"({"strings": {"101": "%1", "119": "%2"}})"_s).arg(name, error).toUtf8());
    }

private:
    QTemporaryDir root;
    QString previous;
};

} // namespace

TEST(LanguagePackTest, SystemLanguageWithItsPackLoadsThatPack)
{
    LanguageFolder folder;
    folder.WriteNamedPack(u"german"_s, u"Fehler"_s);
    folder.WriteNamedPack(u"English"_s, u"Error"_s);
    NotifierRecorder recorder;
    CLanguagePack pack;

    ASSERT_TRUE(SelectStartupLanguage(pack, kGermanAustria));

    EXPECT_EQ(pack.CurrentName(), u"german"_s);
    EXPECT_EQ(pack.GetString(101), u"german"_s);
    EXPECT_EQ(pack.GetString(119), u"Fehler"_s);
    EXPECT_EQ(recorder.Count(), 0);
}

TEST(LanguagePackTest, SystemLanguageWithoutItsPackFallsBackToEnglish)
{
    LanguageFolder folder;
    folder.WriteNamedPack(u"English"_s, u"Error"_s);
    CLanguagePack pack;

    ASSERT_TRUE(SelectStartupLanguage(pack, kGermanAustria));

    EXPECT_EQ(pack.CurrentName(), u"English"_s);
    EXPECT_EQ(pack.GetString(101), u"English"_s);
}

TEST(LanguagePackTest, EnglishSystemLanguageLoadsEnglishDirectly)
{
    LanguageFolder folder;
    folder.WriteNamedPack(u"English"_s, u"Error"_s);
    folder.WriteNamedPack(u"german"_s, u"Fehler"_s);
    CLanguagePack pack;

    EXPECT_FALSE(pack.SelectSystemLanguage(kEnglishUs));
    ASSERT_TRUE(SelectStartupLanguage(pack, kEnglishUs));
    EXPECT_EQ(pack.CurrentName(), u"English"_s);
    EXPECT_EQ(pack.GetString(119), u"Error"_s);
}

TEST(LanguagePackTest, NoPackAtAllIsTheStartupFailure)
{
    LanguageFolder folder;
    NotifierRecorder recorder;
    CLanguagePack pack;

    EXPECT_FALSE(SelectStartupLanguage(pack, kGermanAustria));
    EXPECT_FALSE(pack.IsLoaded());
    // The caller shows the message itself; the language step shows nothing.
    EXPECT_EQ(recorder.Count(), 0);
    EXPECT_EQ(NoLanguageMessage(), u"Unable to find any language. Try to reinstall application."_s);
    EXPECT_EQ(kNoLanguageExitCode, 255);
}

TEST(LanguagePackTest, DamagedPacksAreReportedOnceAndLeaveEveryTextEmpty)
{
    const QList<QByteArray> damaged = {
        R"({"strings": {"101": "Start")", // cut short
        "\x7f"
        "ELF\x02\x01\x01",     // a binary, not a catalogue
        R"(["101", "Start"])", // valid JSON, but no string table
        "",                    // empty file
    };
    for (const QByteArray& json : damaged) {
        SCOPED_TRACE(json.toStdString());
        LanguageFolder folder;
        folder.WritePack(u"german"_s, json);
        folder.WriteNamedPack(u"English"_s, u"Error"_s);
        NotifierRecorder recorder;
        CLanguagePack pack;
        // A pack that exists but does not load still counts as found: no fallback to English.
        EXPECT_TRUE(SelectStartupLanguage(pack, kGermanAustria));

        ASSERT_EQ(recorder.Count(), 1);
        EXPECT_EQ(recorder.Messages()[0].icon, INotifier::Icon::Error);
        EXPECT_EQ(recorder.Messages()[0].caption, u"Error"_s);
        EXPECT_TRUE(recorder.Messages()[0].text.contains(u"german.json"_s));
        EXPECT_FALSE(pack.IsLoaded());
        EXPECT_EQ(pack.CurrentName(), u"german"_s);
        EXPECT_TRUE(pack.GetString(101).isEmpty());
        EXPECT_TRUE(pack.GetString(119).isEmpty());
    }
}

TEST(LanguagePackTest, MissingStringsAreEmptyAndLongStringsAreCut)
{
    LanguageFolder folder;
    const QString longText(3000, u'x');
    folder.WritePack(
        u"English"_s,
        (uR"({"strings": {"101": "%1", "102": 7, "abc": "x"}})"_s).arg(longText).toUtf8());
    CLanguagePack pack;
    ASSERT_TRUE(SelectStartupLanguage(pack, kEnglishUs));

    EXPECT_EQ(pack.GetString(101).size(), CLanguagePack::kStringBufferSize - 1);
    EXPECT_TRUE(pack.GetString(102).isEmpty());
    EXPECT_TRUE(pack.GetString(119).isEmpty());
    EXPECT_TRUE(pack.GetString(99999).isEmpty());
}

TEST(LanguagePackTest, LoadingAgainReplacesThePackAndUnloadClearsIt)
{
    LanguageFolder folder;
    folder.WriteNamedPack(u"English"_s, u"Error"_s);
    folder.WriteNamedPack(u"german"_s, u"Fehler"_s);
    CLanguagePack pack;
    ASSERT_TRUE(SelectStartupLanguage(pack, kGermanAustria));

    EXPECT_FALSE(pack.LoadLanguage(u"Languages/french.json"_s, u"french"_s));
    EXPECT_EQ(pack.CurrentName(), u"English"_s);
    EXPECT_FALSE(pack.IsLoaded());
    EXPECT_TRUE(pack.GetString(101).isEmpty());

    ASSERT_TRUE(pack.LoadLanguage(u"Languages/English.json"_s, u"English"_s));
    EXPECT_EQ(pack.GetString(119), u"Error"_s);
    pack.Unload();
    EXPECT_FALSE(pack.IsLoaded());
    EXPECT_EQ(pack.PluginLanguageObject()->module, nullptr);
}

TEST(LanguagePackTest, MenusComeFromThePackOrTheProgramsOwnCopy)
{
    LanguageFolder folder;
    folder.WritePack(u"English"_s, R"({"strings": {}, "menus": {"215": [
        {"text": "Popup", "items": [{"text": "Add", "command": 32799}, {"separator": true},
                                    {"text": "broken"}, {"text": "Sub", "items": []}]}]}})");
    CLanguagePack pack;
    EXPECT_EQ(pack.GetMenu(kMainMenuId), BuiltInMenu(kMainMenuId));
    ASSERT_TRUE(SelectStartupLanguage(pack, kEnglishUs));

    const LanguageMenu menu = pack.GetMenu(kFileListMenuId);
    ASSERT_EQ(menu.size(), 1u);
    ASSERT_EQ(menu[0].kind, LanguageMenuItem::Kind::Popup);
    const std::vector<LanguageMenuItem>& items = menu[0].items;
    ASSERT_EQ(items.size(), 3u); // the item without command id is left out
    EXPECT_EQ(items[0], LanguageMenuItem::Command(u"Add"_s, 32799));
    EXPECT_EQ(items[1].kind, LanguageMenuItem::Kind::Separator);
    EXPECT_EQ(items[2].kind, LanguageMenuItem::Kind::Popup);
    // The pack has no menu 203: the program's own.
    EXPECT_EQ(pack.GetMenu(kMainMenuId), BuiltInMenu(kMainMenuId));
    EXPECT_TRUE(pack.GetMenu(999).empty());
}

TEST(LanguagePackTest, PluginsReadStringsThroughThePackHandle)
{
    LanguageFolder folder;
    folder.WritePack(u"English"_s, R"({"strings": {"119": "Error", "116": "Plug-ins"}})");
    CLanguagePack pack;
    EXPECT_EQ(pack.PluginLanguageObject()->module, nullptr);
    ASSERT_TRUE(SelectStartupLanguage(pack, kEnglishUs));

    const OrvelLanguageModule* module = pack.PluginLanguageObject()->module;
    ASSERT_NE(module, nullptr);
    char16_t buffer[4] = {u'?', u'?', u'?', u'?'};
    EXPECT_EQ(module->getString(module, 119, buffer, 4), 3);
    EXPECT_EQ(QString::fromUtf16(buffer), u"Err"_s);
    EXPECT_EQ(module->getString(module, 555, buffer, 4), 0);
    EXPECT_EQ(buffer[0], u'\0');
}

TEST(SystemLanguageTest, LocalesMapToTheirLanguageIdentifiers)
{
    const struct
    {
        const char* locale;
        quint16 id;
    } cases[] = {
        {"de_AT", 3079}, {"de_DE", 1031}, {"de_CH", 2055}, {"de_BE", 1031}, {"en_US", 1033},
        {"en_GB", 2057}, {"en_IN", 1033}, {"fr_CA", 3084}, {"fr_FR", 1036}, {"nl_BE", 2067},
        {"nb_NO", 1044}, {"nn_NO", 2068}, {"pt_BR", 1046}, {"es_MX", 2058}, {"es_ES", 3082},
        {"C", 1033},     {"ja_JP", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.locale);
        EXPECT_EQ(LanguageIdForLocale(QLocale(QString::fromLatin1(c.locale))), c.id);
    }
}

TEST(SystemLanguageTest, EveryIdentifierOfTheTableIsReachable)
{
    // Identifiers no locale produces could never select their pack.
    const QList<QLocale> locales =
        QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    QSet<quint16> reachable;
    for (const QLocale& locale : locales)
        reachable.insert(LanguageIdForLocale(locale));

    const CLanguagePack pack;
    for (int index = 0; index < pack.EntryCount(); ++index) {
        const CLanguagePack::LanguageEntry& entry = pack.Entry(index);
        for (int i = 0; i < entry.identifierCount; ++i) {
            // 1034 is Spain's traditional sort order, which locales do not name.
            if (entry.identifiers[i] == 1034)
                continue;
            EXPECT_TRUE(reachable.contains(entry.identifiers[i]))
                << entry.name.toStdString() << ' ' << entry.identifiers[i];
        }
    }
}
