#pragma once

#include "library/copy_record.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// One source of the library, with the result it gets under today's settings.
struct SyncSource
{
    QString path; // absolute
    qint64 size = 0;
    qint64 timeNs = 0;
    QString result;   // below the copy's folder, "/"-separated
    QString settings; // its own signature, where it differs from the inputs' (a copy rule's)
};

// A result file as it is found in the copy.
struct FoundResult
{
    qint64 size = 0;
    qint64 timeNs = 0;
};

struct SyncInputs
{
    QStringList roots; // the library folders given
    QList<SyncSource> sources;
    QString settings; // today's signature of the choices that change a result
    QStringList recordRoots;
    QList<CopyEntry> record;
    bool deleteGone = false; // results whose source is gone are removed
    bool deleteMany = false; // even when that is more than half of the copy
    std::function<bool(const QString& root)> rootHoldsFiles;
    std::function<std::optional<FoundResult>(const QString& result)> findResult;
    // Read only for sources the record does not know by path: a renamed file is found by it.
    std::function<QString(const QString& source)> digest;
};

struct SyncAction
{
    enum class Kind
    {
        Add,          // a new source
        Convert,      // converted again: its source, its settings or its result changed
        Move,         // its source was renamed or moved, or its name changed: the result moves
        UpToDate,     // nothing to do; its stream is not read again
        Remove,       // its source is gone and the result is still the one recorded
        KeepGone,     // its source is gone; kept without --delete
        KeepReplaced, // the result was changed outside orvel: left alone
        Forget,       // a recorded result that is no longer there: only the record changes
    };

    Kind kind = Kind::Add;
    QString source;
    QString result;
    QString from; // Move: the result's old name
    QString reason;

    bool operator==(const SyncAction&) const = default;
};

struct SyncPlan
{
    QList<SyncAction> actions;
    // Why nothing may be done at all (an unmounted library, a copy of other sources, too many
    // removals); empty when the plan may be carried out.
    QString refusal;

    int Count(SyncAction::Kind kind) const;
};

// What a sync of the copy would do. Only results the record lists are ever moved or removed,
// and only while their file is still the one recorded.
SyncPlan PlanSync(const SyncInputs& inputs);
