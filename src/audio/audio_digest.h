#pragma once

#include <QString>

// A digest that tells the same audio apart from other audio without decoding it, cheap enough
// for every file of a library: a FLAC file's STREAMINFO MD5 of its samples (which tag edits
// and renames leave alone), else a SHA-1 of the file's size and its first and last 64 KiB.
// "flac:" or "ends:" before the hexadecimal digits says which; empty when the file cannot be
// read.
QString AudioDigest(const QString& path);
