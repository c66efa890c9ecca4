#pragma once

#include <QString>
#include <QtGlobal>

// How FormatSize writes a byte count.
inline constexpr qint32 kSizeModeAutomatic = 0; // scaled to B, KB, MB or GB
inline constexpr qint32 kSizeModeExact = 1;     // every byte, digits grouped in threes
// Any other mode: the plain number with decimals, no unit.

// A byte count as the lists show it: "1,50 KB", "1 234 567 B", "1234,00". Counts are 64-bit,
// so a file of 2 GiB or more shows its true size.
QString FormatSize(qint64 bytes, qint32 mode, qint32 decimals);

// Every "." in text becomes ",".
void UseDecimalComma(QString& text);
