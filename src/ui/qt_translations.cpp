#include "ui/qt_translations.h"

#include "extensions/language_pack.h"
#include "extensions/system_language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

using namespace Qt::StringLiterals;

namespace {

// The locale the pack speaks: that of the first identifier its table entry lists.
QLocale PackLocale(const CLanguagePack& language)
{
    for (int i = 0; i < language.EntryCount(); ++i) {
        const CLanguagePack::LanguageEntry& entry = language.Entry(i);
        if (entry.identifierCount > 0 &&
            entry.name.compare(language.CurrentName(), Qt::CaseInsensitive) == 0) {
            return LocaleForLanguageId(entry.identifiers[0]);
        }
    }
    return QLocale(QLocale::English);
}

} // namespace

void InstallQtTranslations(const CLanguagePack& language, QObject* owner)
{
    const QLocale locale = PackLocale(language);
    if (locale.language() == QLocale::English || locale.language() == QLocale::C) {
        return;
    }
    auto* translator = new QTranslator(owner);
    if (!translator->load(locale, u"qtbase"_s, u"_"_s,
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return;
    }
    QCoreApplication::installTranslator(translator);
}
