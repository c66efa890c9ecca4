#include "audio/ogg_duration.h"

#include <QFile>
#include <QtEndian>
#include <algorithm>

namespace {

constexpr qint64 kPageHeader = 27; // up to the segment table
constexpr qint64 kLargestPage = kPageHeader + 255 + 255 * 255;
constexpr qint64 kNoPosition = -1; // a page on which no packet ends
constexpr qint64 kOpusGranuleRate = 48000;

struct Stream
{
    qint64 firstPosition = 0;
    qint64 granuleRate = 0;
    qint64 preSkip = 0;
};

qint64 PageSize(const char* page, qint64 available)
{
    if (available < kPageHeader)
        return -1;
    const qint64 segments = quint8(page[26]);
    if (available < kPageHeader + segments)
        return -1;
    qint64 size = kPageHeader + segments;
    for (qint64 i = 0; i < segments; ++i)
        size += quint8(page[kPageHeader + i]);
    return size;
}

bool IsPageStart(const char* at)
{
    return at[0] == 'O' && at[1] == 'g' && at[2] == 'g' && at[3] == 'S' && at[4] == 0;
}

// The stream's first page and the identification header it carries.
bool ReadStart(QFile& file, Stream& stream)
{
    const QByteArray head = file.read(kPageHeader + 255 + 64);
    const qint64 size = PageSize(head.constData(), head.size());
    if (size < 0 || !IsPageStart(head.constData()))
        return false;
    stream.firstPosition = qFromLittleEndian<qint64>(head.constData() + 6);
    const QByteArray packet = head.mid(kPageHeader + quint8(head[26]));
    if (packet.startsWith("OpusHead") && packet.size() >= 12) {
        stream.granuleRate = kOpusGranuleRate;
        stream.preSkip = qFromLittleEndian<quint16>(packet.constData() + 10);
    } else if (packet.startsWith("\x01vorbis") && packet.size() >= 16) {
        stream.granuleRate = qFromLittleEndian<quint32>(packet.constData() + 12);
    }
    return stream.granuleRate > 0 && stream.firstPosition >= 0;
}

// The granule position of the last page that has one: preferably the page that ends exactly
// at the file's end (bytes inside a packet may spell "OggS" too), else the last whole one.
qint64 LastPosition(QFile& file)
{
    const qint64 start = std::max<qint64>(0, file.size() - kLargestPage - kPageHeader);
    if (!file.seek(start))
        return kNoPosition;
    const QByteArray tail = file.readAll();
    qint64 fallback = kNoPosition;
    for (qint64 at = tail.size() - kPageHeader; at >= 0; --at) {
        const char* page = tail.constData() + at;
        if (!IsPageStart(page))
            continue;
        const qint64 size = PageSize(page, tail.size() - at);
        const qint64 position = qFromLittleEndian<qint64>(page + 6);
        if (size < 0 || at + size > tail.size() || position == kNoPosition)
            continue;
        if (at + size == tail.size())
            return position;
        if (fallback == kNoPosition)
            fallback = position;
    }
    return fallback;
}

} // namespace

qint64 OggDurationMs(const QString& path)
{
    QFile file(path);
    Stream stream;
    if (!file.open(QIODevice::ReadOnly) || !ReadStart(file, stream))
        return -1;
    const qint64 last = LastPosition(file);
    if (last < 0)
        return -1;
    const qint64 samples = std::max<qint64>(0, last - stream.firstPosition - stream.preSkip);
    return (samples * 1000 + stream.granuleRate / 2) / stream.granuleRate;
}
