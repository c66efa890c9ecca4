#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The Vorbis comments ("FIELD=value") of a FLAC file, read from its metadata blocks; nullopt
// when the file cannot be read or is no FLAC file. A FLAC file without comments gives an
// empty list.
std::optional<QStringList> ReadFlacComments(const QString& path);

// Whether the file carries a track ReplayGain value.
bool HasReplayGainTags(const QString& path);
