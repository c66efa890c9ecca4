#include "run/core.h"

#include "foundation/os.h"
#include "loudness/loudness.h"
#include "planning/job_planning.h"
#include "planning/planned_jobs.h"
#include "run/album_gate.h"
#include "run/run_files.h"
#include "tags/replay_gain.h"
#include "tags/tag_copy.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

bool IsFailure(RunResult::Outcome outcome, int code)
{
    return outcome != RunResult::Outcome::Exited || code != 0;
}

// The file whose tags and album a coder's result takes: its decoder's source, else its input.
QString SourceOf(CCoder& coder)
{
    return coder.decoder ? coder.decoder->GetInputFile() : coder.GetInputFile();
}

QString FolderOf(const QString& path)
{
    return QFileInfo(path).absolutePath();
}

// The source folder of every queued coder: the albums whose ends the core waits for.
QStringList SourceFoldersOf(const QList<IProcess*>& queue)
{
    QStringList folders;
    for (IProcess* process : queue) {
        if (auto* coder = dynamic_cast<CCoder*>(process))
            folders.append(FolderOf(SourceOf(*coder)));
    }
    return folders;
}

// The queue as jobs: each coder with its decoder when that is queued too, in queue order.
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

} // namespace

// One launched program, from its launch until its worker has finished with it.
struct CCore::ActiveRun
{
    enum class State
    {
        Launching,
        Running,
        Ended
    };

    IProcess* process = nullptr;
    quint32 priorityClass = kPriorityNormal;
    quint64 generation = 0;
    int kind = -1;
    bool isCoder = false;
    QString executable;
    QString inputFile;
    QString outputFile;
    QString tempFile;
    QString sourceFile;  // the file whose tags the result gets
    QString writtenFile; // what the program writes: the output or its hidden stand-in
    bool showWindow = true;
    ResultOptions options;
    QString errorOutput;
    QString tagError;
    ResultCheck check;
    QString sourceFolder; // the album's folder
    QString album;        // the source's album title
    bool measured = false;
    bool held = false; // kept under its hidden name until its album is complete
    CTrackLoudness loudness;
    QString loudnessError;

    State state = State::Launching;
    qint64 pid = 0;
    bool stopRequested = false;
};

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
    albums->Begin(generation, resultOptions.replayGain == ReplayGainMode::TrackAndAlbum
                                  ? SourceFoldersOf(queue)
                                  : QStringList());

    LaunchStartable();
    EndRunIfIdle();
    return true;
}

void CCore::LeaveOut(const PlannedJob& job, LeftOutReason reason)
{
    const RunResult::Outcome outcome =
        reason == LeftOutReason::OwnInput      ? RunResult::Outcome::OwnInput
        : reason == LeftOutReason::OtherSource ? RunResult::Outcome::OtherSource
                                               : RunResult::Outcome::SharedOutput;
    // The job's result is the coder's; its decoder goes with it, or its WAV would be left behind.
    IProcess* reported = job.coder ? static_cast<IProcess*>(job.coder) : job.decoder;
    if (job.coder && job.decoder)
        queue.removeOne(job.decoder);
    if (queue.contains(reported))
        DropFromQueue(reported, outcome, false);
}

bool CCore::TryStart(IProcess* process, ActiveRun** handoff)
{
    // Launched already and not finished: the same object never runs twice at once.
    if (FindActive(process))
        return false;

    const int kind = process->GetKind();
    if (kind == 0) {
        auto* coder = dynamic_cast<CCoder*>(process);
        IProcess* decoder = coder ? coder->decoder : nullptr;
        if (decoder) {
            if (queue.contains(decoder) || FindActive(decoder))
                return false;
            if (failedInRun.contains(decoder)) {
                DropFromQueue(process, RunResult::Outcome::DecoderFailed, true);
                return false;
            }
        }
    } else if (kind != 1) {
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
        run->sourceFile = coder ? SourceOf(*coder) : run->inputFile;
        run->sourceFolder = FolderOf(run->sourceFile);
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

void CCore::Work(ActiveRun* run)
{
    // Once RunProcess hands back nothing, the core may already be gone: touch nothing.
    while (run)
        run = RunProcess(run);
}

CCore::ActiveRun* CCore::RunProcess(ActiveRun* run)
{
    ActiveRun* next = nullptr;
    auto* ownProcess = dynamic_cast<CProcess*>(run->process);
    QString hiddenOutput;
    if (ownProcess && run->isCoder && run->options.atomicOutputs &&
        CanWriteUnderHiddenName(run->outputFile))
        hiddenOutput = MakeTemporaryOutputName(run->outputFile);
    else if (ownProcess && IsLink(run->outputFile))
        QFile::remove(run->outputFile); // written directly: the link goes, not its target
    const FileStamp outputBefore = StampOf(run->outputFile);
    // Read now: a coder's WAV is gone once the coder has ended.
    const qint64 expectedMs =
        ownProcess && run->options.checkResults ? StreamDurationMs(run->inputFile) : -1;
    bool stoppedBeforeStart = false;
    qint64 pid = 0;
    int startError = 0;
    int errorPipe = -1;
    {
        // The gate is released before OnProcessFinished: after that call the core may be gone.
        std::lock_guard launching(launchGate);
        {
            std::lock_guard lock(mutex);
            stoppedBeforeStart = run->stopRequested;
        }
        if (!stoppedBeforeStart) {
            // The program is created without the lock, so the windows never wait for it.
            bool created = false;
            bool redirected = false;
            if (ownProcess) {
                const CProcess::StartResult started = ownProcess->StartWith(
                    run->priorityClass, {run->outputFile, hiddenOutput, true});
                created = started.created;
                startError = started.error;
                errorPipe = started.errorPipe;
                redirected = started.redirected;
            } else {
                created = run->process->Start(run->priorityClass);
            }
            pid = created ? qint64(run->process->GetProcessInformation().processId) : 0;
            if (pid > 0) {
                std::lock_guard lock(mutex);
                // A template that does not name its output as one argument writes it directly.
                if (redirected)
                    run->writtenFile = hiddenOutput;
                TakeSlot(run, pid);
            }
        }
    }
    if (stoppedBeforeStart) {
        std::lock_guard lock(mutex);
        // Its decoder may have written the WAV already; no coder will read it now.
        if (run->isCoder)
            DeleteRunFile(run->tempFile);
        OnProcessFinished(run, RunResult::Outcome::Stopped, 0, true, &next);
        return next;
    }
    if (pid <= 0) {
        std::lock_guard lock(mutex);
        if (run->isCoder)
            DeleteRunFile(run->tempFile); // its input is of no use to anybody now
        OnProcessFinished(run, RunResult::Outcome::CouldNotStart, startError, true, &next);
        return next;
    }

    CLoudnessThread measuring;
    if (run->isCoder && run->options.replayGain != ReplayGainMode::Off)
        measuring.Start(run->inputFile);
    // Read until the program ends; a program that fills the pipe would otherwise stall.
    CErrorTail errors(run->showWindow);
    os::ReadUntilExit(pid, errorPipe, [&errors](const QByteArray& bytes) { errors.Add(bytes); });
    run->errorOutput = errors.Lines();
    // The user knows the result by its own name, not by the hidden one it is written under.
    if (!hiddenOutput.isEmpty())
        run->errorOutput.replace(hiddenOutput, run->outputFile);
    const bool waited = os::WaitForExitWithoutReaping(pid);
    bool stopped = false;
    {
        // Once marked ended, Stop leaves the pid alone: it is about to be reaped and reused.
        std::lock_guard lock(mutex);
        run->state = ActiveRun::State::Ended;
        stopped = run->stopRequested;
    }
    const os::ExitStatus status =
        waited ? os::ReapProcess(pid) : os::ExitStatus{os::ExitStatus::Kind::Unknown, -1};
    if (measuring.Started())
        run->measured = measuring.Finish(stopped, run->loudness, run->loudnessError);

    // The run's own files are cleaned up before its slot is freed, so a run that has ended
    // has left nothing behind.
    if (run->isCoder)
        DeleteRunFile(run->tempFile);
    if (stopped)
        DeleteRunFile(run->writtenFile);

    RunResult::Outcome outcome = RunResult::Outcome::Exited;
    int code = status.code;
    if (stopped) {
        outcome = RunResult::Outcome::Stopped;
    } else if (status.kind == os::ExitStatus::Kind::Signaled) {
        outcome = RunResult::Outcome::Signaled;
    } else if (status.kind == os::ExitStatus::Kind::Unknown) {
        code = -1;
    }
    if (!stopped) {
        const bool hidden = run->writtenFile != run->outputFile;
        const bool wrote = WroteOutput(run->writtenFile, hidden ? FileStamp() : outputBefore);
        // Exit code 0 is no proof of work: a result that is not there, or that filled the
        // disk (where some decoders stop half-way and still exit with 0), is a failure.
        const bool full =
            wrote && !run->writtenFile.isEmpty() && os::FileSystemIsFull(run->writtenFile);
        if (!IsFailure(outcome, code) && (!wrote || full))
            outcome = RunResult::Outcome::NoOutput;
        if (!IsFailure(outcome, code) && ownProcess && run->options.checkResults &&
            !run->writtenFile.isEmpty()) {
            run->check = CheckResult(run->writtenFile, expectedMs);
            if (!run->check.Passed())
                outcome = RunResult::Outcome::BadResult;
        }
        // What a failed program wrote is no result, though it may look like one.
        if (IsFailure(outcome, code) && (wrote || hidden))
            DeleteRunFile(run->writtenFile);
        if (!IsFailure(outcome, code))
            FinishResult(*run, outcome);
    }
    SettleAlbum(*run, outcome);
    std::lock_guard lock(mutex);
    OnProcessFinished(run, outcome, code, true, &next);
    return next;
}

void CCore::FinishResult(ActiveRun& run, RunResult::Outcome& outcome)
{
    if (!run.isCoder)
        return;
    const ReplayGainValues gains = ReplayGainValuesOf(run.loudness);
    // A failed tag copy is reported; the audio is still the result.
    const QString tagSource = run.options.copyTags ? run.sourceFile : QString();
    if (!tagSource.isEmpty() || run.measured)
        CopyTags(tagSource, run.writtenFile, &run.tagError, run.measured ? &gains : nullptr);
    if (!run.loudnessError.isEmpty())
        run.tagError += (run.tagError.isEmpty() ? u""_s : u"\n"_s) + run.loudnessError;
    if (run.measured && run.options.replayGain == ReplayGainMode::TrackAndAlbum) {
        run.album = ReadAlbumTitle(run.sourceFile);
        run.held = true;
        return;
    }
    if (run.writtenFile == run.outputFile)
        return;
    if (!PlaceResult(run.writtenFile, run.outputFile)) {
        DeleteRunFile(run.writtenFile);
        outcome = RunResult::Outcome::NotPlaced;
    }
}

void CCore::SettleAlbum(ActiveRun& run, RunResult::Outcome& outcome)
{
    if (!run.isCoder || run.options.replayGain != ReplayGainMode::TrackAndAlbum)
        return;
    std::optional<CHeldResult> held;
    if (run.held)
        held = CHeldResult{run.process,    run.sourceFile, run.writtenFile,
                           run.outputFile, run.album,      std::move(run.loudness)};
    // A file that failed, or that the meter could not read, still ends its folder's wait.
    const CReleasedResults released =
        albums->Account(run.generation, run.sourceFolder, std::move(held));
    if (released.results.empty())
        return;
    // The album's tags are written in this run's slot, before it frees it.
    const QList<CReleaseFailure> failures = ReleaseResults(released);
    std::lock_guard lock(mutex);
    NoteRelease(released, failures, &run, &outcome);
}

void CCore::NoteRelease(const CReleasedResults& released, const QList<CReleaseFailure>& failures,
                        ActiveRun* own, RunResult::Outcome* outcome)
{
    for (const CHeldResult& result : released.results) {
        if (own && result.process == own->process)
            own->held = false;
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
            tagError = &own->tagError;
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
            *tagError += (tagError->isEmpty() ? u""_s : u"\n"_s) + failure.reason;
        else
            *failed = RunResult::Outcome::NotPlaced;
    }
}

void CCore::TakeSlot(ActiveRun* run, qint64 pid)
{
    run->pid = pid;
    run->state = ActiveRun::State::Running;
    if (run->generation == generation) {
        ++startedCount;
        if (runChanged)
            runChanged(run->process, nullptr);
    }
    if (run->stopRequested) {
        // Stop came while the program was being created: end it before it gets far.
        os::KillProcessGroup(pid);
        return;
    }
    if (run->priorityClass != priorityClass)
        os::SetProcessGroupPriority(pid, priorityClass);
}

void CCore::OnProcessFinished(ActiveRun* run, RunResult::Outcome outcome, int code, bool launchNext,
                              ActiveRun** handoff)
{
    Record(*run, outcome, code);
    if (run->generation == generation) {
        if (run->kind == 1 && IsFailure(outcome, code))
            failedInRun.append(run->process);
        // A program that never started still counts as done, so the progress completes.
        if (run->state == ActiveRun::State::Launching && outcome != RunResult::Outcome::Stopped)
            ++startedCount;
    }
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

void CCore::SetThreadsCount(int count)
{
    std::lock_guard lock(mutex);
    if (running)
        return;
    // No slot at all would leave a started run waiting forever; a count no machine has would
    // take all memory for slots.
    threadsCount = std::clamp(count, 1, kMaxThreadsCount);
    ResizeSlots(threadsCount);
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

void CCore::GetRunningProcesses(QList<IProcess*>& processes)
{
    std::lock_guard lock(mutex);
    processes.clear();
    for (IProcess* process : slots) {
        if (process == idleMarker.get())
            continue;
        // A slot is held from launch on; the program is listed once it exists.
        const ActiveRun* run = FindActive(process);
        if (run && run->pid > 0)
            processes.append(process);
    }
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

bool CCore::HasFreeSlot() const
{
    return std::find(slots.begin(), slots.end(), idleMarker.get()) != slots.end();
}

void CCore::FreeSlot(IProcess* process)
{
    const auto slot = std::find(slots.begin(), slots.end(), process);
    if (slot == slots.end())
        return;
    // Slots beyond a count lowered while runs were winding down go away as they free up.
    if (int(slots.size()) > threadsCount)
        slots.erase(slot);
    else
        *slot = idleMarker.get();
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
    result.tagError = run.tagError;
    result.check = run.check;
    result.held = run.held;
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
    if (info.kind == 1)
        failedInRun.append(process);
    if (auto* coder = dynamic_cast<CCoder*>(process))
        DeleteRunFile(coder->GetTempFile());
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

void CCore::ResizeSlots(int count)
{
    // Slots still held by runs that are winding down are kept until they free up.
    std::vector<IProcess*> resized;
    for (IProcess* process : slots) {
        if (process != idleMarker.get())
            resized.push_back(process);
    }
    while (int(resized.size()) < count)
        resized.push_back(idleMarker.get());
    slots = std::move(resized);
}
