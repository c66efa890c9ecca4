#include "flac_tags.h"

#include <QFile>

using namespace Qt::StringLiterals;

namespace {

constexpr int kVorbisCommentBlock = 4;
constexpr quint32 kMaxId3Size = 64 * 1024 * 1024;

quint32 BigEndian(const QByteArray& bytes, qsizetype at, int size)
{
    quint32 value = 0;
    for (int i = 0; i < size; ++i)
        value = (value << 8) | quint8(bytes[at + i]);
    return value;
}

// Reads little-endian 32-bit lengths and the texts they announce, never past the block.
class CBlockReader
{
public:
    explicit CBlockReader(QByteArray data) : block(std::move(data)) {}

    std::optional<QByteArray> Text()
    {
        const std::optional<quint32> length = Length();
        if (!length || *length > quint32(block.size() - position))
            return std::nullopt;
        const QByteArray text = block.mid(position, *length);
        position += *length;
        return text;
    }

    std::optional<quint32> Length()
    {
        if (block.size() - position < 4)
            return std::nullopt;
        quint32 value = 0;
        for (int i = 3; i >= 0; --i)
            value = (value << 8) | quint8(block[position + i]);
        position += 4;
        return value;
    }

private:
    QByteArray block;
    qsizetype position = 0;
};

QStringList ParseComments(const QByteArray& block)
{
    CBlockReader reader(block);
    QStringList comments;
    if (!reader.Text()) // the vendor string
        return comments;
    const std::optional<quint32> count = reader.Length();
    for (quint32 i = 0; count && i < *count; ++i) {
        const std::optional<QByteArray> comment = reader.Text();
        if (!comment)
            break;
        comments.append(QString::fromUtf8(*comment));
    }
    return comments;
}

// Some taggers put an ID3v2 tag before the FLAC stream; its size is stored in 7-bit bytes.
bool SkipId3Tag(QFile& file)
{
    const QByteArray header = file.peek(10);
    if (!header.startsWith("ID3") || header.size() < 10)
        return true;
    quint32 size = 0;
    for (int i = 6; i < 10; ++i)
        size = (size << 7) | (quint8(header[i]) & 0x7F);
    return size <= kMaxId3Size && file.seek(10 + size);
}

} // namespace

std::optional<QStringList> ReadFlacComments(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !SkipId3Tag(file) || file.read(4) != "fLaC")
        return std::nullopt;
    QStringList comments;
    bool last = false;
    while (!last) {
        const QByteArray header = file.read(4);
        if (header.size() < 4)
            return std::nullopt;
        last = (quint8(header[0]) & 0x80) != 0;
        const int type = quint8(header[0]) & 0x7F;
        const quint32 length = BigEndian(header, 1, 3);
        if (type != kVorbisCommentBlock) {
            if (!file.seek(file.pos() + length))
                return std::nullopt;
            continue;
        }
        const QByteArray block = file.read(length);
        if (block.size() < qsizetype(length))
            return std::nullopt;
        comments += ParseComments(block);
    }
    return comments;
}

bool HasReplayGainTags(const QString& path)
{
    const std::optional<QStringList> comments = ReadFlacComments(path);
    if (!comments)
        return false;
    for (const QString& comment : *comments) {
        if (comment.startsWith(u"REPLAYGAIN_TRACK_GAIN="_s, Qt::CaseInsensitive))
            return true;
    }
    return false;
}
