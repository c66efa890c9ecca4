#pragma once

#include <QList>
#include <QSet>

class CCoder;
class CDecoder;
class CFileInfo;

// The rules that keep a batch from destroying its own files, in one place for every front end
// (the main window, the batch command) and for the core, which applies them again at Start to
// whatever it was handed. Paths are compared as files: links and "." or ".." components are
// resolved, so these functions touch the file system.

// One file's runs as they are queued: a decoder, a coder, or both (the coder reading the
// decoder's WAV). Not owned.
struct PlannedJob
{
    CDecoder* decoder = nullptr;
    CCoder* coder = nullptr;
};

// Why a job must not run.
enum class LeftOutReason
{
    None,         // it may run
    OwnInput,     // it would write over the file it reads (or its decoder reads)
    OtherSource,  // it would write over the source of another job of the batch
    SharedOutput, // an earlier job that runs writes the same file
};

// The job of a planned file; both runs null when nothing is planned.
PlannedJob JobOf(const CFileInfo& file);

// For each job, in the order given, why it is left out. The reasons are checked in the order
// of the enumeration; a job without runs is never left out. Leaving out the jobs found here
// and asking again finds none.
QList<LeftOutReason> FindLeftOutJobs(const QList<PlannedJob>& jobs);

// How a Start sorts the jobs it was asked for (the wanted ones). All jobs of the list are
// given, so that a wanted job may not write over the source of one that is not wanted.
struct StartSorting
{
    QList<qsizetype> leftOut;     // wanted jobs that must not run
    QList<qsizetype> upToDate;    // wanted jobs whose result is newer than their source
    QList<qsizetype> replacing;   // the other wanted jobs whose results would replace a file
    QList<LeftOutReason> reasons; // why each job of the list is left out

    // The wanted jobs that do not run: the left-out and up-to-date ones, and the replacing
    // ones unless the user lets them replace their files.
    QSet<qsizetype> NotRun(bool replacingAllowed) const;
};

// Left-out jobs first; then, when skipUpToDate is set, the ones whose result (the coder's
// output, or the decoder's in decode-only planning) is a non-empty file newer than the source;
// then the ones replacing files, which a front end asks about (encoders overwrite without asking).
// An empty `wanted` wants all.
StartSorting SortJobsForStart(const QList<PlannedJob>& jobs, const QList<bool>& wanted,
                              bool skipUpToDate);
