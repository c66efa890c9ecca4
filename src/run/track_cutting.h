#pragma once

#include "codecs/codec.h"

#include <QList>
#include <QString>

// Cuts each track's WAV from an album image's WAV, sample-exact, and reads every track back:
// each must hold its stretch's frames, and all of them together as many as their stretches of
// the image. False, with the reason in *error, when a cut fails or the counts differ; the
// tracks' WAVs written so far are removed then.
bool CutTracks(const QString& imageWav, const QList<TrackCut>& cuts, QString* error);
