#pragma once

#include "audio/result_check.h"
#include "tags/replay_gain.h"

#include <QString>
#include <orvel/icore.h>

// How one queued run ended, kept for the windows that report failures.
struct RunResult
{
    enum class Outcome
    {
        Exited,        // the program ended by itself; `code` is its exit code
        Signaled,      // the program was killed by a signal it did not get from Stop; `code`
        CouldNotStart, // the program could not be created
        DecoderFailed, // a coder not started because the decoder of its input failed
        OwnInput,      // left out: the run would write over the file it reads
        OtherSource,   // left out: the run would write over another job's source
        SharedOutput,  // left out: an earlier job writes the same result
        InvalidKind,   // neither a coder nor a decoder run
        Stopped,       // cut short (or never started) by Stop
        NoOutput,      // ended with exit code 0 but did not write (all of) its output file
        NotPlaced,     // the whole result could not be moved from its hidden name to its own
        BadResult,     // exit code 0, but the result failed its check (`check` says how)
        NotCut,        // an album image's tracks could not be cut from it (`errorOutput`: why)
        NotVerified,   // a lossless result decoded again did not give the coder's samples back
    };

    IProcess* process = nullptr; // identity only; the file records own the runs
    int kind = -1;
    QString executable;
    QString inputFile;
    QString outputFile;
    Outcome outcome = Outcome::Exited;
    int code = 0; // for CouldNotStart the system's error number (0 when unknown)
    // The last lines (at most kKeptErrorBytes) the program wrote to its standard error.
    QString errorOutput;
    // Why the result's tags could not be written; empty when they were (the audio stays).
    QString tagError;
    // What reading the result back found (BadResult).
    ResultCheck check;
    // The result waits under its hidden name for its album's values: not yet at its name.
    bool held = false;
    // A lossless result decoded again gave back the very samples its coder read.
    bool verified = false;

    static constexpr int kKeptErrorBytes = 4096;

    // The line of errorOutput that says best what went wrong: the last that names an error or
    // a failure, else the last that holds more than blanks; empty when there is none.
    QString LastErrorLine() const;

    // Stopped runs are not failures: the user asked for them to end.
    bool Failed() const
    {
        return outcome != Outcome::Stopped && !(outcome == Outcome::Exited && code == 0);
    }
};

// What the core does with a coder's result beyond running the program.
struct ResultOptions
{
    // The source's tags and pictures are copied to the result once the coder has succeeded.
    bool copyTags = true;
    // The coder writes under a hidden name beside its result, renamed into place only once
    // the run and the tag copy have succeeded: no partial result ever carries the final name,
    // and a failed run leaves an older result as it was.
    bool atomicOutputs = true;
    // Measured from the WAV each coder reads, while it reads it; album values hold the
    // album's results under their hidden names until its last file has ended.
    ReplayGainMode replayGain = ReplayGainMode::Off;
    // Each result is read back before it counts (exists, not empty, as long as its input).
    // Only a benchmark that measures what the check costs turns it off.
    bool checkResults = true;
    // Above 0: embedded pictures go into results at most this many pixels a side, as baseline
    // JPEGs (small players show no other).
    int pictureMaxSide = 0;
};
