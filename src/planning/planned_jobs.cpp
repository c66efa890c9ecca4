#include "planning/planned_jobs.h"

#include "audio/result_check.h"
#include "foundation/os.h"
#include "planning/file_info.h"
#include "planning/job_planning.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStringList>
#include <algorithm>
#include <filesystem>

namespace {

// The file the job's runs start from: the decoder's source, or the coder's input when no
// decoder writes it.
QString SourceOf(const PlannedJob& job)
{
    CDecoder* decoder = job.decoder ? job.decoder : job.coder ? job.coder->decoder : nullptr;
    if (decoder)
        return ResolvedPath(decoder->GetInputFile());
    return job.coder ? ResolvedPath(job.coder->GetInputFile()) : QString();
}

QStringList OutputsOf(const PlannedJob& job)
{
    QStringList outputs;
    for (CCodec* run : {static_cast<CCodec*>(job.decoder), static_cast<CCodec*>(job.coder)}) {
        if (run && !run->GetOutputFile().isEmpty())
            outputs.append(ResolvedPath(run->GetOutputFile()));
    }
    outputs.removeDuplicates();
    return outputs;
}

bool JobWritesOwnInput(const PlannedJob& job)
{
    return WritesOwnInput(job.decoder) || WritesOwnInput(job.coder);
}

// Up to date: a result that is a file of its own (a link is only a place), newer than its
// source, and whole by the check a fresh result must pass.
bool IsResultUpToDate(const PlannedJob& job)
{
    if (!job.decoder && !job.coder)
        return false;
    CCodec* source = job.decoder ? static_cast<CCodec*>(job.decoder) : job.coder;
    CCodec* result = job.coder ? static_cast<CCodec*>(job.coder) : job.decoder;
    const std::filesystem::path sourcePath(os::SystemName(source->GetInputFile()).toStdString());
    const std::filesystem::path resultPath(os::SystemName(result->GetOutputFile()).toStdString());
    // std::filesystem, not QFileInfo: its times need no local-time conversion.
    std::error_code error;
    if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(resultPath, error)) ||
        std::filesystem::file_size(resultPath, error) == 0 || error)
        return false;
    const auto resultTime = std::filesystem::last_write_time(resultPath, error);
    if (error)
        return false;
    const auto sourceTime = std::filesystem::last_write_time(sourcePath, error);
    if (error || resultTime <= sourceTime)
        return false;
    // A track's result is as long as the track, not as its image.
    const qint64 expectedMs = job.coder && job.coder->expectedMs >= 0
                                  ? job.coder->expectedMs
                                  : StreamDurationMs(source->GetInputFile());
    return CheckResult(result->GetOutputFile(), expectedMs).Passed();
}

// A link at the result's place counts, even one that points nowhere: the run replaces it.
bool ReplacesAFile(const PlannedJob& job)
{
    for (CCodec* run : {static_cast<CCodec*>(job.decoder), static_cast<CCodec*>(job.coder)}) {
        if (!run || run->GetOutputFile().isEmpty())
            continue;
        const QFileInfo output(run->GetOutputFile());
        if (output.exists() || output.isSymLink())
            return true;
    }
    return false;
}

} // namespace

PlannedJob JobOf(const CFileInfo& file)
{
    return {file.decoder.get(), file.coder.get()};
}

QList<LeftOutReason> FindLeftOutJobs(const QList<PlannedJob>& jobs)
{
    QHash<QString, QSet<qsizetype>> readers;
    for (qsizetype i = 0; i < jobs.size(); ++i) {
        const QString source = SourceOf(jobs[i]);
        if (!source.isEmpty())
            readers[source].insert(i);
    }

    QList<LeftOutReason> reasons;
    QSet<QString> written; // by the jobs that run
    for (qsizetype i = 0; i < jobs.size(); ++i) {
        const QStringList outputs = OutputsOf(jobs[i]);
        LeftOutReason reason = LeftOutReason::None;
        if (JobWritesOwnInput(jobs[i])) {
            reason = LeftOutReason::OwnInput;
        } else {
            for (const QString& output : outputs) {
                const QSet<qsizetype> readBy = readers.value(output);
                if (readBy.size() > 1 || (readBy.size() == 1 && !readBy.contains(i))) {
                    reason = LeftOutReason::OtherSource;
                    break;
                }
                if (written.contains(output))
                    reason = LeftOutReason::SharedOutput;
            }
        }
        if (reason == LeftOutReason::None) {
            for (const QString& output : outputs)
                written.insert(output);
        }
        reasons.append(reason);
    }
    return reasons;
}

StartSorting SortJobsForStart(const QList<PlannedJob>& jobs, const QList<bool>& wanted,
                              bool skipUpToDate)
{
    StartSorting sorting;
    sorting.reasons = FindLeftOutJobs(jobs);
    for (qsizetype i = 0; i < jobs.size(); ++i) {
        if (!wanted.isEmpty() && !wanted[i])
            continue;
        if (sorting.reasons[i] != LeftOutReason::None)
            sorting.leftOut << i;
        else if (skipUpToDate && IsResultUpToDate(jobs[i]))
            sorting.upToDate << i;
        else if (ReplacesAFile(jobs[i]))
            sorting.replacing << i;
    }
    return sorting;
}

QSet<qsizetype> StartSorting::NotRun(bool replacingAllowed) const
{
    QSet<qsizetype> notRun(leftOut.cbegin(), leftOut.cend());
    notRun.unite(QSet<qsizetype>(upToDate.cbegin(), upToDate.cend()));
    if (!replacingAllowed)
        notRun.unite(QSet<qsizetype>(replacing.cbegin(), replacing.cend()));
    return notRun;
}
