#include "audio/cue_tracks.h"

#include <optional>

using namespace Qt::StringLiterals;

namespace {

struct Mark
{
    QString file;
    qint64 sample = 0;
};

Mark MarkOf(const CuePosition& position, int sampleRate)
{
    if (position.samples >= 0)
        return {position.file, position.samples};
    return {position.file, CueFramesToSamples(position.frames, sampleRate)};
}

// The stretch from one mark to the next, split where the file changes.
QList<CuePiece> Between(const Mark& from, const Mark& to)
{
    if (from.file == to.file)
        return to.sample > from.sample ? QList<CuePiece>{{from.file, from.sample, to.sample}}
                                       : QList<CuePiece>{};
    QList<CuePiece> pieces{{from.file, from.sample, -1}};
    if (to.sample > 0)
        pieces << CuePiece{to.file, 0, to.sample};
    return pieces;
}

// A track is cut from one file: a gap kept at the end of the file before its track's stays
// with the track before, even when gaps go to their own tracks.
bool GapMoves(const CueSheetTrack& track, CueGapMode gaps)
{
    if (!track.gapStart || gaps == CueGapMode::ToPreviousTrack)
        return false;
    return gaps == CueGapMode::LeftOut || track.gapStart->file == track.start.file;
}

// Where track i's audio begins and where the next track's takes over, under the gap mode.
Mark Begin(const CueSheetTrack& track, int sampleRate, CueGapMode gaps)
{
    if (gaps == CueGapMode::ToOwnTrack && GapMoves(track, gaps))
        return MarkOf(*track.gapStart, sampleRate);
    return MarkOf(track.start, sampleRate);
}

Mark EndBefore(const CueSheetTrack& next, int sampleRate, CueGapMode gaps)
{
    if (GapMoves(next, gaps))
        return MarkOf(*next.gapStart, sampleRate);
    return MarkOf(next.start, sampleRate);
}

} // namespace

qint64 CueFramesToSamples(qint64 frames, int sampleRate)
{
    return (frames * sampleRate * 2 + 75) / 150;
}

QList<CueTrackCut> CutCueTracks(const CueSheet& sheet, int sampleRate, CueGapMode gaps)
{
    QList<CueTrackCut> cuts;
    const QList<CueSheetTrack>& tracks = sheet.tracks;
    // Audio at the start of a file before the INDEX of the track it leads into belongs to
    // that track: no track is cut across two files.
    std::optional<Mark> fileLeadIn;
    for (qsizetype i = 0; i < tracks.size(); ++i) {
        const CueSheetTrack& track = tracks.at(i);
        if (!track.audio)
            continue;
        Mark begin = Begin(track, sampleRate, gaps);
        if (fileLeadIn && fileLeadIn->file == begin.file && fileLeadIn->sample < begin.sample)
            begin = *fileLeadIn;
        fileLeadIn.reset();
        if (i == 0) {
            // Audio before the first track's INDEX 01 is a hidden track when it is long, and
            // lead-in that joins the first track when it is not, whatever the gap mode.
            begin = MarkOf(track.start, sampleRate);
            const Mark fileStart{begin.file, 0};
            if (begin.sample > CueFramesToSamples(kHiddenTrackMinFrames, sampleRate))
                cuts << CueTrackCut{0, -1, Between(fileStart, begin)};
            else
                begin = fileStart;
        }
        const bool last = i + 1 == tracks.size();
        QList<CuePiece> pieces =
            last ? QList<CuePiece>{{begin.file, begin.sample, -1}}
                 : Between(begin, EndBefore(tracks.at(i + 1), sampleRate, gaps));
        if (pieces.size() > 1) {
            fileLeadIn = Mark{pieces.back().file, 0};
            pieces.removeLast();
        }
        cuts << CueTrackCut{track.number, int(i), pieces};
    }
    return cuts;
}

bool CheckCueCuts(const QList<CueTrackCut>& cuts, const QHash<QString, qint64>& fileSamples,
                  QString* error)
{
    // A start past the end names the track the sheet is wrong about, before any end does.
    for (const bool starts : {true, false}) {
        for (const CueTrackCut& cut : cuts) {
            if (cut.pieces.isEmpty()) {
                *error = u"track %1 holds no audio"_s.arg(cut.number);
                return false;
            }
            for (const CuePiece& piece : cut.pieces) {
                const qint64 length = fileSamples.value(piece.file, -1);
                if (length <= 0) {
                    *error =
                        u"%1, named by track %2, holds no audio"_s.arg(piece.file).arg(cut.number);
                    return false;
                }
                if (starts ? piece.start >= length : piece.end > length) {
                    *error = u"track %1 %2 past the end of the audio in %3"_s.arg(cut.number)
                                 .arg(starts ? u"starts"_s : u"ends"_s, piece.file);
                    return false;
                }
            }
        }
    }
    return true;
}
