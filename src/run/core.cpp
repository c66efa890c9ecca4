#include "run/core.h"

#include "foundation/os.h"
#include "planning/job_planning.h"
#include "run/active_run.h"
#include "run/album_gate.h"
#include "run/queue_check.h"
#include "run/run_files.h"

#include <algorithm>
#include <chrono>
#include <system_error>
#include <thread>

namespace {

bool IsFailure(RunResult::Outcome outcome, int code)
{
    return outcome != RunResult::Outcome::Exited || code != 0;
}

} // namespace

CCore::CCore() : idleMarker(std::make_unique<CCoder>()), albums(std::make_unique<CAlbumGate>())
{
}

CCore::~CCore()
{
    Stop();
    std::unique_lock lock(mutex);
    workersDone.wait(lock, [this] { return active.empty(); });
}

bool CCore::AddProcess(IProcess* process)
{
    if (!process)
        return false;
    std::lock_guard lock(mutex);
    queue.append(process);
    return true;
}

void CCore::ClearQueue()
{
    std::lock_guard lock(mutex);
    queue.clear();
}

bool CCore::Start()
{
    // A job that would destroy a file of the batch (its own input, another job's source, the
    // result of an earlier job) is never run. Finding those touches the file system, so it
    // happens before the lock is taken.
    QList<IProcess*> planned;
    {
        std::lock_guard lock(mutex);
        planned = queue;
    }
    const QList<PlannedJob> jobs = JobsOfQueue(planned);
    const QList<LeftOutReason> reasons = FindLeftOutJobs(jobs);

    std::lock_guard lock(mutex);
    ++generation;
    results.clear();
    failedInRun.clear();
    startedCount = 0;
    launchedCount = 0;
    running = true;
    if (threadsCount < 1)
        threadsCount = 1;
    if (slots.empty())
        ResizeSlots(threadsCount);
    for (qsizetype i = 0; i < jobs.size(); ++i) {
        if (reasons[i] != LeftOutReason::None)
            LeaveOut(jobs[i], reasons[i]);
    }
    totalCount = int(queue.size());
    for (IProcess* process : std::as_const(queue))
        totalCount += FollowUpsOf(process);
    albums->Begin(generation, resultOptions.replayGain == ReplayGainMode::TrackAndAlbum
                                  ? SourceFoldersOf(queue)
                                  : QStringList());

    LaunchStartable();
    EndRunIfIdle();
    return true;
}

void CCore::LeaveOut(const PlannedJob& job, LeftOutReason reason)
{
    const RunResult::Outcome outcome = LeftOutOutcome(reason);
    // The job's result is the coder's; its decoder goes with it, or its WAV would be left behind.
    IProcess* reported = job.coder ? static_cast<IProcess*>(job.coder) : job.decoder;
    if (CDecoder* decoder = job.coder ? job.coder->decoder : nullptr) {
        // An album image's decoder serves all its tracks: it no longer cuts this one's WAV,
        // and goes only with the last coder that reads from it.
        const QString wav = job.coder->GetTempFile();
        decoder->trackCuts.removeIf([&wav](const TrackCut& cut) { return cut.wav == wav; });
        if (!IsReadByOtherCoder(decoder, job.coder))
            queue.removeOne(decoder);
    }
    if (queue.contains(reported))
        DropFromQueue(reported, outcome, false);
}

bool CCore::IsReadByOtherCoder(const CDecoder* decoder, const CCoder* coder) const
{
    return std::any_of(queue.cbegin(), queue.cend(), [decoder, coder](IProcess* process) {
        auto* other = dynamic_cast<CCoder*>(process);
        return other && other != coder && other->decoder == decoder;
    });
}

bool CCore::TryStart(IProcess* process, ActiveRun** handoff)
{
    // Launched already and not finished: the same object never runs twice at once.
    if (FindActive(process))
        return false;

    const int kind = process->GetKind();
    if (kind == kCoderRun) {
        auto* coder = dynamic_cast<CCoder*>(process);
        IProcess* decoder = coder ? coder->decoder : nullptr;
        if (decoder) {
            // An image's track may start once its stretch has been cut from the decoder's WAV.
            const ActiveRun* decoding = FindActive(decoder);
            if (queue.contains(decoder) ||
                (decoding && !decoding->cutsReady.contains(coder->GetTempFile())))
                return false;
            if (failedInRun.contains(decoder)) {
                DropFromQueue(process, RunResult::Outcome::DecoderFailed, true);
                return false;
            }
        }
    } else if (kind != kDecoderRun) {
        DropFromQueue(process, RunResult::Outcome::InvalidKind, true);
        return false;
    }
    if (!HasFreeSlot())
        return false;
    return Launch(process, handoff);
}

bool CCore::Launch(IProcess* process, ActiveRun** handoff)
{
    auto run = std::make_unique<ActiveRun>();
    run->process = process;
    run->priorityClass = priorityClass;
    run->generation = generation;
    run->kind = process->GetKind();
    run->executable = process->GetExecutable();
    if (auto* codec = dynamic_cast<CCodec*>(process)) {
        run->inputFile = codec->GetInputFile();
        run->outputFile = codec->GetOutputFile();
        run->tempFile = codec->GetTempFile();
        run->showWindow = codec->GetShowWindow();
        auto* coder = dynamic_cast<CCoder*>(process);
        run->isCoder = coder != nullptr;
        // A coder reading its decoder's WAV takes its tags from the decoder's source.
        run->finish.sourceFile = coder ? SourceOf(*coder) : run->inputFile;
        run->finish.sourceFolder = AlbumFolderOf(run->finish.sourceFile);
        if (coder) {
            run->finish.fields = coder->tagFields;
            run->verification = coder->verification;
        }
        if (auto* decoder = dynamic_cast<CDecoder*>(process)) {
            run->trackCuts = decoder->trackCuts;
            run->cutOnly = !run->trackCuts.isEmpty() && run->executable.isEmpty();
            run->limiter = decoder->limiter;
        }
        run->followUps = FollowUpsOf(process);
    }
    run->options = resultOptions;
    run->writtenFile = run->outputFile;

    // The slot is held from launch on, so no more programs run than there are slots, and the
    // process leaves the queue at once, so no later walk launches it a second time.
    queue.removeOne(process);
    *std::find(slots.begin(), slots.end(), idleMarker.get()) = process;
    ++launchedCount;
    ActiveRun* raw = run.get();
    active.push_back(std::move(run));
    if (handoff && !*handoff) {
        *handoff = raw; // the calling worker runs it next: no thread to start and wake
        return true;
    }
    try {
        std::thread(&CCore::Work, this, raw).detach();
    } catch (const std::system_error&) {
        // No thread, no program: done and failed. The caller's walk goes on by itself.
        OnProcessFinished(raw, RunResult::Outcome::CouldNotStart, 0, false);
        return false;
    }
    return true;
}

void CCore::LaunchStartable(ActiveRun** handoff)
{
    // Walk a snapshot: TryStart takes processes out of the queue as it goes.
    const QList<IProcess*> waiting = queue;
    for (IProcess* process : waiting) {
        if (!HasFreeSlot())
            return;
        if (queue.contains(process))
            TryStart(process, handoff);
    }
}

void CCore::OnProcessFinished(ActiveRun* run, RunResult::Outcome outcome, int code, bool launchNext,
                              ActiveRun** handoff)
{
    Record(*run, outcome, code);
    if (run->generation == generation) {
        if (run->kind == kDecoderRun && IsFailure(outcome, code))
            failedInRun.append(run->process);
        // A program that never started still counts as done, so the progress completes; so
        // does a follow-up that its run did not come to.
        if (outcome != RunResult::Outcome::Stopped) {
            if (run->state == ActiveRun::State::Launching)
                ++startedCount;
            startedCount += std::max(0, run->followUps - run->followUpsCounted);
        }
    }
    if (run->slotHandedOn)
        --decodersWithoutSlot;
    else
        FreeSlot(run->process);
    active.erase(std::find_if(active.begin(), active.end(),
                              [run](const auto& item) { return item.get() == run; }));
    if (launchNext)
        LaunchStartable(handoff);
    EndRunIfIdle();
    if (active.empty())
        workersDone.notify_all();
}

bool CCore::Stop()
{
    // Waits for a program being created, which is then running and ended below.
    std::lock_guard launching(launchGate);
    std::lock_guard lock(mutex);
    startedCount = 0;
    launchedCount = 0;
    totalCount = 0;

    // A queued coder whose decoder has already run would leave its intermediate WAV behind.
    for (IProcess* process : std::as_const(queue)) {
        if (auto* coder = dynamic_cast<CCoder*>(process))
            DeleteRunFile(coder->GetTempFile());
    }
    queue.clear();

    bool allTerminated = true;
    for (const auto& run : active) {
        run->stopRequested = true;
        if (run->state != ActiveRun::State::Running)
            continue; // not created yet (its worker will not create it), or already ended
        if (!os::KillProcessGroup(run->pid)) {
            allTerminated = false;
            continue;
        }
        // What the run had written so far is no result; its worker deletes it once more
        // after the program is gone, in case it wrote on after this point.
        DeleteRunFile(run->writtenFile);
        if (run->isCoder)
            DeleteRunFile(run->tempFile);
    }
    if (allTerminated)
        running = false;
    // With no program running, no worker will say so.
    if (active.empty() && runChanged)
        runChanged(nullptr, nullptr);
    return allTerminated;
}

void CCore::SetPriority(quint32 newPriorityClass)
{
    std::lock_guard lock(mutex);
    priorityClass = newPriorityClass;
    for (const auto& run : active) {
        if (run->state == ActiveRun::State::Running)
            os::SetProcessGroupPriority(run->pid, priorityClass);
    }
}

double CCore::GetCpuUsage()
{
    std::lock_guard lock(mutex);
    double sum = 0.0;
    for (const auto& run : active) {
        if (run->state == ActiveRun::State::Running)
            sum += run->process->GetCpuUsage();
    }
    return std::clamp(sum / os::ProcessorCount(), 0.0, 100.0);
}

int CCore::GetStartedCount()
{
    std::lock_guard lock(mutex);
    return startedCount;
}

int CCore::GetLaunchedCount()
{
    std::lock_guard lock(mutex);
    return launchedCount;
}

int CCore::GetTotalCount()
{
    std::lock_guard lock(mutex);
    return running ? totalCount : int(queue.size());
}

bool CCore::IsRunning()
{
    std::lock_guard lock(mutex);
    return running;
}

void CCore::SetResultOptions(const ResultOptions& options)
{
    std::lock_guard lock(mutex);
    resultOptions = options;
}

ResultOptions CCore::GetResultOptions()
{
    std::lock_guard lock(mutex);
    return resultOptions;
}

QList<RunResult> CCore::GetRunResults()
{
    std::lock_guard lock(mutex);
    return results;
}

QList<RunResult> CCore::GetFailedRuns()
{
    std::lock_guard lock(mutex);
    QList<RunResult> failed;
    for (const RunResult& result : std::as_const(results)) {
        if (result.Failed())
            failed.append(result);
    }
    return failed;
}

int CCore::GetHeldResultCount()
{
    return albums->HeldCount();
}

bool CCore::WaitForWorkers(int timeoutMs)
{
    std::unique_lock lock(mutex);
    return workersDone.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                [this] { return active.empty(); });
}

CCore::ActiveRun* CCore::FindActive(IProcess* process) const
{
    for (const auto& run : active) {
        if (run->process == process)
            return run.get();
    }
    return nullptr;
}

void CCore::Record(const ActiveRun& run, RunResult::Outcome outcome, int code)
{
    if (run.generation != generation)
        return; // a straggler of a run that Start has since replaced
    RunResult result;
    result.process = run.process;
    result.kind = run.kind;
    result.executable = run.executable;
    result.inputFile = run.inputFile;
    result.outputFile = run.outputFile;
    result.outcome = outcome;
    result.code = code;
    result.errorOutput = run.errorOutput;
    result.tagError = run.finish.tagError;
    result.check = run.check;
    result.held = run.finish.held;
    result.verified = run.verified;
    results.append(result);
    if (runChanged)
        runChanged(result.process, &std::as_const(results).last());
}

void CCore::DropFromQueue(IProcess* process, RunResult::Outcome outcome, bool countAsDone)
{
    queue.removeOne(process);
    ActiveRun info;
    info.process = process;
    info.generation = generation;
    info.kind = process->GetKind();
    info.executable = process->GetExecutable();
    if (auto* codec = dynamic_cast<CCodec*>(process)) {
        info.inputFile = codec->GetInputFile();
        info.outputFile = codec->GetOutputFile();
    }
    Record(info, outcome, 0);
    if (info.kind == kDecoderRun)
        failedInRun.append(process);
    if (auto* coder = dynamic_cast<CCoder*>(process)) {
        DeleteRunFile(coder->GetTempFile());
        SettleAlbumUnrun(*coder);
    }
    if (countAsDone)
        ++startedCount;
}

void CCore::EndRunIfIdle()
{
    if (!queue.isEmpty() || !active.empty())
        return;
    const bool wasRunning = running;
    running = false;
    // Albums that can no longer complete (a file of theirs never ran, or the run was stopped)
    // go to their names with track values only; moving them takes no time.
    const CReleasedResults left = albums->TakeAll();
    NoteRelease(left, ReleaseResults(left), nullptr, nullptr);
    // Told once per run; after a Stop the windows know already.
    if (wasRunning && runEnded)
        runEnded();
    if (runChanged)
        runChanged(nullptr, nullptr);
}

void CCore::SetRunEndedCallback(std::function<void()> callback)
{
    std::lock_guard lock(mutex);
    runEnded = std::move(callback);
}

void CCore::SetRunChangedCallback(RunChangedCallback callback)
{
    std::lock_guard lock(mutex);
    runChanged = std::move(callback);
}
