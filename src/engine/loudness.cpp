#include "engine/loudness.h"

#include "engine/true_peak.h"
#include "engine/wav_layout.h"

#include <QFile>
#include <QtEndian>
#include <cmath>
#include <cstring>
#include <ebur128.h>
#include <memory>
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

struct StateDeleter
{
    void operator()(ebur128_state* state) const { ebur128_destroy(&state); }
};
using State = std::unique_ptr<ebur128_state, StateDeleter>;

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
            for (size_t i = 0; i < count; ++i)
                out[i] = float(qFromLittleEndian<qint16>(bytes + 2 * i)) / 32768.0f;
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

// The meter's energy of its last 100 ms; the gating blocks are built from four of them.
double QuarterEnergy(ebur128_state* state)
{
    double loudness = -HUGE_VAL;
    if (ebur128_loudness_window(state, 100, &loudness) != EBUR128_SUCCESS ||
        !std::isfinite(loudness))
        return 0.0;
    return LoudnessToEnergy(loudness);
}

bool Measure(const uchar* data, const WavLayout& layout, CTrackLoudness& result,
             const std::atomic<bool>* cancel)
{
    State state(ebur128_init(unsigned(layout.channels),
                             static_cast<unsigned long>(layout.sampleRate), EBUR128_MODE_M));
    if (!state)
        return false;
    CFrameReader reader(layout);
    CTruePeak truePeak(layout.channels, layout.sampleRate);
    // Fed in steps of the meter's own 100 ms, so each step ends where a gating block may end.
    const qint64 step = (layout.sampleRate + 5) / 10;
    const qint64 bytesPerFrame = layout.BytesPerFrame();
    std::vector<double> quarters;
    for (qint64 frame = 0; frame < layout.frameCount; frame += step) {
        if (cancel && cancel->load(std::memory_order_relaxed))
            return false;
        const qint64 frames = std::min(step, layout.frameCount - frame);
        const float* samples = reader.Read(data + frame * bytesPerFrame, size_t(frames));
        if (ebur128_add_frames_float(state.get(), samples, size_t(frames)) != EBUR128_SUCCESS)
            return false;
        truePeak.Add(samples, size_t(frames));
        if (frames < step)
            break;
        quarters.push_back(QuarterEnergy(state.get()));
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
        const bool cancelled = cancel && cancel->load();
        result = CTrackLoudness();
        return Fail(error, path,
                    cancelled ? u"the measurement was stopped"_s
                              : u"the meter cannot take its samples"_s);
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
