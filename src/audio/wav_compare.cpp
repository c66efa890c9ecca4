#include "audio/wav_compare.h"

#include "audio/wav_layout.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>
#include <cstring>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kBlockBytes = qint64(1) << 20;

bool Fail(QString* difference, const QString& reason)
{
    if (difference)
        *difference = reason;
    return false;
}

struct OpenWav
{
    QFile file;
    WavLayout layout;
};

bool Open(const QString& path, OpenWav& wav, QString* error)
{
    wav.file.setFileName(path);
    if (!wav.file.open(QIODevice::ReadOnly))
        return Fail(error, u"%1: %2"_s.arg(path, wav.file.errorString()));
    WavHeader header;
    QString reason;
    if (!ReadWavHeader(wav.file, header, &reason) ||
        !WavLayoutOf(header.chunks, wav.layout, &reason))
        return Fail(error, u"%1: %2"_s.arg(path, reason));
    return wav.file.seek(wav.layout.dataOffset) ||
           Fail(error, u"%1: %2"_s.arg(path, wav.file.errorString()));
}

bool SameFormat(const WavLayout& first, const WavLayout& second)
{
    return first.encoding == second.encoding && first.channels == second.channels &&
           first.sampleRate == second.sampleRate && first.bitsPerSample == second.bitsPerSample;
}

} // namespace

bool SameSamples(const QString& first, const QString& second, QString* difference)
{
    OpenWav a;
    OpenWav b;
    if (!Open(first, a, difference) || !Open(second, b, difference))
        return false;
    if (!SameFormat(a.layout, b.layout))
        return Fail(difference,
                    u"%1 channels at %2 Hz in %3 bits against %4 channels at %5 Hz in %6 bits"_s
                        .arg(a.layout.channels)
                        .arg(a.layout.sampleRate)
                        .arg(a.layout.bitsPerSample)
                        .arg(b.layout.channels)
                        .arg(b.layout.sampleRate)
                        .arg(b.layout.bitsPerSample));
    if (a.layout.frameCount != b.layout.frameCount)
        return Fail(difference,
                    u"%1 samples against %2"_s.arg(a.layout.frameCount).arg(b.layout.frameCount));
    qint64 left = a.layout.frameCount * a.layout.BytesPerFrame();
    QByteArray blockA(qMin(left, kBlockBytes), Qt::Uninitialized);
    QByteArray blockB(blockA.size(), Qt::Uninitialized);
    for (qint64 offset = 0; left > 0;) {
        const qint64 want = qMin(left, kBlockBytes);
        if (a.file.read(blockA.data(), want) != want || b.file.read(blockB.data(), want) != want)
            return Fail(difference, u"a file was cut short while it was read"_s);
        if (std::memcmp(blockA.constData(), blockB.constData(), size_t(want)) != 0)
            return Fail(
                difference,
                u"the samples differ within the %1 bytes from byte %2"_s.arg(want).arg(offset));
        offset += want;
        left -= want;
    }
    return true;
}

QString SamplesMd5(const QString& path, QString* error)
{
    OpenWav wav;
    if (!Open(path, wav, error))
        return {};
    QCryptographicHash md5(QCryptographicHash::Md5);
    QByteArray block(kBlockBytes, Qt::Uninitialized);
    for (qint64 left = wav.layout.frameCount * wav.layout.BytesPerFrame(); left > 0;) {
        const qint64 want = qMin(left, kBlockBytes);
        if (wav.file.read(block.data(), want) != want) {
            Fail(error, u"%1 was cut short while it was read"_s.arg(path));
            return {};
        }
        md5.addData(QByteArrayView(block.constData(), want));
        left -= want;
    }
    return QString::fromLatin1(md5.result().toHex());
}
