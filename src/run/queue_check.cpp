#include "run/queue_check.h"

#include "codecs/codec.h"

#include <QHash>

QList<PlannedJob> JobsOfQueue(const QList<IProcess*>& queue)
{
    QList<PlannedJob> jobs;
    QHash<const CDecoder*, qsizetype> jobOfDecoder;
    for (IProcess* process : queue) {
        if (auto* decoder = dynamic_cast<CDecoder*>(process))
            jobOfDecoder.insert(decoder, -1);
    }
    for (IProcess* process : queue) {
        auto* coder = dynamic_cast<CCoder*>(process);
        auto* decoder = coder ? coder->decoder : dynamic_cast<CDecoder*>(process);
        if (!coder && !decoder)
            continue;
        if (!decoder || !jobOfDecoder.contains(decoder)) {
            jobs.append({nullptr, coder});
            continue;
        }
        qsizetype& index = jobOfDecoder[decoder];
        if (index < 0) {
            index = jobs.size();
            jobs.append({decoder, nullptr});
        }
        if (coder && !jobs[index].coder)
            jobs[index].coder = coder;
        else if (coder)
            jobs.append({nullptr, coder});
    }
    return jobs;
}

RunResult::Outcome LeftOutOutcome(LeftOutReason reason)
{
    switch (reason) {
    case LeftOutReason::OwnInput:
        return RunResult::Outcome::OwnInput;
    case LeftOutReason::OtherSource:
        return RunResult::Outcome::OtherSource;
    default:
        return RunResult::Outcome::SharedOutput;
    }
}

int FollowUpsOf(IProcess* process)
{
    if (auto* coder = dynamic_cast<CCoder*>(process))
        return coder->verification ? 1 : 0;
    if (auto* decoder = dynamic_cast<CDecoder*>(process))
        return decoder->limiter ? 1 : 0;
    return 0;
}
