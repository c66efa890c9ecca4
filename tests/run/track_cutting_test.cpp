#include "audio/wav_cut.h"
#include "run/track_cutting.h"
#include "support/wav_bytes.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct CutCase
{
    const char* name;
    QList<std::pair<qint64, qint64>> stretches; // of a 10000-frame image
    bool cut;
    const char16_t* reasonStart;
};

const CutCase kCutCases[] = {
    {"whole-image", {{0, 588}, {588, 4711}, {4711, -1}}, true, u""},
    {"gap-left-out", {{0, 588}, {1000, -1}}, true, u""},
    {"one-track-of-three", {{588, 4711}}, true, u""},
    {"overlapping",
     {{0, 600}, {500, -1}},
     false,
     u"the tracks hold 10100 samples, the image 10000"},
    {"past-the-end", {{0, 9000}, {9000, 12000}}, false, u"frames 9000 to 12000 lie outside"},
};

} // namespace

// Each track is read back after its cut; the tracks and what no track holds add up to the
// image, and a cut that fails leaves no track's WAV behind.
TEST(TrackCuttingTest, TracksAddUpToTheImageOrNoneIsLeft)
{
    QTemporaryDir dir;
    const QString image = dir.filePath(u"image.wav"_s);
    QFile file(image);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(WavBytes(44100, 10000, false));
    file.close();
    for (const CutCase& test : kCutCases) {
        QList<TrackCut> cuts;
        for (const auto& [start, end] : test.stretches)
            cuts << TrackCut{
                start, end,
                dir.filePath(u"%1-%2.wav"_s.arg(QString::fromUtf8(test.name)).arg(start))};
        QString error;
        EXPECT_EQ(CutTracks(image, cuts, &error), test.cut) << test.name;
        const QString reason = QString::fromUtf16(test.reasonStart);
        EXPECT_EQ(error.left(reason.size()), reason) << test.name;
        for (const TrackCut& cut : cuts) {
            const qint64 frames = ReadWavExtent(cut.wav).frames;
            EXPECT_EQ(frames, test.cut ? (cut.end < 0 ? 10000 : cut.end) - cut.start : -1)
                << test.name;
        }
    }
    QString error;
    EXPECT_FALSE(
        CutTracks(dir.filePath(u"gone.wav"_s), {{0, -1, dir.filePath(u"t.wav"_s)}}, &error));
    EXPECT_FALSE(error.isEmpty());
}
