#include "loudness/loudness.h"

#include "audio/wav_layout.h"
#include "loudness/k_weighting.h"
#include "loudness/true_peak.h"
#include "loudness/wide_vectors.h"

#include <QFile>
#include <QtEndian>
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

// False when cancelled.
bool Measure(const uchar* data, const WavLayout& layout, CTrackLoudness& result,
             const std::atomic<bool>* cancel)
{
    CFrameReader reader(layout);
    CKWeighting weighting(layout.channels, layout.sampleRate);
    CTruePeak truePeak(layout.channels, layout.sampleRate);
    // In steps of 100 ms as libebur128 rounds them, each a quarter of a gating block.
    const qint64 step = (layout.sampleRate + 5) / 10;
    const qint64 bytesPerFrame = layout.BytesPerFrame();
    std::vector<double> quarters;
    for (qint64 frame = 0; frame < layout.frameCount; frame += step) {
        if (cancel && cancel->load(std::memory_order_relaxed))
            return false;
        const qint64 frames = std::min(step, layout.frameCount - frame);
        const float* samples = reader.Read(data + frame * bytesPerFrame, size_t(frames));
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
    return true;
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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Fail(error, path, file.errorString());
    const qint64 size = file.size();
    // Mapped, the encoder reading the same file and the meter share the page cache.
    const uchar* data = size > 0 ? file.map(0, size) : nullptr;
    if (!data)
        return Fail(error, path, size > 0 ? file.errorString() : u"the file is empty"_s);
    WavLayout layout;
    QString reason;
    if (!ReadWavLayout(data, size, layout, &reason))
        return Fail(error, path, reason);
    if (!Measure(data + layout.dataOffset, layout, result, cancel)) {
        result = CTrackLoudness();
        return Fail(error, path, u"the measurement was stopped"_s);
    }
    return true;
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
