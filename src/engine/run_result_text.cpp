#include "engine/run_result_text.h"

using namespace Qt::StringLiterals;

namespace {

// What a shell, and the shipped coder and decoder scripts, answer for a program they cannot find.
constexpr int kCommandNotFound = 127;

} // namespace

QString RunOutcomeText(const RunResult& run)
{
    switch (run.outcome) {
    case RunResult::Outcome::Exited:
        if (run.code == kCommandNotFound) {
            // The shipped scripts say here which package to install.
            const QString said = run.LastErrorLine().trimmed();
            return u"exit code 127: "_s +
                   (said.isEmpty() ? u"its program is not installed"_s : said);
        }
        return u"exit code %1"_s.arg(run.code);
    case RunResult::Outcome::Signaled:
        return u"ended by signal %1"_s.arg(run.code);
    case RunResult::Outcome::CouldNotStart:
        return u"could not be started"_s;
    case RunResult::Outcome::DecoderFailed:
        return u"not started: its decoder failed"_s;
    case RunResult::Outcome::OwnInput:
        return u"left out: it would overwrite its own input"_s;
    case RunResult::Outcome::OtherSource:
        return u"left out: it would overwrite another job's source"_s;
    case RunResult::Outcome::SharedOutput:
        return u"left out: an earlier job writes the same file"_s;
    case RunResult::Outcome::NoOutput:
        return u"ended without writing all of its output"_s;
    case RunResult::Outcome::InvalidKind:
        return u"not a coder or decoder run"_s;
    case RunResult::Outcome::NotPlaced:
        return u"its result could not be moved to its name"_s;
    case RunResult::Outcome::Stopped:
        break;
    }
    return u"stopped"_s;
}
