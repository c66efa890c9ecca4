#include "planning/file_info.h"

#include "audio/result_check.h"
#include "foundation/os.h"
#include "foundation/path_helpers.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <limits>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

int ToInt(qint64 value)
{
    constexpr qint64 lowest = std::numeric_limits<int>::min();
    constexpr qint64 highest = std::numeric_limits<int>::max();
    return static_cast<int>(std::clamp(value, lowest, highest));
}

} // namespace

bool FileCanBeOpened(const QString& path)
{
    // A folder can be opened for reading on POSIX, but it is no source file.
    return os::IsReadableFile(path);
}

int SourceTypeOf(const QString& extension)
{
    static const std::pair<const char16_t*, int> kTypes[] = {
        {u"wav", kSourceWav}, {u"mp3", kSourceMp3}, {u"aac", kSourceAac}, {u"flac", kSourceFlac},
        {u"wv", kSourceWv},   {u"tta", kSourceTta}, {u"m4a", kSourceM4a}, {u"ogg", kSourceOgg},
        {u"ape", kSourceApe}, {u"ofr", kSourceOfr}, {u"spx", kSourceSpx},
    };
    const QString lower = extension.toLower();
    for (const auto& [name, type] : kTypes) {
        if (lower == QStringView(name))
            return type;
    }
    return kSourceUnknown;
}

CMediaInfoLibrary::AudioText ReadPropertyTexts(const QString& path)
{
    CMediaInfoLibrary::AudioText text;
    const QString missing = QString::fromUtf16(kMediaInfoMissingText);
    text.format = text.bitRate = text.channels = text.samplingRate = text.resolution = missing;
    CMediaInfoLibrary::Shared()->ReadAudioText(path, text);
    return text;
}

bool CFileInfo::Load(const QString& filePath)
{
    qint64 bytes = 0;
    if (!os::IsReadableFile(filePath, &bytes, &modifiedNs))
        return false;
    Fill(filePath, ReadPropertyTexts(filePath), bytes);
    tags = ReadSourceTags(filePath);
    return true;
}

bool CFileInfo::LoadWithTexts(const QString& filePath, const CMediaInfoLibrary::AudioText& text,
                              const SourceTags& sourceTags)
{
    qint64 bytes = 0;
    if (!os::IsReadableFile(filePath, &bytes, &modifiedNs))
        return false;
    Fill(filePath, text, bytes);
    tags = sourceTags;
    return true;
}

bool CFileInfo::LoadKnown(const QString& filePath, const CMediaInfoLibrary::AudioText& text,
                          const SourceTags& sourceTags, qint64 bytes, qint64 timeNs,
                          bool readableKnown)
{
    if (!readableKnown && !os::MayRead(filePath))
        return false;
    Fill(filePath, text, bytes);
    modifiedNs = timeNs;
    tags = sourceTags;
    return true;
}

void CFileInfo::Fill(const QString& filePath, const CMediaInfoLibrary::AudioText& text,
                     qint64 bytes)
{
    size = bytes; // the plain size stands in for the on-disk size
    path = filePath;
    const QString cleaned = CleanedPath(filePath);
    folder = cleaned;
    RemoveFileSpec(folder);
    fileName = FileNamePart(cleaned);

    format = text.format;
    bitRate = static_cast<double>(ParseLeadingInteger(text.bitRate)) / 1000.0;
    channels = ToInt(ParseLeadingInteger(text.channels));
    sampleRate = ToInt(ParseLeadingInteger(text.samplingRate));
    resolution = ToInt(ParseLeadingInteger(text.resolution));
    duration = qMax<qint64>(0, ParseLeadingInteger(text.duration));
    fileType = SourceTypeOf(ExtensionPart(cleaned));
    // The MediaInfo library reads only the first block of a WavPack 5 file as its duration; the
    // stream header states the whole length.
    if (fileType == kSourceWv) {
        if (const qint64 whole = StreamDurationMs(filePath); whole > 0)
            duration = whole;
    }
}
