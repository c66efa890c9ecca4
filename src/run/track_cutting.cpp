#include "run/track_cutting.h"

#include "audio/wav_cut.h"
#include "run/run_files.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

void RemoveCuts(const QList<TrackCut>& cuts)
{
    for (const TrackCut& cut : cuts)
        DeleteRunFile(cut.wav);
}

bool Fail(const QList<TrackCut>& cuts, QString* error, const QString& reason)
{
    RemoveCuts(cuts);
    if (error)
        *error = reason;
    return false;
}

// The frames of the image that at least one cut holds.
qint64 FramesCovered(QList<TrackCut> cuts, qint64 imageFrames)
{
    for (TrackCut& cut : cuts)
        cut.end = cut.end < 0 ? imageFrames : cut.end;
    std::sort(cuts.begin(), cuts.end(),
              [](const TrackCut& a, const TrackCut& b) { return a.start < b.start; });
    qint64 covered = 0;
    qint64 reached = 0;
    for (const TrackCut& cut : cuts) {
        const qint64 from = std::max(cut.start, reached);
        if (cut.end > from) {
            covered += cut.end - from;
            reached = cut.end;
        }
    }
    return covered;
}

} // namespace

bool CutTracks(const QString& imageWav, const QList<TrackCut>& cuts, QString* error)
{
    QString reason;
    const WavExtent image = ReadWavExtent(imageWav, &reason);
    if (image.frames < 0)
        return Fail(cuts, error, reason);
    qint64 written = 0;
    for (const TrackCut& cut : cuts) {
        if (!CutWavFrames(imageWav, cut.start, cut.end, cut.wav, &reason))
            return Fail(cuts, error, reason);
        const qint64 expected = (cut.end < 0 ? image.frames : cut.end) - cut.start;
        const qint64 frames = ReadWavExtent(cut.wav, &reason).frames;
        if (frames != expected)
            return Fail(cuts, error,
                        u"a track holds %1 samples where the image has %2 for it"_s.arg(frames).arg(
                            expected));
        written += frames;
    }
    // With what no track holds (gaps left out, tracks not cut this time), the tracks add up
    // to the image exactly: overlapping or misplaced cuts would not.
    const qint64 outside = image.frames - FramesCovered(cuts, image.frames);
    if (written + outside != image.frames)
        return Fail(
            cuts, error,
            u"the tracks hold %1 samples, the image %2"_s.arg(written).arg(image.frames - outside));
    return true;
}
