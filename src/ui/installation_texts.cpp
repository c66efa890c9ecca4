#include "ui/installation_texts.h"

#include "codecs/codec.h"
#include "codecs/codec_installation.h"
#include "extensions/language_format.h"
#include "extensions/language_pack.h"
#include "foundation/notifier.h"
#include "ui/main_window_texts.h"
#include "ui/ui_texts.h"

#include <QSet>

using namespace Qt::StringLiterals;

namespace {

QString NotInstalledSentence(const CodecInstallation& installation, const CLanguagePack& language)
{
    if (installation.package.isEmpty()) {
        return FormatLanguageText(
            LanguageTextOr(language, UiText::kProgramMissing, u"%s is not installed."_s),
            {installation.program});
    }
    return FormatLanguageText(
        LanguageTextOr(
            language, UiText::kInstallPackage,
            u"%s is not installed. Install the Debian package %s: sudo apt install %s"_s),
        {installation.program, installation.package, installation.package});
}

} // namespace

QString CoderListText(CCodec& coder, const CLanguagePack& language)
{
    const CodecInstallation installation = InstallationOf(coder);
    if (installation.installed)
        return coder.GetName();
    if (installation.package.isEmpty()) {
        return FormatLanguageText(
            LanguageTextOr(language, UiText::kCoderNotInstalled, u"%s (not installed)"_s),
            {coder.GetName()});
    }
    return FormatLanguageText(LanguageTextOr(language, UiText::kCoderNotInstalledPackage,
                                             u"%s (not installed: Debian package %s)"_s),
                              {coder.GetName(), installation.package});
}

QString ProgramStateText(const CodecInstallation& installation, const CLanguagePack& language)
{
    if (installation.program.isEmpty())
        return {};
    if (!installation.installed)
        return NotInstalledSentence(installation, language);
    return FormatLanguageText(
        LanguageTextOr(language, UiText::kProgramInstalled, u"%s (installed)"_s),
        {installation.program});
}

bool RefuseMissingPrograms(const QList<CCodec*>& codecs, const CLanguagePack& language)
{
    QStringList missing;
    QSet<QString> asked;
    QSet<QString> named;
    for (CCodec* codec : codecs) {
        // Every planned file has its own copy of a coder: each executable is asked once.
        if (codec == nullptr || asked.contains(codec->GetExecutable()))
            continue;
        asked.insert(codec->GetExecutable());
        const CodecInstallation installation = InstallationOf(*codec);
        if (installation.installed || named.contains(installation.program))
            continue;
        named.insert(installation.program);
        missing << codec->GetName() + u": "_s + NotInstalledSentence(installation, language);
    }
    if (missing.isEmpty())
        return false;
    CurrentNotifier()->Notify(
        INotifier::Icon::Warning, language.GetString(MainText::kWarningCaption),
        LanguageTextOr(language, UiText::kCannotStart,
                       u"Nothing was started: a program the conversion needs is missing."_s) +
            u'\n' + missing.join(u'\n'));
    return true;
}
