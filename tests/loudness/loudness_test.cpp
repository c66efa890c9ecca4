#include "audio/wav_layout.h"
#include "loudness/loudness.h"
#include "support/audio_fixtures.h"
#include "tags/replay_gain.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>
#include <cmath>
#include <cstring>
#include <ebur128.h>
#include <gtest/gtest.h>
#include <memory>
#include <tuple>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

struct Reference
{
    double loudness = 0.0; // LUFS
    double peakDb = 0.0;   // dBFS, -inf for silence
};

// What ffmpeg's EBU R128 filter reports for the file: the last integrated value it attached
// to the frames (three decimals) and the true peak of its summary.
Reference MeasureWithFfmpeg(const QString& wav, const QString& work)
{
    const QString frames = work + u"/frames.txt"_s;
    const QString summary = work + u"/summary.txt"_s;
    const QString command =
        u"ffmpeg -nostdin -hide_banner -nostats -i \"$1\" -af "
        u"ebur128=peak=true:metadata=1,ametadata=mode=print:file=\"$2\" -f null - 2>\"$3\""_s;
    EXPECT_TRUE(fixtures::Run(u"sh"_s, {u"-c"_s, command, u"sh"_s, wav, frames, summary}));
    Reference reference;
    QFile framesFile(frames);
    EXPECT_TRUE(framesFile.open(QIODevice::ReadOnly));
    const QString frameText = QString::fromUtf8(framesFile.readAll());
    const qsizetype last = frameText.lastIndexOf(u"lavfi.r128.I="_s);
    reference.loudness = frameText.mid(last + 13).section(u'\n', 0, 0).toDouble();
    QFile summaryFile(summary);
    EXPECT_TRUE(summaryFile.open(QIODevice::ReadOnly));
    const QString summaryText = QString::fromUtf8(summaryFile.readAll());
    const QRegularExpressionMatch peak =
        QRegularExpression(u"True peak:\\s*Peak:\\s*(\\S+) dBFS"_s).match(summaryText);
    EXPECT_TRUE(peak.hasMatch()) << summaryText.toStdString();
    reference.peakDb = peak.captured(1) == u"-inf"_s ? -HUGE_VAL : peak.captured(1).toDouble();
    return reference;
}

// What libebur128 itself reports, the audio read by sox rather than by the meter's own reader.
Reference MeasureWithLibebur128(const QString& wav, const QString& work, int channels, int rate)
{
    const QString raw = work + u"/samples.f32"_s;
    EXPECT_TRUE(fixtures::Run(u"sox"_s, {wav, u"-t"_s, u"f32"_s, raw}));
    QFile file(raw);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    std::vector<float> samples(size_t(bytes.size()) / sizeof(float));
    std::memcpy(samples.data(), bytes.constData(), samples.size() * sizeof(float));
    const auto destroy = [](ebur128_state* state) { ebur128_destroy(&state); };
    const std::unique_ptr<ebur128_state, decltype(destroy)> state(
        ebur128_init(unsigned(channels), unsigned(rate), EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK),
        destroy);
    ebur128_add_frames_float(state.get(), samples.data(), samples.size() / size_t(channels));
    Reference reference;
    ebur128_loudness_global(state.get(), &reference.loudness);
    double peak = 0.0;
    for (int channel = 0; channel < channels; ++channel) {
        double channelPeak = 0.0;
        ebur128_true_peak(state.get(), unsigned(channel), &channelPeak);
        peak = std::max(peak, channelPeak);
    }
    reference.peakDb = peak > 0.0 ? 20.0 * std::log10(peak) : -HUGE_VAL;
    return reference;
}

double PeakDb(double linear)
{
    return linear > 0.0 ? 20.0 * std::log10(linear) : -HUGE_VAL;
}

} // namespace

// Signals made at test time, measured by the meter, by libebur128 and by ffmpeg's filter. The
// meter computes what libebur128 computes (its filters, channel weights and oversampling), so
// the two agree to a thousandth; ffmpeg's filter differs from both a little: loudness within
// 0.1 LU, true peak within 0.1 dB (it prints the peak to 0.1 dB, so 0.05 more).
TEST(LoudnessTest, AgreesWithLibebur128AndFfmpegOnThirteenSignals)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // Faded in and out: an abrupt start rings in every oversampling filter, differently.
    // Repeatable noise (-R): a fresh draw may put a peak where the two oversampling filters
    // part by more than the tolerance.
    const QString sox = u"sox -R -n -r %1 -c %2 %3 \"$1\" synth 3 %4 fade 0.1 3 0.1"_s;
    const QString ffmpeg =
        u"ffmpeg -nostdin -v error -f lavfi -i \"aevalsrc=%1:s=%2:d=3\" %3 \"$1\""_s;
    const struct
    {
        const char* name;
        QString command;
        int channels;
        int rate;
    } signals_[] = {
        {"sine", sox.arg(u"44100"_s, u"2"_s, u"-b 16"_s, u"sine 1000 vol 0.1"_s), 2, 44100},
        {"mono", sox.arg(u"48000"_s, u"1"_s, u"-b 16"_s, u"sine 997 vol 0.5"_s), 1, 48000},
        {"pink", sox.arg(u"44100"_s, u"2"_s, u"-b 16"_s, u"pinknoise vol 0.5"_s), 2, 44100},
        {"quiet", sox.arg(u"44100"_s, u"2"_s, u"-b 16"_s, u"brownnoise vol 0.03"_s), 2, 44100},
        {"silence", u"sox -n -r 44100 -c 2 -b 16 -D \"$1\" trim 0 3"_s, 2, 44100},
        {"sweep", sox.arg(u"44100"_s, u"2"_s, u"-b 16"_s, u"sine 40-12000 vol 0.4"_s), 2, 44100},
        {"hires", sox.arg(u"96000"_s, u"2"_s, u"-b 24"_s, u"sine 3000 vol 0.3"_s), 2, 96000},
        {"float", sox.arg(u"44100"_s, u"2"_s, u"-e floating-point -b 32"_s, u"pinknoise vol 0.7"_s),
         2, 44100},
        {"int32", sox.arg(u"48000"_s, u"2"_s, u"-b 32"_s, u"sine 5000 vol 0.2"_s), 2, 48000},
        {"8bit", sox.arg(u"22050"_s, u"1"_s, u"-b 8"_s, u"sine 300 vol 0.6"_s), 1, 22050},
        // Five channels weigh the last two as surround, as six weigh the fifth and sixth.
        {"five", sox.arg(u"44100"_s, u"5"_s, u"-b 16"_s, u"brownnoise vol 0.2"_s), 5, 44100},
        // Samples at 0.95 of full scale between which the wave reaches +2.6 dBFS.
        {"overs",
         ffmpeg.arg(u"min(t*10\\,1)*1.3435*sin(2*PI*11025*t+PI/4)|"
                    u"min(t*10\\,1)*1.3435*sin(2*PI*11025*t+PI/4)"_s,
                    u"44100"_s, u"-c:a pcm_s16le"_s),
         2, 44100},
        {"surround",
         ffmpeg.arg(u"0.3*sin(2*PI*440*t)|0.3*sin(2*PI*550*t)|0.2*sin(2*PI*660*t)|"
                    u"0.5*sin(2*PI*50*t)|0.25*sin(2*PI*770*t)|0.25*sin(2*PI*880*t)"_s,
                    u"48000"_s, u"-channel_layout 5.1 -c:a pcm_s24le"_s),
         6, 48000},
    };
    for (const auto& signal : signals_) {
        SCOPED_TRACE(signal.name);
        const QString wav = dir.filePath(QString::fromLatin1(signal.name) + u".wav"_s);
        ASSERT_TRUE(fixtures::Run(u"sh"_s, {u"-c"_s, signal.command, u"sh"_s, wav}));
        CTrackLoudness measured;
        QString error;
        ASSERT_TRUE(MeasureWavLoudness(wav, measured, &error)) << error.toStdString();
        const Reference library =
            MeasureWithLibebur128(wav, dir.path(), signal.channels, signal.rate);
        const Reference filter = MeasureWithFfmpeg(wav, dir.path());
        for (const auto& [reference, tolerance, peakTolerance] :
             {std::tuple{library, 0.001, 0.001}, std::tuple{filter, 0.1, 0.15}}) {
            EXPECT_NEAR(measured.Loudness(), std::max(-70.0, reference.loudness), tolerance);
            if (std::isinf(reference.peakDb))
                EXPECT_EQ(measured.truePeak, 0.0);
            else
                EXPECT_NEAR(PeakDb(measured.truePeak), reference.peakDb, peakTolerance);
        }
    }
}

// The values written follow from the loudness: ReplayGain to -18 LUFS, Opus to -23 LUFS in
// 1/256 dB; an album is gated over all of its blocks, so silence weighs nothing in it.
TEST(LoudnessTest, GainsFollowFromLoudnessAndAlbumsGateOverAllTheirBlocks)
{
    EXPECT_EQ(ReplayGainText(-23.0), u"5.00 dB"_s);
    EXPECT_EQ(ReplayGainText(-9.125), u"-8.88 dB"_s);
    EXPECT_EQ(PeakText(0.98831234), u"0.988312"_s);
    EXPECT_EQ(R128GainText(-20.0), u"-768"_s);
    EXPECT_EQ(R128GainText(-200.0), u"32767"_s);

    CTrackLoudness loud;
    loud.blockEnergies.assign(10, std::pow(10.0, (-10.0 + 0.691) / 10.0));
    CTrackLoudness quiet;
    quiet.blockEnergies.assign(30, std::pow(10.0, (-30.0 + 0.691) / 10.0));
    CTrackLoudness silent;
    silent.blockEnergies.assign(50, 0.0);
    EXPECT_NEAR(loud.Loudness(), -10.0, 1e-9);
    EXPECT_EQ(silent.Loudness(), -70.0);
    // The quiet blocks lie 20 LU below: the relative gate leaves them out of the album.
    EXPECT_NEAR(GatedLoudness({&loud, &quiet, &silent}), -10.0, 1e-9);
    CTrackLoudness nearer;
    nearer.blockEnergies.assign(10, std::pow(10.0, (-13.0 + 0.691) / 10.0));
    EXPECT_NEAR(GatedLoudness({&loud, &nearer}), 10 * std::log10((0.1 + 0.05012) / 2), 0.01);
}

// A file that shrinks once the meter has begun (another program writing it, a share going
// away), at the moment it reads its samples.
class CShrinkingFile : public QFile
{
public:
    CShrinkingFile(const QString& path, qint64 cutTo) : QFile(path), size(cutTo) {}

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        if (pos() > 0 && !cut)
            cut = QFile::resize(fileName(), size);
        return QFile::readData(data, maxSize);
    }

private:
    const qint64 size;
    bool cut = false;
};

// What is no PCM WAV is refused with its reason; a data chunk longer than the file (a writer
// that died) is measured as far as it goes; a file cut short while it is measured is refused
// with that reason (mapped, it would have ended the program with SIGBUS).
TEST(LoudnessTest, RefusesWhatIsNoPcmWavAndReadsATruncatedOne)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString good = dir.filePath(u"good.wav"_s);
    ASSERT_TRUE(fixtures::MakeWav(good, 44100, 2, 16, 1.0));
    QFile goodFile(good);
    ASSERT_TRUE(goodFile.open(QIODevice::ReadOnly));
    const QByteArray wav = goodFile.readAll();
    QByteArray compressed = wav;
    compressed[20] = 0x55; // MPEG layer 3 in a WAV
    QByteArray noFormat = wav;
    noFormat.replace(12, 4, "junk");
    // Chunks before the samples beyond what the meter reads first (a cover, say).
    QByteArray bigChunk = wav;
    constexpr quint32 kBigSize = 300000;
    QByteArray bigHeader("LIST....");
    qToLittleEndian(kBigSize, bigHeader.data() + 4);
    bigChunk.insert(36, bigHeader + QByteArray(kBigSize, 'x'));
    const struct
    {
        const char* name;
        QByteArray bytes;
        const char* reason;
    } cases[] = {
        {"empty", QByteArray(), "empty"},
        {"text", "just some text, no RIFF at all", "no WAV"},
        {"compressed", compressed, "compressed"},
        {"noformat", noFormat, "before their format"},
        {"headeronly", wav.left(44), "no samples"},
        {"truncated", wav.left(wav.size() / 2), nullptr},
        {"bigchunk", bigChunk, nullptr},
    };
    for (const auto& item : cases) {
        SCOPED_TRACE(item.name);
        const QString path = dir.filePath(QString::fromLatin1(item.name) + u".wav"_s);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(item.bytes);
        file.close();
        CTrackLoudness measured;
        QString error;
        EXPECT_EQ(MeasureWavLoudness(path, measured, &error), item.reason == nullptr);
        if (item.reason)
            EXPECT_TRUE(error.contains(QString::fromLatin1(item.reason))) << error.toStdString();
        else
            EXPECT_GT(measured.blockEnergies.size(), 0u);
    }
    CTrackLoudness measured;
    QString error;
    EXPECT_FALSE(MeasureWavLoudness(dir.filePath(u"missing.wav"_s), measured, &error));
    std::atomic<bool> cancelled{true};
    EXPECT_FALSE(MeasureWavLoudness(good, measured, &error, &cancelled));
    EXPECT_TRUE(error.contains(u"stopped"_s));
    const QString shrinking = dir.filePath(u"shrinking.wav"_s);
    ASSERT_TRUE(fixtures::MakeWav(shrinking, 44100, 2, 16, 20.0));
    CShrinkingFile file(shrinking, 2 * 1024 * 1024);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
    EXPECT_FALSE(MeasureWavLoudness(file, shrinking, measured, &error));
    EXPECT_TRUE(error.contains(u"cut short while it was read"_s)) << error.toStdString();
    EXPECT_TRUE(measured.blockEnergies.empty());
}
