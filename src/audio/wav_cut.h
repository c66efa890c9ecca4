#pragma once

#include <QString>
#include <QtGlobal>

// Writes the frames [start, end) of a WAV file to a WAV file of their own in the same format
// (end -1: to the end of the audio). An album image is decoded once and each track cut from it
// this way, sample-exact. The image is read in blocks, never mapped: an image that shrinks or
// vanishes while it is read is an error, never a signal. False, with the reason in *error,
// when the image is no WAV, the stretch lies outside its audio, or either file fails.
bool CutWavFrames(const QString& image, qint64 start, qint64 end, const QString& output,
                  QString* error);

// How many whole frames a WAV file holds and at what rate; -1 frames when it is no WAV.
struct WavExtent
{
    qint64 frames = -1;
    int sampleRate = 0;
};
WavExtent ReadWavExtent(const QString& path, QString* error = nullptr);
