#pragma once

#include <QString>

// Whether two WAV files hold the same samples: the same channels, rate, sample format and
// frames, byte for byte; their headers may differ (a plain format chunk against an extensible
// one). Read in blocks, never mapped. False, with the reason in *difference, when they differ
// or either cannot be read.
bool SameSamples(const QString& first, const QString& second, QString* difference);

// The MD5 of a WAV file's samples as they lie in its data chunk, in lower-case hexadecimal: for
// 16 and 24 bits, what a FLAC file's STREAMINFO holds for the same samples. Empty, with the
// reason in *error, when it cannot be read.
QString SamplesMd5(const QString& path, QString* error);
