#pragma once

#include <QByteArray>
#include <QString>

// A cue sheet's text made Unicode, and the encoding it was read in.
struct SheetText
{
    QString text;
    QString encoding; // "UTF-8", "UTF-16LE", "windows-1251", "SHIFT_JIS" ...
};

// Sheets come from every kind of ripper and every decade: a byte-order mark (UTF-8, UTF-16) is
// taken at its word, then bytes that are valid UTF-8 read as UTF-8, and anything else in the
// encoding a detector finds (Windows-1252 when it finds none). A named encoding replaces the
// guess; one that no converter knows reads as the guess would. Bytes an encoding cannot map
// become U+FFFD; nothing is dropped.
SheetText DecodeSheetText(const QByteArray& bytes, const QString& encoding = {});
