#pragma once

#include "library/copy_record.h"
#include "library/sync_plan.h"

#include <QHash>
#include <QMultiHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class CConversionSession;
class CFileInfo;
struct CopySnapshot;

// What carrying out a sync did, told as it happens; the front ends word it.
struct LibrarySyncEvent
{
    enum class Kind
    {
        Moved,            // path: the old place, other: the new
        NotMoved,         // the move failed: a failure
        NewPlaceTaken,    // a file is at other: the result at path stays where it is
        Removed,          // reason: why its source counts as gone
        NotRemoved,       // the removal failed: a failure
        SourceThere,      // kept: its source is there but was not converted
        Kept,             // kept without removals asked for
        LeftAlone,        // changed outside orvel
        UpToDate,         // nothing to do
        ForeignFile,      // path: the source, other: the file the record does not list
        RecordNotWritten, // reason: the record's error
        ChangedOutside,   // a superseded result changed outside orvel: left alone
    };

    Kind kind;
    QString path;
    QString other;
    QString reason;
};

// A library copy kept in step with its library folders, for every front end: the record of
// the copy, the plan of what changed, and carrying it out (moves and removals here, the
// conversions through the session the caller starts). Only results the record lists, and
// still as recorded, are ever moved or removed.
class CLibrarySync
{
public:
    using Listener = std::function<void(const LibrarySyncEvent&)>;

    // copyFolder ends in a separator; the session holds the library's files, planned into it.
    CLibrarySync(CConversionSession& syncedSession, QString folder, Listener tell);
    ~CLibrarySync();

    // The folder below which the tree of the library is kept: the root, or the roots' common
    // folder, with a trailing separator.
    static QString TreeRootOf(const QStringList& roots);
    // A drive that is not mounted leaves an empty folder (or none) where the library was.
    static bool HoldsFiles(const QString& root);
    // The copy and the library lie one inside the other: the copy would copy itself.
    static bool Nested(const QString& root, const QString& copyFolder);

    // Opens (or creates) the copy's record; a dry run creates none. False with the reason.
    bool OpenRecord(bool dryRun, QString* error);
    // Closes the record (each result was written to it as it came).
    void CloseRecord() { record.reset(); }
    // The snapshot, when given, is the record and the copy as they were read a moment ago
    // (while the library was read); otherwise the record is read now.
    SyncPlan Plan(const QStringList& roots, const QString& settings, bool deleteGone,
                  bool deleteMany, const CopySnapshot* snapshot = nullptr);
    // The roots go into the record before anything is changed.
    bool SaveRoots(const QStringList& roots);
    QString RecordError() const;
    QString RecordPath() const;
    // Moves and removals; returns the session's indexes of the files to convert. Stops
    // (returning nothing) once stopped() says so.
    QList<int> CarryOut(const SyncPlan& plan, const std::function<bool()>& stopped);
    // A result that landed goes into the record, in its own transaction.
    void RecordConverted(const CFileInfo& file);
    bool HasRecord() const { return record != nullptr; }
    // A file the record does not list for this source is where it would be written: it is
    // never replaced, and the source is left out.
    bool ForeignFileAt(const SyncAction& action) const;

private:
    QString InCopy(const QString& result) const { return copyFolder + result; }
    QList<SyncSource> Sources();
    bool MoveResult(const SyncAction& action);
    bool RemoveResult(const SyncAction& action);
    void PruneEmptiedFolders(const QString& result);
    void RemoveOwnCompanions(const QString& folder);
    void Tell(LibrarySyncEvent::Kind kind, const QString& path, const QString& other = {},
              const QString& reason = {}) const;

    CConversionSession& session;
    QString copyFolder;
    Listener listener;
    std::unique_ptr<CCopyRecord> record;
    QString signature;
    QHash<QString, SyncSource> sourceOf; // by source key
    QHash<QString, int> fileIndexOf;     // by source key
    QMultiHash<QString, CopyEntry> recordedBySource;
};
