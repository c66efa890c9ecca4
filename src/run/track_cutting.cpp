#include "run/track_cutting.h"

#include "audio/wav_cut.h"
#include "run/run_files.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

void RemoveCuts(const QList<TrackCut>& cuts, const QSet<QString>& kept)
{
    for (const TrackCut& cut : cuts) {
        if (!kept.contains(cut.wav))
            DeleteRunFile(cut.wav);
    }
}

bool Fail(const QList<TrackCut>& cuts, const QSet<QString>& kept, QString* error,
          const QString& reason)
{
    RemoveCuts(cuts, kept);
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

bool CutOne(const QString& imageWav, const TrackCut& cut, qint64 imageFrames, QString* error)
{
    if (!CutWavFrames(imageWav, cut.start, cut.end, cut.wav, error))
        return false;
    const qint64 expected = (cut.end < 0 ? imageFrames : cut.end) - cut.start;
    const qint64 frames = ReadWavExtent(cut.wav, error).frames;
    if (frames == expected)
        return true;
    *error = u"a track holds %1 samples where the image has %2 for it"_s.arg(frames).arg(expected);
    return false;
}

} // namespace

QStringList CutWrittenTracks(const QString& imageWav, const QList<TrackCut>& cuts,
                             const QSet<QString>& cutDone)
{
    QStringList cutNow;
    // Once only the last track waits, the image is not read again on each look.
    const bool pending = std::any_of(cuts.cbegin(), cuts.cend(), [&cutDone](const TrackCut& cut) {
        return cut.end >= 0 && !cutDone.contains(cut.wav);
    });
    if (!pending)
        return cutNow;
    // Until the decoder has written its header, there is nothing to read.
    const qint64 written = ReadWavExtent(imageWav).frames;
    for (const TrackCut& cut : cuts) {
        if (cut.end < 0 || cut.end > written || cutDone.contains(cut.wav))
            continue;
        QString reason;
        if (CutOne(imageWav, cut, written, &reason))
            cutNow << cut.wav;
        else
            DeleteRunFile(cut.wav);
    }
    return cutNow;
}

bool CutTracks(const QString& imageWav, const QList<TrackCut>& cuts, QString* error,
               const QSet<QString>& alreadyCut)
{
    QString reason;
    const WavExtent image = ReadWavExtent(imageWav, &reason);
    if (image.frames < 0)
        return Fail(cuts, alreadyCut, error, reason);
    qint64 written = 0;
    for (const TrackCut& cut : cuts) {
        if (!alreadyCut.contains(cut.wav) && !CutOne(imageWav, cut, image.frames, &reason))
            return Fail(cuts, alreadyCut, error, reason);
        written += (cut.end < 0 ? image.frames : cut.end) - cut.start;
    }
    // With what no track holds (gaps left out, tracks not cut this time), the tracks add up
    // to the image exactly: overlapping or misplaced cuts would not.
    const qint64 outside = image.frames - FramesCovered(cuts, image.frames);
    if (written + outside != image.frames)
        return Fail(
            cuts, alreadyCut, error,
            u"the tracks hold %1 samples, the image %2"_s.arg(written).arg(image.frames - outside));
    return true;
}
