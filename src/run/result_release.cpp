// What the core notes of results released from their album's wait: their records say where
// they are now, and what went wrong on the way.

#include "codecs/codec.h"
#include "run/active_run.h"
#include "run/album_gate.h"
#include "run/core.h"
#include "tags/tag_copy.h"

using namespace Qt::StringLiterals;

namespace {

void AppendLine(QString& text, const QString& line)
{
    text += (text.isEmpty() ? u""_s : u"\n"_s) + line;
}

} // namespace

void CCore::SettleAlbum(ActiveRun& run, RunResult::Outcome& outcome)
{
    if (!run.isCoder || run.options.replayGain != ReplayGainMode::TrackAndAlbum)
        return;
    CResultFinish& finish = run.finish;
    std::optional<CHeldResult> held;
    if (finish.held)
        held = CHeldResult{run.process,    finish.sourceFile, run.writtenFile,
                           run.outputFile, finish.album,      std::move(finish.meter.loudness)};
    // A file that failed, or that the meter could not read, still ends its folder's wait, and
    // takes the album values from its own album only: the folder may hold others.
    const QString failedAlbum = held ? QString() : ReadAlbumTitle(finish.sourceFile);
    const CReleasedResults released =
        albums->Account(run.generation, finish.sourceFolder, std::move(held), failedAlbum);
    if (released.results.empty())
        return;
    // The album's tags are written in this run's slot, before it frees it.
    const QList<CReleaseFailure> failures = ReleaseResults(released);
    std::lock_guard lock(mutex);
    NoteRelease(released, failures, &run, &outcome);
}

void CCore::SettleAlbumUnrun(CCoder& coder)
{
    if (resultOptions.replayGain != ReplayGainMode::TrackAndAlbum)
        return;
    const QString source = SourceOf(coder);
    const CReleasedResults released =
        albums->Account(generation, AlbumFolderOf(source), std::nullopt, ReadAlbumTitle(source));
    // Its folder's other files have ended: their album is tagged now, under the lock as the
    // run's end does, since no slot of its own is left to do it in.
    if (!released.results.empty())
        NoteRelease(released, ReleaseResults(released), nullptr, nullptr);
}

void CCore::NoteRelease(const CReleasedResults& released, const QList<CReleaseFailure>& failures,
                        ActiveRun* own, RunResult::Outcome* outcome)
{
    for (const CHeldResult& result : released.results) {
        if (own && result.process == own->process)
            own->finish.held = false;
        for (RunResult& record : results) {
            if (record.process == result.process)
                record.held = false;
        }
    }
    NoteReleaseFailures(failures, own, outcome);
    if (!runChanged)
        return;
    for (const CHeldResult& result : released.results) {
        for (const RunResult& record : std::as_const(results)) {
            if (record.process == result.process)
                runChanged(record.process, &record);
        }
    }
}

void CCore::NoteReleaseFailures(const QList<CReleaseFailure>& failures, ActiveRun* own,
                                RunResult::Outcome* outcome)
{
    for (const CReleaseFailure& failure : failures) {
        QString* tagError = nullptr;
        RunResult::Outcome* failed = nullptr;
        if (own && failure.process == own->process) {
            tagError = &own->finish.tagError;
            failed = outcome;
        } else {
            // The others' runs have ended already: their records take the news.
            for (RunResult& result : results) {
                if (result.process == failure.process) {
                    tagError = &result.tagError;
                    failed = &result.outcome;
                }
            }
        }
        if (!tagError)
            continue;
        if (failure.placed)
            AppendLine(*tagError, failure.reason);
        else
            *failed = RunResult::Outcome::NotPlaced;
    }
}
