#pragma once

#include "planning/file_info.h"

#include <QList>
#include <QString>

// The names of the files a run writes on the way: the intermediate WAVs, where they go, and
// the hidden names results are written under until they are whole.

// The prefix of every intermediate WAV name.
inline constexpr const char16_t* kTempFilePrefix = u"orv";

// A fresh name "orv" + eight hex digits + extension in the folder: never an existing file,
// never a name this process handed out before. Empty when no such name could be found.
QString MakeTempFileName(const QString& folder, const QString& extension);

// A hidden name beside the result, ".orv" + eight hex digits + the result's extension (kept
// last: encoders choose the format by it), under which the result is written until it is
// whole. Never an existing file nor a name handed out before; listed in the instance session
// at once. Empty when no such name could be found.
QString MakeTemporaryOutputName(const QString& outputPath);

// Where the intermediate WAVs of the files go: the user's runtime folder (XDG_RUNTIME_DIR, a
// memory-backed tmpfs on systemd systems, which spares the disk a write and a read of each WAV)
// when it has room for the largest WAVs that `slots` runs may hold at once, with a margin; else
// the system temporary folder. The front end that plans keeps the choice and hands it to
// PlanFile: two plannings in one process never see each other's.
QString ChooseTempFolder(const QList<const CFileInfo*>& files, int slots);

// The size of the WAV a decoder writes for the file, from its length and format, generously
// (a decoder may widen samples); -1 when the properties do not tell it.
qint64 EstimatedWavBytes(const CFileInfo& file);

// True when freeBytes hold the `slots` largest of the WAVs with a margin. An unknown size (-1)
// never fits.
bool HoldsLargestWavs(qint64 freeBytes, QList<qint64> wavBytes, int slots);
