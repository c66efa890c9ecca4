#include "audio/wav_layout.h"

#include <QIODevice>
#include <QtEndian>
#include <algorithm>
#include <cstring>

using namespace Qt::StringLiterals;

namespace {

constexpr quint16 kFormatPcm = 1;
constexpr quint16 kFormatFloat = 3;
constexpr quint16 kFormatExtensible = 0xFFFE;
constexpr quint32 kUnknownSize = 0xFFFFFFFF;
constexpr qint64 kChunkHeader = 8;
constexpr qint64 kPlainFormatSize = 16;
constexpr qint64 kExtensibleFormatSize = 40;
constexpr qint64 kDs64Size = 28;
// Where a header is read first, and how far: chunks before the samples (a cover, a text) are
// rarely more than a few hundred kilobytes.
constexpr qint64 kFirstHeaderRead = 64 * 1024;
constexpr qint64 kLargestHeader = 64 * 1024 * 1024;

bool Is(const uchar* at, const char* id)
{
    return std::memcmp(at, id, 4) == 0;
}

quint16 Read16(const uchar* at)
{
    return qFromLittleEndian<quint16>(at);
}

quint32 Read32(const uchar* at)
{
    return qFromLittleEndian<quint32>(at);
}

bool Fail(QString* error, const QString& reason)
{
    if (error)
        *error = reason;
    return false;
}

bool ReadFormat(const uchar* chunk, qint64 chunkSize, WavLayout& layout, QString* error)
{
    if (chunkSize < kPlainFormatSize)
        return Fail(error, u"its format chunk is too short"_s);
    quint16 tag = Read16(chunk);
    if (tag == kFormatExtensible) {
        if (chunkSize < kExtensibleFormatSize)
            return Fail(error, u"its extensible format chunk is too short"_s);
        tag = Read16(chunk + 24); // the first two bytes of the sub-format GUID
    }
    if (tag != kFormatPcm && tag != kFormatFloat)
        return Fail(error, u"its samples are compressed (format %1)"_s.arg(tag));
    layout.encoding =
        tag == kFormatFloat ? WavLayout::Encoding::Float : WavLayout::Encoding::Integer;
    layout.channels = Read16(chunk + 2);
    layout.sampleRate = int(Read32(chunk + 4));
    layout.bitsPerSample = Read16(chunk + 14);
    const bool integerBits = layout.bitsPerSample == 8 || layout.bitsPerSample == 16 ||
                             layout.bitsPerSample == 24 || layout.bitsPerSample == 32;
    const bool floatBits = layout.bitsPerSample == 32 || layout.bitsPerSample == 64;
    if (layout.encoding == WavLayout::Encoding::Integer ? !integerBits : !floatBits)
        return Fail(error, u"it has %1-bit samples"_s.arg(layout.bitsPerSample));
    if (layout.channels < 1 || layout.channels > 64 || layout.sampleRate < 1000 ||
        layout.sampleRate > 1536000)
        return Fail(error,
                    u"it has %1 channels at %2 Hz"_s.arg(layout.channels).arg(layout.sampleRate));
    return true;
}

} // namespace

bool FindWavChunks(const uchar* bytes, qint64 size, WavChunks& chunks, QString* error,
                   qint64 fileSize)
{
    chunks = WavChunks();
    if (fileSize < size)
        fileSize = size;
    if (size < 12 || !(Is(bytes, "RIFF") || Is(bytes, "RF64")) || !Is(bytes + 8, "WAVE"))
        return Fail(error, u"it is no WAV file"_s);
    quint64 rf64DataSize = 0;
    qint64 at = 12;
    while (at + kChunkHeader <= size) {
        const uchar* chunk = bytes + at + kChunkHeader;
        const quint32 declared = Read32(bytes + at + 4);
        const qint64 available = size - at - kChunkHeader;
        if (Is(bytes + at, "data")) {
            if (!chunks.format)
                return Fail(error, u"its samples come before their format"_s);
            quint64 dataSize = declared;
            if (declared == kUnknownSize && rf64DataSize > 0)
                dataSize = rf64DataSize;
            const quint64 inFile = quint64(fileSize - at - kChunkHeader);
            if (dataSize == 0 || dataSize == kUnknownSize || dataSize > inFile)
                dataSize = inFile;
            chunks.dataOffset = at + kChunkHeader;
            chunks.dataSize = qint64(dataSize);
            return true;
        }
        if (Is(bytes + at, "ds64") && available >= kDs64Size)
            rf64DataSize = qFromLittleEndian<quint64>(chunk + 8);
        if (Is(bytes + at, "fmt ")) {
            chunks.format = chunk;
            chunks.formatSize = qMin<qint64>(declared, available);
        }
        at += kChunkHeader + qint64(declared) + (declared & 1);
    }
    chunks.walkedTo = at;
    return chunks.format != nullptr || Fail(error, u"it has no format chunk"_s);
}

bool ReadWavHeader(QIODevice& file, WavHeader& header, QString* error)
{
    header = WavHeader();
    header.fileSize = file.size();
    for (qint64 want = std::min(kFirstHeaderRead, header.fileSize);;) {
        const qint64 have = header.bytes.size();
        header.bytes.resize(want);
        const qint64 got = file.read(header.bytes.data() + have, want - have);
        if (got < 0)
            return Fail(error, u"it cannot be read (%1)"_s.arg(file.errorString()));
        header.bytes.resize(have + got);
        const auto* bytes = reinterpret_cast<const uchar*>(header.bytes.constData());
        QString reason;
        const bool found =
            FindWavChunks(bytes, header.bytes.size(), header.chunks, &reason, header.fileSize);
        // The walk ran off the end of what was read before the samples: read on, if the file
        // holds more (a file that shrank meanwhile has no more to give).
        const qint64 next = header.chunks.walkedTo + kChunkHeader;
        if (header.chunks.walkedTo == 0 || got < want - have || next > header.fileSize)
            return found || Fail(error, reason);
        if (next > kLargestHeader)
            return Fail(error, u"its samples do not begin within its first %1 MiB"_s.arg(
                                   kLargestHeader / (1024 * 1024)));
        want = std::min(
            {std::max(want * 4, next + kFirstHeaderRead), header.fileSize, kLargestHeader});
    }
}

bool WavLayoutOf(const WavChunks& chunks, WavLayout& layout, QString* error)
{
    layout = WavLayout();
    if (!ReadFormat(chunks.format, chunks.formatSize, layout, error))
        return false;
    if (chunks.dataOffset < 0)
        return Fail(error, u"it holds no samples"_s);
    layout.dataOffset = chunks.dataOffset;
    layout.frameCount = chunks.dataSize / layout.BytesPerFrame();
    return layout.frameCount > 0 || Fail(error, u"it holds no samples"_s);
}

bool ReadWavLayout(const uchar* bytes, qint64 size, WavLayout& layout, QString* error)
{
    layout = WavLayout();
    WavChunks chunks;
    return FindWavChunks(bytes, size, chunks, error) && WavLayoutOf(chunks, layout, error);
}
