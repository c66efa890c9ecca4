#include "run/run_outcome.h"

namespace {

RunVerdict Failed(RunResult::Outcome outcome, int code, const RunFacts& facts)
{
    return {outcome, code, facts.wroteOutput || facts.hidden};
}

} // namespace

RunVerdict DecideOutcome(const RunFacts& facts)
{
    using Outcome = RunResult::Outcome;
    if (facts.stopped)
        return {Outcome::Stopped, facts.started ? facts.code : 0, facts.started};
    if (!facts.started)
        return {Outcome::CouldNotStart, facts.startError, false};
    if (facts.exit == RunFacts::Exit::Signaled)
        return Failed(Outcome::Signaled, facts.code, facts);
    if (facts.exit == RunFacts::Exit::Unknown)
        return Failed(Outcome::Exited, -1, facts);
    if (facts.code != 0)
        return Failed(Outcome::Exited, facts.code, facts);
    // Some decoders stop half-way on a full disk and still exit with 0.
    if (!facts.wroteOutput || facts.diskFull)
        return Failed(Outcome::NoOutput, 0, facts);
    if (facts.checked && !facts.checkPassed)
        return Failed(Outcome::BadResult, 0, facts);
    if (!facts.verifyPassed)
        return Failed(Outcome::NotVerified, 0, facts);
    // A result that could not be moved to its name is already gone.
    if (!facts.placed)
        return {Outcome::NotPlaced, 0, false};
    return {Outcome::Exited, 0, false};
}
