#pragma once

#include "audio/cue_sheet.h"

#include <QHash>
#include <QString>
#include <optional>

// An album image and the cue sheet that splits it into tracks.
struct AlbumImage
{
    QString sheetPath; // the .cue file; empty when the image carries its sheet inside
    CueSheet sheet;
    QHash<QString, QString> files; // each FILE the sheet names: the audio file found for it

    // The audio file of the sheet's first FILE: the image itself for a one-file sheet.
    QString Image() const;
};

// Reads a .cue file and finds the audio each FILE names beside it: the name as written (its
// case need not match), else, as rippers rename images after writing the sheet, an audio file
// of the same base name ("Album.wav" named, "Album.flac" there). False, with the reason in
// *error, for a damaged sheet or a FILE that is not there.
std::optional<AlbumImage> ReadAlbumImageSheet(const QString& cuePath, QString* error,
                                              const QString& encoding = {});

// The sheet that splits an audio file: "Album.cue" or "Album.flac.cue" beside "Album.flac", a
// sheet in the same folder whose FILE leads to it, else the sheet the file carries. Empty when
// there is none; a sheet found but damaged gives its reason in *error.
std::optional<AlbumImage> FindAlbumImageOfAudio(const QString& audioPath, QString* error,
                                                const QString& encoding = {});
