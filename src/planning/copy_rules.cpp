#include "planning/copy_rules.h"

#include "codecs/codec.h"
#include "foundation/path_helpers.h"
#include "planning/file_info.h"
#include "planning/job_planning.h"

#include <QHash>
#include <QSet>

using namespace Qt::StringLiterals;

namespace {

// MediaInfo's names of the formats each extension holds.
const QHash<QString, QString>& FormatOfExtension()
{
    static const QHash<QString, QString> formats = {
        {u"mp3"_s, u"MPEG Audio"_s},   {u"ogg"_s, u"Vorbis"_s},
        {u"opus"_s, u"Opus"_s},        {u"flac"_s, u"FLAC"_s},
        {u"m4a"_s, u"AAC"_s},          {u"aac"_s, u"AAC"_s},
        {u"wv"_s, u"WavPack"_s},       {u"ape"_s, u"Monkey's Audio"_s},
        {u"spx"_s, u"Speex"_s},        {u"wma"_s, u"WMA"_s},
        {u"mpc"_s, u"Musepack SV7"_s},
    };
    return formats;
}

bool FormatKnown(const CFileInfo& file)
{
    return !file.format.isEmpty() && file.format != QString::fromUtf16(kMediaInfoMissingText);
}

} // namespace

bool IsLossySource(const CFileInfo& file)
{
    static const QSet<QString> lossyFormats = {
        u"MPEG Audio"_s, u"AAC"_s,  u"Vorbis"_s, u"Opus"_s,         u"Speex"_s,
        u"WMA"_s,        u"AC-3"_s, u"E-AC-3"_s, u"Musepack SV7"_s, u"Musepack SV8"_s,
    };
    if (FormatKnown(file))
        return lossyFormats.contains(file.format);
    static const QSet<QString> lossyExtensions = {u"mp3"_s, u"ogg"_s, u"opus"_s, u"m4a"_s,
                                                  u"aac"_s, u"spx"_s, u"wma"_s,  u"mpc"_s};
    return lossyExtensions.contains(ExtensionPart(file.path).toLower());
}

bool IsInCodersFormat(const CFileInfo& file, const QString& coderExtension)
{
    const QString extension = coderExtension.toLower();
    if (extension.isEmpty() || ExtensionPart(file.path).toLower() != extension)
        return false;
    const QString format = FormatOfExtension().value(extension);
    return format.isEmpty() || !FormatKnown(file) || file.format == format;
}

CopyChoice ChooseCopy(const CFileInfo& file, const CCoder& coder, const QString& coderExtension,
                      const CopyRules& rules)
{
    if (file.track)
        return CopyChoice::Convert;
    if (rules.sameFormat && IsInCodersFormat(file, coderExtension))
        return CopyChoice::CopySameFormat;
    if (coder.lossless || rules.lossy == LossyRule::Convert || !IsLossySource(file))
        return CopyChoice::Convert;
    return rules.lossy == LossyRule::Copy ? CopyChoice::CopyLossy : CopyChoice::LeaveOutLossy;
}

bool PlanCopy(CFileInfo& file, CCoder* coder, const QString& resultPath)
{
    ResetJobs(file);
    if (!AssignCoder(coder, file) || !file.coder)
        return false;
    CCoder& copy = *file.coder;
    copy.SetExecutable({});
    copy.SetParameters({});
    copy.verification.reset();
    copy.SetInputFile(file.path);
    copy.SetOutputFile(resultPath);
    file.outputPath = resultPath;
    file.copyAsIs = true;
    return true;
}
