#include "ui/ui_texts.h"

#include "extensions/language_pack.h"

using namespace Qt::StringLiterals;

QString LanguageTextOr(const CLanguagePack& language, int id, const QString& fallback)
{
    const QString text = language.GetString(id);
    return text.isEmpty() ? fallback : text;
}

QString TextWithFiles(const QString& text, QStringList files)
{
    // A message box taller than the screen hides its buttons.
    constexpr qsizetype kMaxNamedFiles = 25;
    const qsizetype unnamed = files.size() - kMaxNamedFiles;
    if (unnamed > 0) {
        files.resize(kMaxNamedFiles);
        files << u"\u2026 (+%1)"_s.arg(unnamed);
    }
    return text + u'\n' + files.join(u'\n');
}

QString WithoutAccessKey(QString text)
{
    QString plain;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size()) {
            ++i; // the character after "&" is kept, a second "&" included
        }
        plain += text[i];
    }
    return plain;
}
