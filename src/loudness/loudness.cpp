#include "loudness/loudness.h"

#include "audio/wav_layout.h"
#include "loudness/k_weighting.h"
#include "loudness/true_peak.h"
#include "loudness/wide_vectors.h"

#include <QFile>
#include <QIODevice>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <system_error>

using namespace Qt::StringLiterals;

namespace {

constexpr double kAbsoluteGate = -70.0; // LUFS
constexpr double kRelativeGate = -10.0; // LU below the absolutely gated loudness
constexpr double kLoudnessOffset = -0.691;
constexpr int kBlockQuarters = 4; // a gating block is 400 ms, one starts every 100 ms

double EnergyToLoudness(double energy)
{
    return energy > 0.0 ? kLoudnessOffset + 10.0 * std::log10(energy) : -HUGE_VAL;
}

double LoudnessToEnergy(double loudness)
{
    return std::pow(10.0, (loudness - kLoudnessOffset) / 10.0);
}

// The most common samples, a vector at a time (the compiler leaves this loop as it is).
ORVEL_WIDE_VECTORS void SixteenBitToFloats(const uchar* bytes, size_t count, float* out)
{
    using Shorts = qint16 __attribute__((vector_size(8 * sizeof(qint16))));
    using Floats = float __attribute__((vector_size(8 * sizeof(float))));
    size_t i = 0;
    if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
        for (; i + 8 <= count; i += 8) {
            Shorts shorts;
            std::memcpy(&shorts, bytes + 2 * i, sizeof shorts);
            const Floats floats = __builtin_convertvector(shorts, Floats) / 32768.0f;
            std::memcpy(out + i, &floats, sizeof floats);
        }
    }
    for (; i < count; ++i)
        out[i] = float(qFromLittleEndian<qint16>(bytes + 2 * i)) / 32768.0f;
}

// The samples of a stretch of frames as floats (full scale 1.0), the form both meters take.
class CFrameReader
{
public:
    explicit CFrameReader(const WavLayout& wavLayout) : layout(wavLayout) {}

    const float* Read(const uchar* bytes, size_t frames)
    {
        const size_t count = frames * size_t(layout.channels);
        samples.resize(count);
        float* out = samples.data();
        if (layout.encoding == WavLayout::Encoding::Float) {
            if (layout.bitsPerSample == 32)
                qFromLittleEndian<float>(bytes, qsizetype(count), out);
            else
                for (size_t i = 0; i < count; ++i)
                    out[i] = float(qFromLittleEndian<double>(bytes + 8 * i));
            return out;
        }
        switch (layout.bitsPerSample) {
        case 8:
            for (size_t i = 0; i < count; ++i)
                out[i] = float(int(bytes[i]) - 128) / 128.0f;
            break;
        case 16:
            SixteenBitToFloats(bytes, count, out);
            break;
        case 24:
            for (size_t i = 0; i < count; ++i, bytes += 3)
                out[i] = float(qint32(quint32(bytes[0]) << 8 | quint32(bytes[1]) << 16 |
                                      quint32(bytes[2]) << 24)) /
                         2147483648.0f;
            break;
        default:
            for (size_t i = 0; i < count; ++i)
                out[i] = float(qFromLittleEndian<qint32>(bytes + 4 * i)) / 2147483648.0f;
            break;
        }
        return out;
    }

private:
    const WavLayout& layout;
    std::vector<float> samples;
};

bool Fail(QString* error, const QString& path, const QString& reason)
{
    if (error)
        *error = u"the loudness of \"%1\" cannot be measured: %2"_s.arg(path, reason);
    return false;
}

// Reads the samples in blocks of whole 100 ms steps, about a mebibyte at a time: plain reads
// cost the meter nothing measurable beside the filters, and a file cut short while it is read
// ends the measurement with its reason instead of the program.
class CBlockReader
{
public:
    CBlockReader(QIODevice& device, qint64 stepBytes)
        : file(device), blockBytes(std::max<qint64>(1, kBlockBytes / stepBytes) * stepBytes)
    {
    }

    // The next `bytes` bytes (at most a block), or null with the reason in *error.
    const uchar* Next(qint64 bytes, QString* error)
    {
        if (at + bytes > filled) {
            const qint64 kept = filled - at;
            buffer.resize(size_t(std::max(blockBytes, bytes)));
            if (kept > 0)
                std::memmove(buffer.data(), buffer.data() + at, size_t(kept));
            const qint64 got = file.read(reinterpret_cast<char*>(buffer.data()) + kept,
                                         qint64(buffer.size()) - kept);
            if (got < 0) {
                *error = u"it cannot be read (%1)"_s.arg(file.errorString());
                return nullptr;
            }
            at = 0;
            filled = kept + got;
            if (bytes > filled) {
                *error = u"it was cut short while it was read"_s;
                return nullptr;
            }
        }
        const uchar* bytesAt = buffer.data() + at;
        at += bytes;
        return bytesAt;
    }

private:
    static constexpr qint64 kBlockBytes = 1024 * 1024;
    QIODevice& file;
    const qint64 blockBytes;
    std::vector<uchar> buffer;
    qint64 at = 0;
    qint64 filled = 0;
};

enum class MeasureEnd
{
    Measured,
    Cancelled,
    Failed,
};

// Measures the samples from where `file` stands.
MeasureEnd Measure(QIODevice& file, const WavLayout& layout, CTrackLoudness& result,
                   const std::atomic<bool>* cancel, QString* reason)
{
    CFrameReader reader(layout);
    CKWeighting weighting(layout.channels, layout.sampleRate);
    CTruePeak truePeak(layout.channels, layout.sampleRate);
    // In steps of 100 ms as libebur128 rounds them, each a quarter of a gating block.
    const qint64 step = (layout.sampleRate + 5) / 10;
    const qint64 bytesPerFrame = layout.BytesPerFrame();
    CBlockReader blocks(file, step * bytesPerFrame);
    std::vector<double> quarters;
    for (qint64 frame = 0; frame < layout.frameCount; frame += step) {
        if (cancel && cancel->load(std::memory_order_relaxed))
            return MeasureEnd::Cancelled;
        const qint64 frames = std::min(step, layout.frameCount - frame);
        const uchar* bytes = blocks.Next(frames * bytesPerFrame, reason);
        if (!bytes) {
            *reason += u" (%1 of its %2 seconds were read)"_s.arg(frame / layout.sampleRate)
                           .arg(layout.frameCount / layout.sampleRate);
            return MeasureEnd::Failed;
        }
        const float* samples = reader.Read(bytes, size_t(frames));
        weighting.Add(samples, size_t(frames));
        truePeak.Add(samples, size_t(frames));
        if (frames < step)
            break;
        quarters.push_back(weighting.TakeMeanSquare());
        if (quarters.size() >= kBlockQuarters) {
            const auto last = quarters.end();
            result.blockEnergies.push_back((last[-1] + last[-2] + last[-3] + last[-4]) /
                                           kBlockQuarters);
        }
    }
    result.truePeak = truePeak.Peak();
    return MeasureEnd::Measured;
}

} // namespace

double CTrackLoudness::Loudness() const
{
    return GatedLoudness({this});
}

double GatedLoudness(const std::vector<const CTrackLoudness*>& tracks)
{
    const double absoluteEnergy = LoudnessToEnergy(kAbsoluteGate);
    double sum = 0.0;
    size_t count = 0;
    for (const CTrackLoudness* track : tracks) {
        for (double energy : track->blockEnergies) {
            if (energy > absoluteEnergy) {
                sum += energy;
                ++count;
            }
        }
    }
    if (count == 0)
        return kAbsoluteGate;
    const double relativeEnergy = sum / double(count) * std::pow(10.0, kRelativeGate / 10.0);
    const double gate = std::max(absoluteEnergy, relativeEnergy);
    sum = 0.0;
    count = 0;
    for (const CTrackLoudness* track : tracks) {
        for (double energy : track->blockEnergies) {
            if (energy > gate) {
                sum += energy;
                ++count;
            }
        }
    }
    return count == 0 ? kAbsoluteGate
                      : std::max(kAbsoluteGate, EnergyToLoudness(sum / double(count)));
}

CAlbumLoudness MeasureAlbum(const std::vector<const CTrackLoudness*>& tracks)
{
    CAlbumLoudness album;
    for (const CTrackLoudness* track : tracks)
        album.peak = std::max(album.peak, track->truePeak);
    album.loudness = GatedLoudness(tracks);
    return album;
}

bool MeasureWavLoudness(const QString& path, CTrackLoudness& result, QString* error,
                        const std::atomic<bool>* cancel)
{
    result = CTrackLoudness();
    // Unbuffered: the blocks are large, and read straight into the meter's buffer.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return Fail(error, path, file.errorString());
    return MeasureWavLoudness(file, path, result, error, cancel);
}

bool MeasureWavLoudness(QIODevice& file, const QString& path, CTrackLoudness& result,
                        QString* error, const std::atomic<bool>* cancel)
{
    result = CTrackLoudness();
    if (file.size() == 0)
        return Fail(error, path, u"the file is empty"_s);
    WavHeader header;
    WavLayout layout;
    QString reason;
    if (!ReadWavHeader(file, header, &reason) || !WavLayoutOf(header.chunks, layout, &reason))
        return Fail(error, path, reason);
    if (!file.seek(layout.dataOffset))
        return Fail(error, path, file.errorString());
    const MeasureEnd end = Measure(file, layout, result, cancel, &reason);
    if (end == MeasureEnd::Measured)
        return true;
    result = CTrackLoudness();
    return Fail(error, path,
                end == MeasureEnd::Cancelled ? u"the measurement was stopped"_s : reason);
}

CLoudnessThread::~CLoudnessThread()
{
    cancelled = true;
    if (thread.joinable())
        thread.join();
}

void CLoudnessThread::Start(const QString& wavPath)
{
    path = wavPath;
    try {
        thread = std::thread(
            [this] { measured = MeasureWavLoudness(path, loudness, &failure, &cancelled); });
    } catch (const std::system_error&) {
        // No thread to be had: Finish measures in the caller's time instead.
    }
}

bool CLoudnessThread::Finish(bool cancel, CTrackLoudness& result, QString& error)
{
    if (cancel)
        cancelled = true;
    if (thread.joinable())
        thread.join();
    else if (!cancel && Started())
        measured = MeasureWavLoudness(path, loudness, &failure, &cancelled);
    result = std::move(loudness);
    error = failure;
    return measured && !cancel;
}
