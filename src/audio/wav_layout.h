#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

class QIODevice;

// Where a WAV file keeps its samples and how they are stored.
struct WavLayout
{
    enum class Encoding
    {
        Integer, // PCM, unsigned for 8 bits, signed beyond
        Float,   // IEEE floating point
    };

    Encoding encoding = Encoding::Integer;
    int channels = 0;
    int sampleRate = 0;
    int bitsPerSample = 0; // of the container: 8, 16, 24, 32 or 64
    qint64 dataOffset = 0; // first byte of the first frame
    qint64 frameCount = 0; // whole frames present in the file
    int BytesPerFrame() const { return channels * (bitsPerSample / 8); }
};

// Where a RIFF or RF64 WAV keeps its format and its samples, whatever their encoding. The data
// chunk holds what the file holds when its size is unknown (0 or all ones, as streaming writers
// leave it; an RF64 file's ds64 chunk gives it) or runs past the end.
struct WavChunks
{
    const uchar* format = nullptr; // the format chunk's body
    qint64 formatSize = 0;
    qint64 dataOffset = -1; // -1: no data chunk
    qint64 dataSize = 0;
    qint64 walkedTo = 0; // where a walk that ran off the end of the bytes stopped, else 0
};

// Finds the chunks in the first `size` bytes of a file of `fileSize` bytes (-1: `size`; the
// data chunk's size is held to the file's). False, with the reason in *error, for a file that
// is no WAV, has no format chunk, or has its samples before their format.
bool FindWavChunks(const uchar* bytes, qint64 size, WavChunks& chunks, QString* error,
                   qint64 fileSize = -1);

// A WAV file's bytes up to its first sample, read with plain reads, and its chunks (which point
// into `bytes`). A file mapped into memory instead kills the program (SIGBUS) when it is cut
// short while it is read: another program writing it, a share or drive going away.
struct WavHeader
{
    QByteArray bytes;
    WavChunks chunks;
    qint64 fileSize = 0;
};

// Reads the header from an open file, in growing blocks until the data chunk begins. False,
// with the reason in *error, as FindWavChunks refuses, or for a file that cannot be read.
bool ReadWavHeader(QIODevice& file, WavHeader& header, QString* error);

// The layout of the samples that the chunks describe. False, with the reason in *error, for
// samples the meter cannot read, or none.
bool WavLayoutOf(const WavChunks& chunks, WavLayout& layout, QString* error);

// Reads the layout from the first `size` bytes of a WAV file (RIFF or RF64, plain or
// WAVE_FORMAT_EXTENSIBLE, PCM or floating point). A data chunk whose size is unknown (0 or all
// ones, as streaming writers leave it) or runs past the end holds what the file holds. False,
// with the reason in *error, for anything else.
bool ReadWavLayout(const uchar* bytes, qint64 size, WavLayout& layout, QString* error);
