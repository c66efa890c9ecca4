#pragma once

#include <QLocale>
#include <QtGlobal>

// Language identifiers as the language table of CLanguagePack lists them (primary language in
// the low 10 bits, sub-language above: 3079 is German as written in Austria).
inline constexpr quint16 kLanguageIdEnglishUs = 1033;

// The identifier of a locale: its language and territory when both are known, else the
// language's default identifier, else 0 (no language known).
quint16 LanguageIdForLocale(const QLocale& locale);

// The system's default language identifier, from the user's locale.
quint16 SystemDefaultLanguageId();

// The locale of an identifier of the table; the "C" locale for any other.
QLocale LocaleForLanguageId(quint16 id);
