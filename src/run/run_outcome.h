#pragma once

#include "run/run_result.h"

// What is known of a run once its program has ended, gathered in the order the worker learns it;
// the later facts are looked at only while the run still counts as a success.
struct RunFacts
{
    bool stopped = false; // Stop asked for it to end (before or after it started)
    bool started = true;  // the program was created
    int startError = 0;   // why it was not (the system's error number, 0 when unknown)

    enum class Exit
    {
        Exited,
        Signaled,
        Unknown // the wait failed: nobody knows how it ended
    };
    Exit exit = Exit::Exited;
    int code = 0; // exit code, or the signal's number

    bool hidden = false;      // written under a hidden name beside its result
    bool wroteOutput = true;  // the output (or its stand-in) was created or changed
    bool diskFull = false;    // the output's file system was found full
    bool checked = false;     // the result was read back ...
    bool checkPassed = true;  // ... and held audio as long as its input
    bool verifyPassed = true; // decoded again, it gave the coder's samples back (or was not)
    bool placed = true;       // moved from its hidden name to its own (or had none)
};

struct RunVerdict
{
    RunResult::Outcome outcome = RunResult::Outcome::Exited;
    int code = 0;
    // What the program wrote is no result and goes, though it may look like one.
    bool discardOutput = false;

    bool Succeeded() const { return outcome == RunResult::Outcome::Exited && code == 0; }
};

// How the run ended: a stop before anything else, then how the program ended, then whether it
// left a whole result. Exit code 0 is no proof of work.
RunVerdict DecideOutcome(const RunFacts& facts);
