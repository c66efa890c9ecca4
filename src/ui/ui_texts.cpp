#include "ui/ui_texts.h"

#include "extensions/language_pack.h"

QString LanguageTextOr(const CLanguagePack& language, int id, const QString& fallback)
{
    const QString text = language.GetString(id);
    return text.isEmpty() ? fallback : text;
}
