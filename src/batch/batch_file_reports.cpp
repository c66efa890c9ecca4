// What orvel-batch tells of each file as the session follows it, and of the whole run at its
// end: the lines, the bar, the summary and the exit status.

#include "batch/batch_run.h"
#include "report/run_report.h"
#include "report/time_estimate.h"

#include <QCoreApplication>
#include <csignal>

using namespace Qt::StringLiterals;

namespace {

constexpr int kBarWidth = 30;

// A track of an album image is its image and its number.
QString SourceName(const CFileInfo& file)
{
    return file.track ? u"%1 (track %2)"_s.arg(file.path).arg(file.track->number) : file.path;
}

QString SignalName(int signal)
{
    switch (signal) {
    case SIGHUP:
        return u"SIGHUP"_s;
    case SIGINT:
        return u"SIGINT"_s;
    case SIGTERM:
        return u"SIGTERM"_s;
    default:
        return u"signal %1"_s.arg(signal);
    }
}

} // namespace

void CBatchRun::OnFileState(int index, FileState state)
{
    const CFileInfo& file = *session->File(index);
    switch (state) {
    case FileState::LeftOut:
        // Covers, playlists and notes beside the music are no sources.
        if (session->Cause(index) == LeftOutCause::NoDecoder && foundInFolders.contains(&file))
            ++tally.notAudio;
        else if (session->Cause(index) == LeftOutCause::ResultExists)
            Report(SourceName(file), session->Reason(index) + u" (--overwrite replaces it)"_s);
        else
            Report(SourceName(file), session->Reason(index));
        break;
    case FileState::UpToDate:
        ++tally.upToDate;
        break;
    case FileState::Converted:
        ++(session->IsCopy(index) ? tally.copied : tally.converted);
        if (librarySync)
            librarySync->RecordConverted(file);
        if (!terminal)
            out << (session->IsCopy(index) ? "copied: "
                    : Verified(index)      ? "converted, verified: "
                                           : "converted: ")
                << SourceName(file) << " -> " << file.PlannedResult() << '\n';
        ReportTagProblems(index);
        break;
    case FileState::Failed:
        ++tally.failed;
        ReportFailed(file, *session->FailedRun(index));
        break;
    case FileState::Stopped:
        ++tally.stopped;
        break;
    default:
        break;
    }
}

void CBatchRun::Report(const QString& path, const QString& reason)
{
    // Above the bar, which is drawn again on the next line.
    if (terminal && runMs >= 0)
        err << "\r\033[K";
    err << "left out: " << path << ": " << reason << '\n';
    ++tally.leftOut;
    if (runMs >= 0)
        ShowProgress(runMs);
}

void CBatchRun::ReportTagProblems(int index)
{
    const RunResult* run = session->ResultRun(index);
    if (run && !run->tagError.isEmpty())
        err << "warning: " << SourceName(*session->File(index)) << ": " << run->tagError << '\n';
}

bool CBatchRun::Verified(int index) const
{
    const RunResult* run = session->ResultRun(index);
    return run && run->verified;
}

void CBatchRun::ReportFailed(const CFileInfo& file, const RunResult& run)
{
    if (terminal)
        err << "\r\033[K";
    // One line per file: the run that failed first says why (a coder whose decoder failed
    // was never started).
    err << "FAILED: " << RunReport::Failure(run, SourceName(file), englishTexts) << '\n';
    // A --jobs line shows what the program said only when it failed.
    if (oneJob && !run.errorOutput.isEmpty())
        err << run.errorOutput << '\n';
    if (runMs >= 0)
        ShowProgress(runMs);
}

void CBatchRun::PrintSummary(qint64 elapsedMs, int stopSignal)
{
    if (stopSignal != 0)
        out << "stopped by " << SignalName(stopSignal) << ": ";
    if (oneJob && stopSignal == 0)
        return;
    out << tally.converted << " converted, ";
    if (tally.copied > 0)
        out << tally.copied << " copied, ";
    out << tally.failed << " failed, " << tally.leftOut << " left out, " << tally.upToDate
        << " up to date, " << tally.notAudio << " not audio";
    if (tally.stopped > 0)
        out << ", " << tally.stopped << " not converted";
    if (!syncFolder.isEmpty())
        out << ", " << tally.moved << " moved, " << tally.removed << " removed, " << tally.kept
            << " kept, " << tally.leftAlone << " left alone";
    out << ", in " << FormatDuration(elapsedMs) << '\n';
    out.flush();
}

int CBatchRun::ExitStatus(int stopSignal) const
{
    if (stopSignal != 0)
        return 128 + stopSignal;
    return tally.failed + tally.leftOut > 0 ? kSomeFailed : kAllConverted;
}

void CBatchRun::ShowProgress(qint64 elapsed)
{
    if (!terminal)
        return;
    const AudioProgress progress = session->Progress();
    const double share =
        progress.totalMs > 0 ? double(progress.doneMs) / double(progress.totalMs) : 1.0;
    const int filled = qBound(0, int(share * kBarWidth), kBarWidth);
    err << "\r[" << QString(filled, u'#') << QString(kBarWidth - filled, u'.') << "] "
        << int(share * 100.0) << "%  "
        << TimeStatusText(u"elapsed"_s, u"left"_s, u"estimating"_s, elapsed, progress) << Qt::flush;
}
