#include "run/run_outcome.h"

#include <gtest/gtest.h>

namespace {

using Outcome = RunResult::Outcome;
using Exit = RunFacts::Exit;

// Every way a run can end, from the facts its worker gathers, and what becomes of what it wrote.
TEST(RunOutcomeTest, TheFactsOfARunDecideHowItEnded)
{
    const auto facts = [](auto change) {
        RunFacts f;
        change(f);
        return f;
    };
    const struct
    {
        const char* name;
        RunFacts facts;
        Outcome outcome;
        int code;
        bool discard;
    } cases[] = {
        {"whole result", {}, Outcome::Exited, 0, false},
        {"exit code 2", facts([](RunFacts& f) { f.code = 2; }), Outcome::Exited, 2, true},
        {"exit code 2, nothing written, no hidden name",
         facts([](RunFacts& f) { f.code = 2, f.wroteOutput = false; }), Outcome::Exited, 2, false},
        {"exit code 2, hidden name not written",
         facts([](RunFacts& f) { f.code = 2, f.wroteOutput = false, f.hidden = true; }),
         Outcome::Exited, 2, true},
        {"killed by a signal",
         facts([](RunFacts& f) { f.exit = Exit::Signaled, f.code = SIGSEGV; }), Outcome::Signaled,
         SIGSEGV, true},
        {"the wait failed", facts([](RunFacts& f) { f.exit = Exit::Unknown, f.code = 0; }),
         Outcome::Exited, -1, true},
        {"stopped while running", facts([](RunFacts& f) { f.stopped = true, f.code = 9; }),
         Outcome::Stopped, 9, true},
        {"stopped, though it would have failed",
         facts([](RunFacts& f) { f.stopped = true, f.exit = Exit::Signaled, f.diskFull = true; }),
         Outcome::Stopped, 0, true},
        {"stopped before it started",
         facts([](RunFacts& f) { f.stopped = true, f.started = false; }), Outcome::Stopped, 0,
         false},
        {"could not start", facts([](RunFacts& f) { f.started = false, f.startError = ENOENT; }),
         Outcome::CouldNotStart, ENOENT, false},
        {"exit 0 without output", facts([](RunFacts& f) { f.wroteOutput = false; }),
         Outcome::NoOutput, 0, false},
        {"exit 0 on a full disk", facts([](RunFacts& f) { f.diskFull = true; }), Outcome::NoOutput,
         0, true},
        {"exit 0, check failed",
         facts([](RunFacts& f) { f.checked = true, f.checkPassed = false; }), Outcome::BadResult, 0,
         true},
        {"exit 0, check passed", facts([](RunFacts& f) { f.checked = true; }), Outcome::Exited, 0,
         false},
        {"a failed exit is not read back",
         facts([](RunFacts& f) { f.code = 1, f.checked = true, f.checkPassed = false; }),
         Outcome::Exited, 1, true},
        // Moving it failed, and took the hidden file with it.
        {"not placed", facts([](RunFacts& f) { f.hidden = true, f.placed = false; }),
         Outcome::NotPlaced, 0, false},
        {"no output outweighs placement",
         facts([](RunFacts& f) { f.wroteOutput = false, f.placed = false; }), Outcome::NoOutput, 0,
         false},
    };
    for (const auto& c : cases) {
        const RunVerdict verdict = DecideOutcome(c.facts);
        EXPECT_EQ(verdict.outcome, c.outcome) << c.name;
        EXPECT_EQ(verdict.code, c.code) << c.name;
        EXPECT_EQ(verdict.discardOutput, c.discard) << c.name;
        EXPECT_EQ(verdict.Succeeded(), c.outcome == Outcome::Exited && c.code == 0) << c.name;
    }
}

} // namespace
