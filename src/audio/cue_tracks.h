#pragma once

#include "audio/cue_sheet.h"

#include <QHash>
#include <QList>
#include <QString>

// Where the audio of a gap (a track's INDEX 00 up to its INDEX 01) goes.
enum class CueGapMode
{
    ToPreviousTrack, // as most rips are played: the gap ends the track before it
    ToOwnTrack,      // the track starts with its gap
    LeftOut,         // neither track has it
};

// One stretch of one audio file, in samples: [start, end), end -1 for the file's end.
struct CuePiece
{
    QString file;
    qint64 start = 0;
    qint64 end = -1;

    bool operator==(const CuePiece&) const = default;
};

// One track of the image as it is cut: its stretch of one file (a gap kept at the end of the
// file before stays with the track before), and its index in the sheet's tracks (-1 for a
// hidden first track).
struct CueTrackCut
{
    int number = 0;
    int sheetIndex = -1;
    QList<CuePiece> pieces;

    bool operator==(const CueTrackCut&) const = default;
};

// Audio before track 1's INDEX 01 of more than this is a track of its own (track 0); a shorter
// stretch is lead-in that joins track 1.
inline constexpr qint64 kHiddenTrackMinFrames = 4 * 75;

// The sample a CD frame position falls on: frames * rate / 75, exact at the CD rates and every
// multiple of 75 Hz; other rates round to the nearest sample, halves up.
qint64 CueFramesToSamples(qint64 frames, int sampleRate);

// How the sheet's audio tracks are cut from its files. PREGAP silence is not in any file and
// adds nothing; data tracks are left out.
QList<CueTrackCut> CutCueTracks(const CueSheet& sheet, int sampleRate, CueGapMode gaps);

// Checks the cuts against the length of each file in samples: false, with the reason, when a
// track starts at or past the end of its file's audio or a file has no length.
bool CheckCueCuts(const QList<CueTrackCut>& cuts, const QHash<QString, qint64>& fileSamples,
                  QString* error);
