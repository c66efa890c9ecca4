#pragma once

#include "planning/planned_jobs.h"
#include "run/run_result.h"

#include <QList>

class IProcess;

// The queue as jobs, for the check that leaves out a job that would destroy a file of the batch:
// each coder with its decoder when that is queued too, in queue order.
QList<PlannedJob> JobsOfQueue(const QList<IProcess*>& queue);

// How a job left out for the reason is recorded.
RunResult::Outcome LeftOutOutcome(LeftOutReason reason);

// The programs a queued run brings along on its slot, each counted as a run of its own: sox
// after a decoder, the result's decoder after a lossless coder.
int FollowUpsOf(IProcess* process);
