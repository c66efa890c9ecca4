#include "engine/planned_jobs.h"

#include "engine/file_info.h"
#include "engine/job_planning.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStringList>

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

QList<qsizetype> FindJobsReplacingFiles(const QList<PlannedJob>& jobs)
{
    QList<qsizetype> replacing;
    for (qsizetype i = 0; i < jobs.size(); ++i) {
        for (const QString& output : OutputsOf(jobs[i])) {
            if (QFileInfo::exists(output)) {
                replacing.append(i);
                break;
            }
        }
    }
    return replacing;
}
