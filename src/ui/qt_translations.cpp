#include "ui/qt_translations.h"

#include "extensions/language_choice.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

using namespace Qt::StringLiterals;

void InstallQtTranslations(const CLanguagePack& language, QObject* owner)
{
    const QLocale locale = LanguageLocale(language);
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
