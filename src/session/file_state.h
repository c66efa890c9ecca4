#pragma once

#include "run/run_result.h"

// What became of one source file of a session, from planning to the end of its run.
enum class FileState
{
    NotPlanned, // nothing planned (yet), or its plan was reset
    Planned,    // runs planned, not (yet) started
    LeftOut,    // must not run; `LeftOutCause` says why
    UpToDate,   // its result is newer than its source, and whole: not run again
    Queued,     // handed to the core, waiting for a slot or for its decoder's WAV
    Decoding,   // its decoder runs
    Coding,     // its coder runs
    Held,       // its result waits under its hidden name for the rest of its album
    Converted,  // its result is at its name and passed its check
    Failed,     // a run failed; `FailedRun` says which and how
    Stopped,    // the run was stopped before this file was converted
};

// Why a file is left out.
enum class LeftOutCause
{
    None,
    NoDecoder,     // no decoder reads it, and it is no WAV a coder could read
    OwnInput,      // its result would replace its own source
    OtherSource,   // its result would replace the source of another file
    SharedOutput,  // an earlier file writes the same result
    ResultExists,  // its result exists and replacing it was not allowed
    FolderNotMade, // its output folder cannot be created
    LossyToLossy,  // a lossy source is not encoded into another lossy format (a copy rule)
};

// A file's state and cause after news of one of its runs.
struct FileStateChange
{
    FileState state = FileState::NotPlanned;
    LeftOutCause cause = LeftOutCause::None;
};

// What one piece of news from the core makes of a file's state: its run started (`ended`
// null) or ended (or had its held result released). `isCoder` tells the coder from the
// decoder, `isLast` the run that writes the file's result (the coder, or a decoder alone).
// A final state (left out, up to date, converted, failed, stopped) stays as it is: the
// coder of a failed decoder is never started, and the decoder's failure says why.
FileStateChange StateAfter(const FileStateChange& current, bool isCoder, bool isLast,
                           const RunResult* ended);

// Left out, up to date, converted, failed or stopped: nothing of this run changes it any more.
bool IsFinal(FileState state);
