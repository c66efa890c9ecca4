#pragma once

#include "codecs/codec.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

// Cuts each track's WAV from an album image's WAV, sample-exact, and reads every track back:
// each must hold its stretch's frames, and all of them together as many as their stretches of
// the image. False, with the reason in *error, when a cut fails or the counts differ; the
// tracks' WAVs written so far are removed then. The tracks in alreadyCut were cut while the
// image was decoded (CutWrittenTracks): they count, but are neither cut again nor removed, as
// their coders may be reading them.
bool CutTracks(const QString& imageWav, const QList<TrackCut>& cuts, QString* error,
               const QSet<QString>& alreadyCut = {});

// While the image is still being decoded: cuts the tracks whose audio its WAV holds already,
// in full (a decoder writes its samples in order), and not yet in cutDone. Gives back the
// WAVs cut now, each proven to hold its stretch's frames; a track that cannot be cut yet is
// left for CutTracks once the decoder has ended. The last track, which runs to the end, waits.
QStringList CutWrittenTracks(const QString& imageWav, const QList<TrackCut>& cuts,
                             const QSet<QString>& cutDone);
