#include "extensions/language_choice.h"

#include "extensions/language_catalogue.h"
#include "extensions/language_format.h"
#include "extensions/language_pack.h"
#include "extensions/system_language.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr int kPercentFormatStringId = 501;

} // namespace

QList<LanguageChoice> AvailableLanguages(const QString& folder)
{
    QList<LanguageChoice> choices;
    const QDir packs(folder);
    for (const QString& file : packs.entryList({u"*.json"_s}, QDir::Files | QDir::Readable)) {
        QString error;
        const QString path = packs.filePath(file);
        if (!CLanguageCatalogue::Load(path, &error))
            continue; // start-up could not use it either
        QFile json(path);
        const bool read = json.open(QIODevice::ReadOnly);
        const QString title =
            read ? QJsonDocument::fromJson(json.readAll()).object().value(u"language"_s).toString()
                 : QString();
        const QString name = file.chopped(5);
        choices.append({name, title.isEmpty() ? name : title});
    }
    std::sort(choices.begin(), choices.end(), [](const LanguageChoice& a, const LanguageChoice& b) {
        return a.title.localeAwareCompare(b.title) < 0;
    });
    return choices;
}

QLocale LanguageLocale(const CLanguagePack& language)
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

QString LanguagePercent(const CLanguagePack& language, double percent, int decimals)
{
    QLocale locale = LanguageLocale(language);
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    QString format = language.GetString(kPercentFormatStringId);
    if (FormatArguments(format) != QList<FormatArgument>{FormatArgument::Text})
        format = u"%s%%"_s; // a pack without it, or with a format that takes anything else
    return FormatLanguageText(format, {locale.toString(percent, 'f', decimals)});
}
