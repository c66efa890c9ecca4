#pragma once

#include <QList>
#include <QLocale>
#include <QString>

class CLanguagePack;

// A language pack the user can choose: its file name without ".json" (what the setting
// stores) and the name the pack gives its language.
struct LanguageChoice
{
    QString name;
    QString title;
};

// The packs of folder that parse, by title; a pack without a title goes by its file name.
QList<LanguageChoice> AvailableLanguages(const QString& folder);

// The locale the loaded pack speaks: that of the first identifier its table entry lists;
// English for a pack the table does not list.
QLocale LanguageLocale(const CLanguagePack& language);

// A percentage as the pack writes it: the number in its locale, placed by its format (string
// 501, "%s%%" in English, "%s %%" in German).
QString LanguagePercent(const CLanguagePack& language, double percent, int decimals);
