#include "audio/embedded_cue_sheet.h"

#include "audio/tag_library_lock.h"
#include "foundation/os.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <taglib/fileref.h>
#include <taglib/tpropertymap.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int kCueSheetBlock = 5;
// The block's fixed part: catalog (128), lead-in (8), CD flag and reserved (1 + 258), tracks (1).
constexpr qsizetype kCueSheetHead = 128 + 8 + 259 + 1;
// Each track: offset (8), number (1), ISRC (12), flags (1), reserved (13), index count (1).
constexpr qsizetype kTrackHead = 36;
constexpr qsizetype kIndexSize = 12;
constexpr int kLeadOutCd = 170;
constexpr int kLeadOutOther = 255;

bool Fail(QString* error, const QString& reason)
{
    if (error)
        *error = reason;
    return false;
}

std::optional<QByteArray> CueSheetBlockOf(QFile& file, QString* error)
{
    if (file.read(4) != "fLaC")
        return std::nullopt;
    for (;;) {
        const QByteArray head = file.read(4);
        if (head.size() != 4) {
            Fail(error, u"its metadata ends early"_s);
            return std::nullopt;
        }
        const int type = uchar(head.at(0)) & 0x7F;
        const bool last = uchar(head.at(0)) & 0x80;
        const qint64 length = qFromBigEndian<quint32>(head.constData()) & 0xFFFFFF;
        if (type == kCueSheetBlock) {
            const QByteArray body = file.read(length);
            if (body.size() != length) {
                Fail(error, u"its cue sheet block ends early"_s);
                return std::nullopt;
            }
            return body;
        }
        if (last || !file.seek(file.pos() + length))
            return std::nullopt;
    }
}

bool ParseTrack(const QByteArray& body, qsizetype& at, const QString& image, CueSheetTrack& track,
                QString* error)
{
    if (at + kTrackHead > body.size())
        return Fail(error, u"its cue sheet block ends inside a track"_s);
    const char* bytes = body.constData() + at;
    const qint64 offset = qint64(qFromBigEndian<quint64>(bytes));
    track.number = uchar(bytes[8]);
    track.isrc = QString::fromLatin1(bytes + 9, 12).remove(QChar(u'\0')).trimmed();
    track.audio = (uchar(bytes[21]) & 0x80) == 0;
    const int indexes = uchar(bytes[35]);
    at += kTrackHead;
    if (at + indexes * kIndexSize > body.size())
        return Fail(error, u"its cue sheet block ends inside track %1"_s.arg(track.number));
    track.start = {image, 0, -1};
    for (int i = 0; i < indexes; ++i, at += kIndexSize) {
        const qint64 point = offset + qint64(qFromBigEndian<quint64>(body.constData() + at));
        const int number = uchar(body.at(at + 8));
        if (number == 0)
            track.gapStart = CuePosition{image, 0, point};
        else if (number == 1)
            track.start = {image, 0, point};
    }
    const bool leadOut = track.number == kLeadOutCd || track.number == kLeadOutOther;
    return track.start.samples >= 0 || leadOut ||
           Fail(error, u"track %1 of its cue sheet block has no index 1"_s.arg(track.number));
}

bool ParseCueSheetBlock(const QByteArray& body, const QString& image, CueSheet& sheet,
                        QString* error)
{
    if (body.size() < kCueSheetHead)
        return Fail(error, u"its cue sheet block is too short"_s);
    const int count = uchar(body.at(kCueSheetHead - 1));
    qsizetype at = kCueSheetHead;
    for (int i = 0; i < count; ++i) {
        CueSheetTrack track;
        if (!ParseTrack(body, at, image, track, error))
            return false;
        // The lead-out marks the end of the audio; it is no track.
        if (track.number == kLeadOutCd || track.number == kLeadOutOther)
            break;
        if (!sheet.tracks.isEmpty() && track.start.samples < sheet.tracks.back().start.samples)
            return Fail(error, u"track %1 starts before track %2"_s.arg(track.number)
                                   .arg(sheet.tracks.back().number));
        sheet.tracks << track;
    }
    return !sheet.tracks.isEmpty() || Fail(error, u"its cue sheet block lists no track"_s);
}

QByteArray CueSheetTag(const QString& path)
{
    const QByteArray name = os::SystemName(path);
    std::lock_guard lock(TagLibraryLock());
    const TagLib::FileRef file(name.constData(), false);
    if (file.isNull() || !file.file())
        return {};
    const TagLib::PropertyMap properties = file.file()->properties();
    const auto found = properties.find("CUESHEET");
    if (found == properties.end() || found->second.isEmpty())
        return {};
    return QByteArray(found->second.front().toCString(true));
}

} // namespace

std::optional<CueSheet> ReadFlacCueSheetBlock(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const std::optional<QByteArray> body = CueSheetBlockOf(file, error);
    if (!body)
        return std::nullopt;
    CueSheet sheet;
    sheet.encoding = u"FLAC"_s;
    if (!ParseCueSheetBlock(*body, QFileInfo(path).fileName(), sheet, error))
        return std::nullopt;
    return sheet;
}

std::optional<CueSheet> ReadEmbeddedCueSheet(const QString& path, QString* error,
                                             const QString& encoding)
{
    const QByteArray tag = CueSheetTag(path);
    if (tag.isEmpty())
        return ReadFlacCueSheetBlock(path, error);
    std::optional<CueSheet> sheet = ReadCueSheet(tag, error, encoding);
    if (!sheet)
        return std::nullopt;
    if (sheet->Files().size() > 1) {
        Fail(error, u"its CUESHEET tag names several files"_s);
        return std::nullopt;
    }
    const QString image = QFileInfo(path).fileName();
    for (CueSheetTrack& track : sheet->tracks) {
        track.start.file = image;
        if (track.gapStart)
            track.gapStart->file = image;
    }
    return sheet;
}
