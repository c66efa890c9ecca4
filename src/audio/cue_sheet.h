#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// A position in one of the sheet's audio files, in CD frames (1/75 s) from the file's start;
// a FLAC file's own cue sheet states samples instead.
struct CuePosition
{
    QString file;
    qint64 frames = 0;
    qint64 samples = -1; // -1: stated in frames

    bool operator==(const CuePosition&) const = default;
};

struct CueSheetTrack
{
    int number = 0;
    bool audio = true; // a data track (MODE1/2352 ...) holds no sound
    QString title;
    QString performer;
    QString songwriter;
    QString isrc;
    std::optional<CuePosition> gapStart; // INDEX 00: the gap before the track, held in the file
    CuePosition start;                   // INDEX 01
    qint64 pregapFrames = 0;             // PREGAP: silence the file does not hold
};

// What a cue sheet says of an album image: the album's fields and its tracks in sheet order.
struct CueSheet
{
    QString title;
    QString performer;
    QString songwriter;
    QString date;
    QString genre;
    QString comment;
    int discNumber = 0; // 0: none
    int discCount = 0;  // REM TOTALDISCS; 0: none
    QString encoding;   // what the sheet's bytes were read as
    QList<CueSheetTrack> tracks;

    // The audio files the sheet names, each once, in the order they first appear.
    QList<QString> Files() const;
};

// Reads a sheet's bytes (any encoding DecodeSheetText reads; a named encoding replaces its
// guess). The sheet's structure and CD-TEXT are libcue's reading; where each index lies, which
// FILE it belongs to, and the REM fields libcue does not keep (GENRE, COMMENT, DISCNUMBER)
// come from the same lines read here. Empty, with the reason in *error, for a sheet that is
// damaged, lists no track, or has a track without a FILE or an INDEX 01 or out of order.
std::optional<CueSheet> ReadCueSheet(const QByteArray& bytes, QString* error,
                                     const QString& encoding = {});

// "MM:SS:FF" in CD frames; -1 when the text is not such a time.
qint64 ParseCueTime(const QString& text);
