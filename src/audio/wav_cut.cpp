#include "audio/wav_cut.h"

#include "audio/wav_layout.h"

#include <QFile>
#include <QtEndian>

using namespace Qt::StringLiterals;

namespace {

// Every writer puts its format and the start of its samples well inside this.
constexpr qint64 kHeaderBytes = 1 << 20;
constexpr qint64 kBlockBytes = 1 << 20;

bool Fail(QString* error, const QString& reason)
{
    if (error)
        *error = reason;
    return false;
}

struct ImageAudio
{
    WavLayout layout;
    QByteArray format; // the format chunk's body, copied as it is
    qint64 dataBytes = 0;
};

// The declared size of the samples where the file states it, else what the file holds.
qint64 DataBytes(const QByteArray& header, const WavChunks& chunks, qint64 fileSize)
{
    const qint64 held = fileSize - chunks.dataOffset;
    const auto* bytes = reinterpret_cast<const uchar*>(header.constData());
    quint64 declared = qFromLittleEndian<quint32>(bytes + chunks.dataOffset - 4);
    if (header.startsWith("RF64") && header.mid(12, 4) == "ds64" && header.size() >= 36)
        declared = qFromLittleEndian<quint64>(bytes + 28);
    if (declared == 0 || declared == 0xFFFFFFFFu || declared > quint64(held))
        return held;
    return qint64(declared);
}

bool ReadImage(QFile& file, ImageAudio& audio, QString* error)
{
    const QByteArray header = file.read(qMin(file.size(), kHeaderBytes));
    const auto* bytes = reinterpret_cast<const uchar*>(header.constData());
    WavChunks chunks;
    QString reason;
    if (!FindWavChunks(bytes, header.size(), chunks, &reason) ||
        !ReadWavLayout(bytes, header.size(), audio.layout, &reason))
        return Fail(error, u"%1 is no WAV file that can be cut: %2"_s.arg(file.fileName(), reason));
    audio.format = QByteArray(reinterpret_cast<const char*>(chunks.format), chunks.formatSize);
    audio.dataBytes = DataBytes(header, chunks, file.size());
    audio.layout.frameCount = audio.dataBytes / audio.layout.BytesPerFrame();
    return true;
}

QByteArray Header(const ImageAudio& audio, qint64 dataBytes)
{
    QByteArray header;
    const auto put32 = [&](quint32 value) {
        char le[4];
        qToLittleEndian(value, le);
        header.append(le, 4);
    };
    const qint64 pad = audio.format.size() % 2;
    header += "RIFF";
    put32(quint32(4 + 8 + audio.format.size() + pad + 8 + dataBytes + dataBytes % 2));
    header += "WAVEfmt ";
    put32(quint32(audio.format.size()));
    header += audio.format;
    if (pad)
        header += '\0';
    header += "data";
    put32(quint32(dataBytes));
    return header;
}

bool Copy(QFile& from, QFile& to, qint64 bytes, QString* error)
{
    QByteArray block;
    while (bytes > 0) {
        block = from.read(qMin(bytes, kBlockBytes));
        if (block.isEmpty())
            return Fail(error, u"%1 ended while it was read: it is shorter than it was"_s.arg(
                                   from.fileName()));
        if (to.write(block) != block.size())
            return Fail(error, u"%1: %2"_s.arg(to.fileName(), to.errorString()));
        bytes -= block.size();
    }
    return true;
}

} // namespace

bool CutWavFrames(const QString& image, qint64 start, qint64 end, const QString& output,
                  QString* error)
{
    if (error)
        error->clear();
    QFile in(image);
    if (!in.open(QIODevice::ReadOnly))
        return Fail(error, u"%1: %2"_s.arg(image, in.errorString()));
    ImageAudio audio;
    if (!ReadImage(in, audio, error))
        return false;
    const qint64 frames = audio.layout.frameCount;
    if (end < 0)
        end = frames;
    if (start < 0 || start >= end || end > frames)
        return Fail(error, u"frames %1 to %2 lie outside the %3 frames of %4"_s.arg(start)
                               .arg(end)
                               .arg(frames)
                               .arg(image));
    const qint64 bytesPerFrame = audio.layout.BytesPerFrame();
    const qint64 bytes = (end - start) * bytesPerFrame;
    if (bytes > 0xFFFFFFF0LL)
        return Fail(error, u"a track of more than 4 GiB cannot be written as WAV"_s);
    QFile out(output);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return Fail(error, u"%1: %2"_s.arg(output, out.errorString()));
    const QByteArray header = Header(audio, bytes);
    if (out.write(header) != header.size() ||
        !in.seek(audio.layout.dataOffset + start * bytesPerFrame) || !Copy(in, out, bytes, error) ||
        (bytes % 2 && out.write("\0", 1) != 1) || !out.flush()) {
        if (error && error->isEmpty())
            *error = u"%1: %2"_s.arg(output, out.errorString());
        out.remove();
        return false;
    }
    return true;
}

WavExtent ReadWavExtent(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Fail(error, u"%1: %2"_s.arg(path, file.errorString()));
        return {};
    }
    ImageAudio audio;
    if (!ReadImage(file, audio, error))
        return {};
    return {audio.layout.frameCount, audio.layout.sampleRate};
}
