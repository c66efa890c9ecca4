// One program's life on its worker: its hidden output name, its launch, its error tail, the wait
// for its end, the cleanup of what it leaves, and the verdict on how it ended.

#include "audio/wav_compare.h"
#include "codecs/command_template.h"
#include "foundation/os.h"
#include "foundation/path_helpers.h"
#include "planning/job_planning.h"
#include "run/active_run.h"
#include "run/core.h"
#include "run/run_files.h"
#include "run/run_outcome.h"
#include "run/track_cutting.h"

#include <QFile>

using namespace Qt::StringLiterals;

namespace {

// What the attempt to create a program tells of the run.
RunFacts StartFacts(bool stoppedBeforeStart, qint64 pid, int error)
{
    RunFacts facts;
    facts.stopped = stoppedBeforeStart;
    facts.started = pid > 0;
    facts.startError = error;
    return facts;
}

} // namespace

struct CCore::ProgramStart
{
    bool stoppedBeforeStart = false;
    qint64 pid = 0;
    int error = 0;
    int errorPipe = -1;
};

void CCore::Work(ActiveRun* run)
{
    // Once RunProcess hands back nothing, the core may already be gone: touch nothing.
    while (run)
        run = RunProcess(run);
}

CCore::ActiveRun* CCore::RunProcess(ActiveRun* run)
{
    if (run->cutOnly)
        return CutWithoutProgram(run);
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

    const ProgramStart started = StartProgram(*run, ownProcess, run->outputFile, hiddenOutput);
    RunFacts facts = StartFacts(started.stoppedBeforeStart, started.pid, started.error);
    if (facts.stopped || !facts.started) {
        std::lock_guard lock(mutex);
        // Its decoder may have written the WAV already; no coder will read it now.
        if (run->isCoder)
            DeleteRunFile(run->tempFile);
        const RunVerdict verdict = DecideOutcome(facts);
        OnProcessFinished(run, verdict.outcome, verdict.code, true, &next);
        return next;
    }

    if (run->isCoder && run->options.replayGain != ReplayGainMode::Off)
        run->finish.meter.Start(run->inputFile);
    NoteExit(facts, AwaitProgram(*run, started, hiddenOutput, facts.stopped));
    run->finish.meter.Finish(facts.stopped);

    // Only the core's own programs are read back: a plugin's run knows what it wrote.
    const bool readBack = ownProcess && run->options.checkResults;
    RunVerdict verdict = Judge(*run, facts, outputBefore, readBack, expectedMs);
    // The run's own files are cleaned up before its slot is freed, so a run that has ended
    // has left nothing behind. A coder's WAV is kept until its result has been proven.
    if (run->isCoder)
        DeleteRunFile(run->tempFile);
    if (verdict.discardOutput)
        DeleteRunFile(run->writtenFile);
    if (run->limiter && verdict.Succeeded())
        verdict = RunLimiter(*run);
    RunResult::Outcome outcome = verdict.outcome;
    if (!run->trackCuts.isEmpty())
        outcome = verdict.Succeeded() ? CutImage(*run, outcome) : outcome;
    SettleAlbum(*run, outcome);
    std::lock_guard lock(mutex);
    DropCutsOfStoppedRun(*run, outcome);
    OnProcessFinished(run, outcome, verdict.code, true, &next);
    return next;
}

void CCore::CutWhatIsWritten(ActiveRun& run)
{
    QSet<QString> done;
    {
        std::lock_guard lock(mutex);
        if (run.stopRequested)
            return;
        done = run.cutsReady;
    }
    const QStringList cutNow = CutWrittenTracks(run.writtenFile, run.trackCuts, done);
    if (cutNow.isEmpty())
        return;
    std::lock_guard lock(mutex);
    for (const QString& wav : cutNow)
        run.cutsReady.insert(wav);
    // Once its tracks flow, the decode is no longer a head that holds a slot: on a slot it
    // would keep one coder waiting until it ends, the tracks' coders meanwhile taking turns on
    // the rest. One such decoder at a time, so that images never run unbounded beside them.
    if (!run.slotHandedOn && decodersWithoutSlot == 0) {
        run.slotHandedOn = true;
        ++decodersWithoutSlot;
        FreeSlot(run.process);
    }
    LaunchStartable();
}

RunResult::Outcome CCore::CutImage(ActiveRun& run, RunResult::Outcome outcome)
{
    const QString image = run.cutOnly ? run.inputFile : run.outputFile;
    QString reason;
    QSet<QString> alreadyCut;
    {
        std::lock_guard lock(mutex);
        alreadyCut = run.cutsReady;
    }
    if (!CutTracks(image, run.trackCuts, &reason, alreadyCut)) {
        run.errorOutput = reason;
        outcome = RunResult::Outcome::NotCut;
    }
    // The decoded image is only the tracks' source; a WAV image is the user's own file.
    if (!run.cutOnly)
        DeleteRunFile(run.outputFile);
    return outcome;
}

CCore::ActiveRun* CCore::CutWithoutProgram(ActiveRun* run)
{
    ActiveRun* next = nullptr;
    bool stopped = false;
    {
        std::lock_guard lock(mutex);
        stopped = run->stopRequested;
    }
    RunResult::Outcome outcome =
        stopped ? RunResult::Outcome::Stopped : CutImage(*run, RunResult::Outcome::Exited);
    std::lock_guard lock(mutex);
    DropCutsOfStoppedRun(*run, outcome);
    OnProcessFinished(run, outcome, 0, true, &next);
    return next;
}

// Stop cleared the tracks' coders before the cut ended: their WAVs have no reader now.
void CCore::DropCutsOfStoppedRun(ActiveRun& run, RunResult::Outcome& outcome)
{
    if (!run.stopRequested || run.trackCuts.isEmpty())
        return;
    for (const TrackCut& cut : std::as_const(run.trackCuts))
        DeleteRunFile(cut.wav);
    outcome = RunResult::Outcome::Stopped;
}

CCore::ProgramStart CCore::StartProgram(ActiveRun& run, CProcess* ownProcess, const QString& output,
                                        const QString& hiddenOutput)
{
    ProgramStart started;
    // The gate is released before OnProcessFinished: after that call the core may be gone.
    std::lock_guard launching(launchGate);
    {
        std::lock_guard lock(mutex);
        started.stoppedBeforeStart = run.stopRequested;
    }
    if (started.stoppedBeforeStart)
        return started;
    // The program is created without the lock, so the windows never wait for it.
    bool created = false;
    bool redirected = false;
    if (ownProcess) {
        const CProcess::StartResult result =
            ownProcess->StartWith(run.priorityClass, {output, hiddenOutput, true});
        created = result.created;
        started.error = result.error;
        started.errorPipe = result.errorPipe;
        redirected = result.redirected;
    } else {
        created = run.process->Start(run.priorityClass);
    }
    IProcess* program = ownProcess ? static_cast<IProcess*>(ownProcess) : run.process;
    started.pid = created ? qint64(program->GetProcessInformation().processId) : 0;
    if (started.pid > 0) {
        std::lock_guard lock(mutex);
        // A template that does not name its output as one argument writes it directly.
        if (redirected)
            run.writtenFile = hiddenOutput;
        TakeSlot(&run, started.pid);
    }
    return started;
}

os::ExitStatus CCore::AwaitProgram(ActiveRun& run, const ProgramStart& started,
                                   const QString& hiddenOutput, bool& stopped)
{
    // Read until the program ends; a program that fills the pipe would otherwise stall.
    CErrorTail errors(run.showWindow);
    // An image's tracks are cut as its decoder writes them, so their coders need not wait for
    // the whole album; what sox writes after the decoder is only there at the end.
    std::function<void()> tick;
    if (!run.trackCuts.isEmpty() && !run.limiter)
        tick = [this, &run] { CutWhatIsWritten(run); };
    os::ReadUntilExit(
        started.pid, started.errorPipe, [&errors](const QByteArray& bytes) { errors.Add(bytes); },
        tick);
    run.errorOutput = errors.Lines();
    // The user knows the result by its own name, not by the hidden one it is written under.
    if (!hiddenOutput.isEmpty())
        run.errorOutput.replace(hiddenOutput, run.outputFile);
    const bool waited = os::WaitForExitWithoutReaping(started.pid);
    {
        // Once marked ended, Stop leaves the pid alone: it is about to be reaped and reused.
        std::lock_guard lock(mutex);
        run.state = ActiveRun::State::Ended;
        stopped = run.stopRequested;
    }
    return waited ? os::ReapProcess(started.pid)
                  : os::ExitStatus{os::ExitStatus::Kind::Unknown, -1};
}

RunVerdict CCore::Judge(ActiveRun& run, RunFacts& facts, const FileStamp& outputBefore,
                        bool readBack, qint64 expectedMs)
{
    if (facts.stopped)
        return DecideOutcome(facts);
    facts.hidden = run.writtenFile != run.outputFile;
    facts.wroteOutput = WroteOutput(run.writtenFile, facts.hidden ? FileStamp() : outputBefore);
    facts.diskFull =
        facts.wroteOutput && !run.writtenFile.isEmpty() && os::FileSystemIsFull(run.writtenFile);
    RunVerdict verdict = DecideOutcome(facts);
    if (verdict.Succeeded() && readBack && !run.writtenFile.isEmpty()) {
        run.check = CheckResult(run.writtenFile, expectedMs);
        facts.checked = true;
        facts.checkPassed = run.check.Passed();
        verdict = DecideOutcome(facts);
    }
    if (verdict.Succeeded() && run.verification) {
        VerifyResult(run, facts);
        verdict = DecideOutcome(facts);
    }
    if (verdict.Succeeded() && run.isCoder) {
        facts.placed = FinishResult(run.finish, run.writtenFile, run.outputFile, run.options);
        verdict = DecideOutcome(facts);
    }
    return verdict;
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

void CCore::NoteExit(RunFacts& facts, const os::ExitStatus& status)
{
    facts.exit = status.kind == os::ExitStatus::Kind::Signaled  ? RunFacts::Exit::Signaled
                 : status.kind == os::ExitStatus::Kind::Unknown ? RunFacts::Exit::Unknown
                                                                : RunFacts::Exit::Exited;
    facts.code = status.code;
}

RunVerdict CCore::RunFollowUp(ActiveRun& run, CProcess& program, const QString& output)
{
    {
        std::lock_guard lock(mutex);
        run.state = ActiveRun::State::Launching;
        ++run.followUpsCounted;
    }
    const ProgramStart started = StartProgram(run, &program, output, {});
    RunFacts facts = StartFacts(started.stoppedBeforeStart, started.pid, started.error);
    if (facts.stopped || !facts.started) {
        std::lock_guard lock(mutex);
        run.state = ActiveRun::State::Ended;
        // Counted as done like a run that could not start.
        if (!facts.stopped && run.generation == generation)
            ++startedCount;
        return DecideOutcome(facts);
    }
    NoteExit(facts, AwaitProgram(run, started, {}, facts.stopped));
    facts.wroteOutput = facts.stopped || WroteOutput(output, FileStamp());
    return DecideOutcome(facts);
}

RunVerdict CCore::RunLimiter(ActiveRun& run)
{
    CDecoder& limiter = *run.limiter;
    const QString limited = limiter.GetOutputFile();
    const QString decoderErrors = run.errorOutput;
    const RunVerdict verdict = RunFollowUp(run, limiter, limited);
    // The decoder's own WAV has been read, or will never be.
    DeleteRunFile(run.outputFile);
    if (!verdict.Succeeded()) {
        DeleteRunFile(limited);
        run.executable = limiter.GetExecutable();
        return verdict;
    }
    run.errorOutput = decoderErrors;
    run.outputFile = limited;
    run.writtenFile = limited;
    return verdict;
}

void CCore::VerifyResult(ActiveRun& run, RunFacts& facts)
{
    const ResultVerification& verification = *run.verification;
    const QString coderErrors = run.errorOutput;
    QString decoded = run.writtenFile; // a WAV result is compared as it is
    if (verification.decoder) {
        QString folder = run.tempFile.isEmpty() ? os::TemporaryFolder() : run.tempFile;
        if (!run.tempFile.isEmpty())
            RemoveFileSpec(folder);
        decoded = MakeTempFileName(folder, u".wav"_s);
        CDecoder program(*verification.decoder);
        TemplateValues values;
        values.inputPath = run.writtenFile;
        values.outputPath = decoded;
        QString parameters;
        if (decoded.isEmpty() ||
            !ExpandTemplate(verification.commandTemplate, parameters, values)) {
            facts.verifyPassed = false;
            run.errorOutput = u"no command line could be made to decode the result again"_s;
            return;
        }
        program.SetParameters(parameters);
        program.SetShowWindow(run.showWindow);
        const RunVerdict decodedAgain = RunFollowUp(run, program, decoded);
        if (!decodedAgain.Succeeded()) {
            DeleteRunFile(decoded);
            facts.stopped = decodedAgain.outcome == RunResult::Outcome::Stopped;
            facts.verifyPassed = false;
            run.errorOutput = u"the result could not be decoded again (%1): %2"_s.arg(
                FileNamePart(program.GetExecutable()), run.errorOutput.trimmed());
            return;
        }
    }
    QString difference;
    if (verification.sourceMd5.isEmpty()) {
        facts.verifyPassed = SameSamples(run.inputFile, decoded, &difference);
    } else {
        const QString md5 = SamplesMd5(decoded, &difference);
        facts.verifyPassed = md5 == verification.sourceMd5;
        if (!md5.isEmpty() && !facts.verifyPassed)
            difference =
                u"the MD5 of its samples is %1, its source's %2"_s.arg(md5, verification.sourceMd5);
    }
    if (verification.decoder)
        DeleteRunFile(decoded);
    run.verified = facts.verifyPassed;
    run.errorOutput = facts.verifyPassed ? coderErrors : difference;
}
