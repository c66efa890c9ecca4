#include "audio/result_check.h"

#include "audio/ogg_duration.h"
#include "audio/tag_library_lock.h"
#include "audio/wav_layout.h"
#include "foundation/os.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <algorithm>
#include <taglib/audioproperties.h>
#include <taglib/fileref.h>
#include <taglib/mpegfile.h>
#include <taglib/mpegproperties.h>
#include <taglib/opusfile.h>
#include <taglib/vorbisfile.h>
#include <taglib/xingheader.h>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kMinimumToleranceMs = 500;
constexpr qint64 kTolerancePerMille = 10;

bool HasExtension(const QString& path, QStringView extension)
{
    return QFileInfo(path).suffix().compare(extension, Qt::CaseInsensitive) == 0;
}

// The sample frames a RIFF or RF64 WAV holds: its data chunk as far as the file really reaches
// (a decoder that stopped half-way may have promised the whole length in the header).
qint64 WavDurationMs(const QString& path)
{
    QFile file(path);
    WavHeader header;
    if (!file.open(QIODevice::ReadOnly) || !ReadWavHeader(file, header, nullptr) ||
        header.chunks.formatSize < 16 || header.chunks.dataOffset < 0)
        return -1;
    const quint32 bytesPerSecond = qFromLittleEndian<quint32>(header.chunks.format + 8);
    return bytesPerSecond == 0 ? -1 : header.chunks.dataSize * 1000 / bytesPerSecond;
}

// An MP3's length is exact only from the frame count of its Xing or Info frame; without one the
// library estimates it from the first frame's bit rate. An encoder that could not write all its
// frames still stores the count it meant to write there, so the count is scaled down to the
// bytes that are really present.
qint64 Mp3DurationMs(TagLib::MPEG::File& file, qint64 lengthMs)
{
    const TagLib::MPEG::Properties* properties = file.audioProperties();
    const TagLib::MPEG::XingHeader* xing = properties ? properties->xingHeader() : nullptr;
    if (!xing || !xing->isValid())
        return -1;
    const qint64 present = qint64(file.length()) - qint64(file.firstFrameOffset());
    const qint64 promised = qint64(xing->totalSize());
    if (promised > 0 && present < promised)
        return lengthMs * present / promised;
    return lengthMs;
}

} // namespace

bool IsReadableAudioKind(const QString& path)
{
    const QString extension = QFileInfo(path).suffix().toLower();
    if (extension.isEmpty())
        return false;
    std::lock_guard lock(TagLibraryLock());
    return TagLib::FileRef::defaultFileExtensions().contains(
        TagLib::String(extension.toUtf8().constData(), TagLib::String::UTF8));
}

qint64 StreamDurationMs(const QString& path)
{
    if (HasExtension(path, u"wav"))
        return WavDurationMs(path);
    // Only kinds the tag library knows by name: its guess by content reads arbitrary files (a
    // program, a large non-audio input) through.
    if (!IsReadableAudioKind(path))
        return -1;
    std::lock_guard lock(TagLibraryLock());
    const QByteArray name = os::SystemName(path);
    TagLib::FileRef file(name.constData(), true, TagLib::AudioProperties::Accurate);
    if (file.isNull() || !file.file()->isValid() || !file.audioProperties())
        return -1;
    const qint64 lengthMs = file.audioProperties()->lengthInMilliseconds();
    if (auto* mp3 = dynamic_cast<TagLib::MPEG::File*>(file.file()))
        return Mp3DurationMs(*mp3, lengthMs);
    // The library may end these streams at the wrong page (see OggDurationMs).
    if (dynamic_cast<TagLib::Ogg::Vorbis::File*>(file.file()) ||
        dynamic_cast<TagLib::Ogg::Opus::File*>(file.file())) {
        const qint64 oggMs = OggDurationMs(path);
        return oggMs >= 0 ? oggMs : lengthMs;
    }
    return lengthMs;
}

qint64 LengthToleranceMs(qint64 expectedMs)
{
    return std::max(kMinimumToleranceMs, expectedMs * kTolerancePerMille / 1000);
}

ResultCheck CheckResult(const QString& path, qint64 expectedMs)
{
    ResultCheck check;
    check.expectedMs = expectedMs;
    const QFileInfo info(path);
    if (!info.exists()) {
        check.verdict = ResultCheck::Verdict::Missing;
        return check;
    }
    // Devices and pipes named as outputs hold nothing to read back.
    if (!info.isFile())
        return check;
    if (info.size() == 0) {
        check.verdict = ResultCheck::Verdict::Empty;
        return check;
    }
    check.durationMs = StreamDurationMs(path);
    if (check.durationMs < 0) {
        // An MP3 without a frame count is readable, only not exactly.
        if (IsReadableAudioKind(path) && !HasExtension(path, u"mp3"))
            check.verdict = ResultCheck::Verdict::Unreadable;
        return check;
    }
    if (expectedMs >= 0 && std::abs(check.durationMs - expectedMs) > LengthToleranceMs(expectedMs))
        check.verdict = ResultCheck::Verdict::WrongLength;
    return check;
}
