#include "audio/audio_digest.h"

#include <QCryptographicHash>
#include <QFile>
#include <QtEndian>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kEndBytes = 64 * 1024;
// STREAMINFO: the first block, 34 bytes, its last 16 the MD5 of the decoded samples.
constexpr qint64 kStreamInfoSize = 34;
constexpr qint64 kMd5Offset = 18;

QString FlacDigest(QFile& file)
{
    const QByteArray head = file.read(4 + 4 + kStreamInfoSize);
    if (head.size() != 4 + 4 + kStreamInfoSize || !head.startsWith("fLaC") ||
        (uchar(head.at(4)) & 0x7F) != 0)
        return {};
    const QByteArray md5 = head.mid(8 + kMd5Offset, 16);
    // An encoder that did not compute it leaves zeros: no digest of the audio, then.
    if (md5.count('\0') == md5.size())
        return {};
    return u"flac:"_s + QString::fromLatin1(md5.toHex());
}

QString EndsDigest(QFile& file)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    char size[8];
    qToLittleEndian<quint64>(quint64(file.size()), size);
    hash.addData(QByteArrayView(size, 8));
    if (!file.seek(0))
        return {};
    hash.addData(file.read(kEndBytes));
    if (file.size() > kEndBytes) {
        if (!file.seek(qMax(kEndBytes, file.size() - kEndBytes)))
            return {};
        hash.addData(file.read(kEndBytes));
    }
    return u"ends:"_s + QString::fromLatin1(hash.result().toHex());
}

} // namespace

QString AudioDigest(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    if (const QString flac = FlacDigest(file); !flac.isEmpty())
        return flac;
    return EndsDigest(file);
}
