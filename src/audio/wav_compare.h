#pragma once

#include <QString>

// Whether two WAV files hold the same samples: the same channels, rate, sample format and
// frames, byte for byte; their headers may differ (a plain format chunk against an extensible
// one). Read in blocks, never mapped. False, with the reason in *difference, when they differ
// or either cannot be read.
bool SameSamples(const QString& first, const QString& second, QString* difference);
