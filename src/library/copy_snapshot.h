#pragma once

#include "library/copy_record.h"
#include "library/sync_plan.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// The copy as a sync finds it, read in one go on any thread (while the library is read on
// another): the record's roots and entries, and each recorded result's file as it is now.
struct CopySnapshot
{
    bool read = false; // false: no record there, or one that could not be read
    QStringList roots;
    QList<CopyEntry> entries;
    QHash<QString, std::optional<FoundResult>> results; // by result, below the copy's folder
};

// copyFolder ends in a separator. A folder without a record gets none made.
CopySnapshot ReadCopySnapshot(const QString& copyFolder);

// A result's own entry, never what a link at its place points to: a link is no result the
// record can hold (its size is then -1). Nothing when no file is there.
std::optional<FoundResult> StampOfResult(const QString& path);
