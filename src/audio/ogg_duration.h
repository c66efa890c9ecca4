#pragma once

#include <QString>

// The length of an Ogg Vorbis or Opus stream, from the granule position of its last page (less
// an Opus stream's pre-skip), rounded as the tag library rounds it; -1 for anything else, or
// when no page at the file's end gives a position.
//
// The tag library (1.13) looks for the last page backwards in blocks of 1 KiB and misses one
// whose "OggS" straddles two blocks: it then ends the stream at an earlier page, and a whole
// result reads as a few milliseconds. That is about one file in a hundred of small ones, so
// the end is found here by a plain search.
qint64 OggDurationMs(const QString& path);
