#pragma once

#include "codecs/codec.h"
#include "planning/planned_jobs.h"
#include "run/run_result.h"

#include <QList>
#include <QString>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <orvel/icore.h>
#include <vector>

struct CActiveRun;
class CAlbumGate;
class CProcess;
struct CReleaseFailure;
struct CReleasedResults;
struct FileStamp;
struct RunFacts;
struct RunVerdict;
namespace os {
struct ExitStatus;
}

// Runs the queued decoder and coder jobs on a fixed number of worker slots with detached worker
// threads; a worker whose program has ended runs the next startable one itself. A coder waits until
// the decoder that writes its input has ended; the coder's intermediate WAV is deleted after the
// coder has ended.
class CCore : public ICore
{
public:
    static constexpr int kMaxThreadsCount = 64;

    CCore();
    CCore(const CCore&) = delete;
    CCore& operator=(const CCore&) = delete;
    // Stops every run and waits until no worker touches the core any more.
    virtual ~CCore();

    bool Start() override;
    bool AddProcess(IProcess* process) override;
    void ClearQueue() override;
    bool Stop() override;
    void SetPriority(quint32 newPriorityClass) override;
    void SetThreadsCount(int count) override;
    double GetCpuUsage() override;
    int GetStartedCount() override;
    int GetLaunchedCount() override;
    int GetTotalCount() override;
    void GetRunningProcesses(QList<IProcess*>& processes) override;
    bool IsRunning() override;

    // Taken by runs launched from now on.
    void SetResultOptions(const ResultOptions& options);
    ResultOptions GetResultOptions();

    // How the runs of the current or last run ended, in the order they ended.
    QList<RunResult> GetRunResults();
    QList<RunResult> GetFailedRuns();
    // Finished results that wait under their hidden names for the rest of their album.
    int GetHeldResultCount();

    // Blocks until no worker is left (a test and shutdown aid); true when that happened
    // within the time limit.
    bool WaitForWorkers(int timeoutMs);

    // Called once a run has ended (IsRunning turns false), on the thread that ended it and with
    // the core's lock held: it may only post, never call back into the core. Empty: none.
    void SetRunEndedCallback(std::function<void()> callback);
    // Called when a run of the current run has started (`ended` null), has ended or has had
    // its held result released (`ended`: its record as it is now), and with a null process
    // once no worker is left (a Stop included); on the thread that did it, with the core's
    // lock held: it may only copy and post. Empty: none.
    using RunChangedCallback = std::function<void(IProcess* process, const RunResult* ended)>;
    void SetRunChangedCallback(RunChangedCallback callback);

private:
    using ActiveRun = CActiveRun;
    struct ProgramStart;

    // All of these but Work, RunProcess and the calls it makes itself are called with `mutex`
    // held. A worker that frees its slot runs the successor it launched itself (`handoff`)
    // instead of starting a thread.
    bool TryStart(IProcess* process, ActiveRun** handoff = nullptr);

    // One program's run on its worker (program_run.cpp).
    void Work(ActiveRun* run);
    ActiveRun* RunProcess(ActiveRun* run);
    ProgramStart StartProgram(ActiveRun& run, CProcess* ownProcess, const QString& output,
                              const QString& hiddenOutput);
    static void NoteExit(RunFacts& facts, const os::ExitStatus& status);
    // A program that follows the run's own on its slot (its output is `output`), counted as a
    // run of its own: sox after a decoder, the result's decoder after a lossless coder.
    RunVerdict RunFollowUp(ActiveRun& run, CProcess& program, const QString& output);
    // sox after the decoder's program: the coder reads what it writes; the decoder's WAV goes.
    RunVerdict RunLimiter(ActiveRun& run);
    // Decodes a lossless result again and compares its samples with the coder's WAV.
    void VerifyResult(ActiveRun& run, RunFacts& facts);
    os::ExitStatus AwaitProgram(ActiveRun& run, const ProgramStart& started,
                                const QString& hiddenOutput, bool& stopped);
    RunVerdict Judge(ActiveRun& run, RunFacts& facts, const FileStamp& outputBefore, bool readBack,
                     qint64 expectedMs);

    // A result's album (result_release.cpp).
    void SettleAlbum(ActiveRun& run, RunResult::Outcome& outcome);
    // Under the lock: a coder taken out of the queue unrun still ends its folder's wait.
    void SettleAlbumUnrun(CCoder& coder);
    // Under the lock: the released results are at their names now, or failed there.
    void NoteRelease(const CReleasedResults& released, const QList<CReleaseFailure>& failures,
                     ActiveRun* own, RunResult::Outcome* outcome);
    void NoteReleaseFailures(const QList<CReleaseFailure>& failures, ActiveRun* own,
                             RunResult::Outcome* outcome);

    void TakeSlot(ActiveRun* run, qint64 pid);
    void OnProcessFinished(ActiveRun* run, RunResult::Outcome outcome, int code,
                           bool launchNext = true, ActiveRun** handoff = nullptr);
    void LaunchStartable(ActiveRun** handoff = nullptr);
    bool Launch(IProcess* process, ActiveRun** handoff);
    bool HasFreeSlot() const;
    void FreeSlot(IProcess* process);
    ActiveRun* FindActive(IProcess* process) const;
    void Record(const ActiveRun& run, RunResult::Outcome outcome, int code);
    void DropFromQueue(IProcess* process, RunResult::Outcome outcome, bool countAsDone);
    void LeaveOut(const PlannedJob& job, LeftOutReason reason);
    bool IsReadByOtherCoder(const CDecoder* decoder, const CCoder* coder) const;
    // An album image's decoder, once its program has ended well: the tracks' WAVs are cut
    // from its WAV, which goes then (program_run.cpp). A WAV image is cut as it is.
    RunResult::Outcome CutImage(ActiveRun& run, RunResult::Outcome outcome);
    // While the decoder runs: the tracks its WAV holds already are cut, and their coders start.
    void CutWhatIsWritten(ActiveRun& run);
    ActiveRun* CutWithoutProgram(ActiveRun* run);
    // Under the lock.
    void DropCutsOfStoppedRun(ActiveRun& run, RunResult::Outcome& outcome);
    void EndRunIfIdle();
    void ResizeSlots(int count);

    std::vector<IProcess*> slots;
    QList<IProcess*> queue;
    int threadsCount = 0;
    quint32 priorityClass = kPriorityNormal;
    std::unique_ptr<CCoder> idleMarker;
    int startedCount = 0;
    int launchedCount = 0;
    // Image decoders running without a slot (at most one), under mutex.
    int decodersWithoutSlot = 0;
    int totalCount = 0;
    bool running = false;
    ResultOptions resultOptions;

    std::mutex mutex;
    // Held while a program is being created, and by Stop: once Stop has returned, no program
    // of the run can come into being. Taken before `mutex`, never while holding it.
    std::mutex launchGate;
    std::condition_variable workersDone;
    std::vector<std::unique_ptr<ActiveRun>> active; // launched and not yet finished
    QList<RunResult> results;
    QList<IProcess*> failedInRun; // decoders whose coders must not start
    quint64 generation = 0;       // bumped by Start; late results of older runs are dropped
    std::unique_ptr<CAlbumGate> albums;
    std::function<void()> runEnded;
    RunChangedCallback runChanged;
};
