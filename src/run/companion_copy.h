#pragma once

#include "planning/companion_files.h"

#include <QString>

// What carrying one file along did (or, not written, would do).
enum class CompanionOutcome
{
    Copied,
    UpToDate,  // orvel's copy is there and is what it would write
    UsersFile, // a file orvel did not write holds the place: left as it is
    Failed,
};

struct CompanionResult
{
    CompanionOutcome outcome = CompanionOutcome::Failed;
    QString reason; // for UsersFile and Failed
};

// True when the file at `to` is one orvel wrote for `from`: a regular file (no link) that
// carries its source's modification time, as every copy orvel writes does. FAT and exFAT keep
// times to 2 s, so that much apart still counts.
bool IsOurCompanion(const QString& from, const QString& to);

// Writes the copy under a hidden name beside its place, stamps it with its source's time and
// renames it into place. A place held by a file orvel did not write is never replaced; one
// orvel wrote is replaced only when it differs in size from what would be written now (the
// shrink setting changed, or the source). With write false nothing is written: the outcome
// says what would happen.
CompanionResult CarryCompanion(const CompanionCopy& copy, bool write = true);
