#pragma once

#include <QMap>
#include <QString>

struct ReplayGainValues;

// Fields a result's tags take in place of its source's (property names as the tag library
// spells them: "TITLE", "TRACKNUMBER" ...); an empty value removes the field.
using TagFields = QMap<QString, QString>;

// Carries the tags and embedded pictures of a source file over to the result converted from
// it: the common fields through the tag library's property map, the pictures through each
// format's own picture blocks (FLAC and Ogg pictures, ID3v2 APIC, MP4 covr, APE cover items).
// What the result's format cannot hold is left out; nothing is written in a form the format
// does not define. Fields the encoder wrote itself and the source lacks are kept.
//
// True when the result holds what it can of the source's tags, or the source has nothing to
// copy (or is of a format without tags). False, with the reason in *error, when the result's
// tags could not be written; its audio is never touched then.
//
// With gains, the result also gets those ReplayGain values in place of any the source had;
// an empty sourcePath then writes the values alone. With fields, those replace the source's
// (a track cut from an album image takes its own title and number). With pictureMaxSide above
// 0 the pictures go in as baseline JPEGs of at most that many pixels a side, through the
// installed shrinker (none installed: as they are).
bool CopyTags(const QString& sourcePath, const QString& targetPath, QString* error = nullptr,
              const ReplayGainValues* gains = nullptr, const TagFields* fields = nullptr,
              int pictureMaxSide = 0);

// The album title of a file's tags; empty when it has none or cannot be read.
QString ReadAlbumTitle(const QString& path);
