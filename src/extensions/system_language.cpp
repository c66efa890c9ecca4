#include "extensions/system_language.h"

namespace {

struct LocaleLanguageId
{
    QLocale::Language language;
    QLocale::Territory territory; // AnyTerritory: the language's default identifier
    quint16 id;
};

// Every identifier of the language table, plus English, the fallback pack.
constexpr LocaleLanguageId kLanguageIds[] = {
    {QLocale::Czech, QLocale::AnyTerritory, 1029},
    {QLocale::Danish, QLocale::AnyTerritory, 1030},
    {QLocale::Dutch, QLocale::Belgium, 2067},
    {QLocale::Dutch, QLocale::AnyTerritory, 1043},
    {QLocale::Finnish, QLocale::AnyTerritory, 1035},
    {QLocale::French, QLocale::Belgium, 2060},
    {QLocale::French, QLocale::Canada, 3084},
    {QLocale::French, QLocale::Switzerland, 4108},
    {QLocale::French, QLocale::Luxembourg, 5132},
    {QLocale::French, QLocale::AnyTerritory, 1036},
    {QLocale::German, QLocale::Switzerland, 2055},
    {QLocale::German, QLocale::Austria, 3079},
    {QLocale::German, QLocale::Luxembourg, 4103},
    {QLocale::German, QLocale::Liechtenstein, 5127},
    {QLocale::German, QLocale::AnyTerritory, 1031},
    {QLocale::Greek, QLocale::AnyTerritory, 1032},
    {QLocale::Hungarian, QLocale::AnyTerritory, 1038},
    {QLocale::Icelandic, QLocale::AnyTerritory, 1039},
    {QLocale::Italian, QLocale::Switzerland, 2064},
    {QLocale::Italian, QLocale::AnyTerritory, 1040},
    {QLocale::NorwegianBokmal, QLocale::AnyTerritory, 1044},
    {QLocale::NorwegianNynorsk, QLocale::AnyTerritory, 2068},
    {QLocale::Polish, QLocale::AnyTerritory, 1045},
    {QLocale::Portuguese, QLocale::Brazil, 1046},
    {QLocale::Portuguese, QLocale::AnyTerritory, 2070},
    {QLocale::Russian, QLocale::AnyTerritory, 1049},
    {QLocale::Slovak, QLocale::AnyTerritory, 1051},
    {QLocale::Spanish, QLocale::Mexico, 2058},
    {QLocale::Spanish, QLocale::AnyTerritory, 3082},
    {QLocale::Swedish, QLocale::AnyTerritory, 1053},
    {QLocale::Turkish, QLocale::AnyTerritory, 1055},
    {QLocale::English, QLocale::UnitedKingdom, 2057},
    {QLocale::English, QLocale::Australia, 3081},
    {QLocale::English, QLocale::Canada, 4105},
    {QLocale::English, QLocale::NewZealand, 5129},
    {QLocale::English, QLocale::Ireland, 6153},
    {QLocale::English, QLocale::AnyTerritory, kLanguageIdEnglishUs},
    // The POSIX "C" locale speaks English.
    {QLocale::C, QLocale::AnyTerritory, kLanguageIdEnglishUs},
};

} // namespace

quint16 LanguageIdForLocale(const QLocale& locale)
{
    // The exact territory wins; the table lists each language's default after its territories.
    for (const LocaleLanguageId& entry : kLanguageIds) {
        if (entry.language != locale.language())
            continue;
        if (entry.territory == QLocale::AnyTerritory || entry.territory == locale.territory())
            return entry.id;
    }
    return 0;
}

quint16 SystemDefaultLanguageId()
{
    return LanguageIdForLocale(QLocale::system());
}

QLocale LocaleForLanguageId(quint16 id)
{
    for (const LocaleLanguageId& entry : kLanguageIds) {
        if (entry.id == id)
            return QLocale(entry.language, entry.territory);
    }
    return QLocale::c();
}
