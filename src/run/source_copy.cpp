#include "run/source_copy.h"

#include "planning/job_planning.h"
#include "run/run_files.h"

#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

// How a failed copy is told: as a run that wrote no whole result, and why.
RunResult Failed(RunResult run, RunResult::Outcome outcome, const QString& why)
{
    run.outcome = outcome;
    run.errorOutput = why;
    return run;
}

} // namespace

RunResult CopySourceAsIs(IProcess* process, const QString& source, const QString& result)
{
    RunResult run;
    run.process = process;
    run.kind = 0;
    run.executable = u"copy"_s;
    run.inputFile = source;
    run.outputFile = result;
    const QString hidden = MakeTemporaryOutputName(result);
    if (hidden.isEmpty())
        return Failed(run, RunResult::Outcome::CouldNotStart,
                      u"error: no hidden name could be made beside the result"_s);
    QFile from(source);
    if (!from.copy(hidden)) {
        DeleteRunFile(hidden);
        return Failed(run, RunResult::Outcome::NoOutput, u"error: "_s + from.errorString());
    }
    // A full disk may leave a short file behind a copy that reported no error.
    if (QFileInfo(hidden).size() != QFileInfo(source).size()) {
        DeleteRunFile(hidden);
        return Failed(run, RunResult::Outcome::NoOutput,
                      u"error: the copy is shorter than its source"_s);
    }
    if (!PlaceOrDiscard(hidden, result))
        return Failed(run, RunResult::Outcome::NotPlaced,
                      u"error: the copy could not be moved to its name"_s);
    return run;
}
