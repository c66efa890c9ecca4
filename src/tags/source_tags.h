#pragma once

#include <QString>

// The tags of a source file that result names are built from, read when the file is added.
struct SourceTags
{
    QString artist;
    QString albumArtist;
    QString album;
    QString title;
    QString genre;
    QString composer;
    int year = 0;  // 0: none
    int track = 0; // 0: none
    int disc = 0;  // 0: none

    bool operator==(const SourceTags&) const = default;
};

// Reads the file's tags with the tag library (under its lock). A file without tags, of a
// format the library does not know, or that cannot be read gives empty tags.
SourceTags ReadSourceTags(const QString& path);
