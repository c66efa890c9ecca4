#pragma once

#include "codecs/codec_discovery.h"
#include "planning/companion_files.h"
#include "planning/device_limits.h"
#include "planning/file_info.h"
#include "planning/job_planning.h"
#include "planning/planned_jobs.h"
#include "report/time_estimate.h"
#include "run/run_result.h"
#include "session/file_state.h"
#include "tags/replay_gain.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

class CCore;
class CSleepInhibitor;
class CLanguagePack;
class CSettingsSet;
class CMadeAnotherWay;

// A front end's choices that take the place of a setting for this session; unset ones are
// the setting's.
struct SessionOverrides
{
    // An empty folder: results beside their sources.
    std::optional<QString> outputFolder;
    std::optional<bool> keepFolders;
    // The folder whose tree the results keep below the output folder (a library's root), in
    // place of the list's deepest common folder, which moves with the files a list holds.
    std::optional<QString> treeRoot;
    std::optional<bool> fatSafeNames;
    std::optional<bool> numberSharedNames;
    std::optional<QString> namePattern;
    // A whole name (extension included) that replaces the pattern: one file of a batch that
    // was handed on by itself keeps the name the whole batch gave it.
    QString resultName;
    std::optional<bool> longFilesFirst;
    std::optional<int> threads;
    std::optional<ReplayGainMode> replayGain;
    // Results newer than their sources are converted again (the setting that skips them is
    // not asked).
    bool overwrite = false;
    // The command lines are to run elsewhere (job lines for other machines): no intermediate
    // folder of this machine is chosen.
    bool plansForElsewhere = false;
    // Start sorts and orders but queues nothing: the front end prints the plan.
    bool dryRun = false;
    // The programs' own output goes to the terminal (false keeps a progress display clean).
    bool showPrograms = true;
    // The machine is kept from sleeping while a run goes on.
    std::optional<bool> keepAwake;
    std::optional<DeviceLimits> limits;
    std::optional<bool> verifyLossless;
    // Source folders listed a moment ago, whose names serve the lookup for covers (the
    // caller keeps them alive); others are listed when their covers are looked for.
    const CListedFolders* listedFolders = nullptr;
};

// The figures of a run or of the whole session, one per state.
struct SessionCounts
{
    int planned = 0;
    int leftOut = 0;
    int upToDate = 0;
    int queued = 0;
    int running = 0; // decoding or coding
    int held = 0;
    int converted = 0;
    int copied = 0; // of the converted: sources copied as they are by a copy rule
    int failed = 0;
    int stopped = 0;
};

// The one start pipeline of every front end (the window, orvel-batch and its job lines):
// plans each source's decoder and coder, leaves out what must not run with its reason, finds
// results that are up to date, orders the jobs, makes the folders, queues them on the core
// and follows each file's state as the core runs it, announcing every change. Lives on the
// thread that created it; the core's workers only post to it.
class CConversionSession : public QObject
{
    Q_OBJECT

public:
    // The settings, decoders and core are the front end's and outlive the session.
    CConversionSession(const CSettingsSet& settings, const QString& programFolder,
                       const DecoderList& decoders, CCore& core, QObject* parent = nullptr);
    ~CConversionSession() override;

    // The core tells one session of its runs: the last made, or the one that asks here again
    // once another session on the same core (a library sync's) is gone.
    void ListenToCore();

    // The files of the session, by index; a new list forgets every state. Not owned: the
    // front end keeps them alive (and unchanged) while the session knows them.
    void SetSources(const QList<CFileInfo*>& sources);
    void SetOverrides(const SessionOverrides& overrides);
    // The pack whose words the reasons use; none: English.
    void SetLanguage(const CLanguagePack* language);

    // Plans the files at the indexes (all when empty) with the coder and its preset, or to WAV
    // only; other files keep their plans (and their own coders). Names from tags are numbered
    // against the results of the files not planned now. A file no decoder reads is left out
    // (NoDecoder). Returns the indexes planned.
    QList<int> Plan(const QList<int>& indexes, CCoder* coder, int presetIndex, bool decodeOnly);
    // Forgets the plans of the files at the indexes (all when empty).
    void Reset(const QList<int>& indexes);
    // The planned files that Sort would leave out because their results collide with a
    // source or another result (OwnInput, OtherSource, SharedOutput): Apply warns of them.
    QList<int> Colliding() const;

    // Sorts the planned files at the indexes (all planned ones when empty) for a start: leaves
    // out those that must not run, marks those up to date. Returns the others whose results
    // would replace an existing file: the front end asks about them, then calls Start.
    QList<int> Sort(const QList<int>& indexes = {});
    // Orders what Sort left to run (the replacing ones only when allowed, else they are left
    // out with ResultExists), makes the output folders and queues it on the core. False when
    // nothing was started (nothing to run, a dry run, or a run still going).
    bool Start(bool replacingAllowed);
    // Ends every run of the core; the files not converted become Stopped once the core's
    // workers are done, and RunEnded follows. (Each file's lastRunFailed follows its final
    // state in every run; a file the run never reached keeps it.)
    void Stop();
    bool IsRunning() const { return running; }
    // The files that failed in the last run, for Retry failed (Sort them, then Start).
    QList<int> FailedIndexes() const;

    int Count() const { return int(files.size()); }
    CFileInfo* File(int index) const;
    FileState State(int index) const;
    LeftOutCause Cause(int index) const;
    // The run whose failure made the file Failed; null otherwise.
    const RunResult* FailedRun(int index) const;
    // Its result is its source copied as it is (a copy rule), in this run or, planned, to come.
    bool IsCopy(int index) const;
    // The signature of the choices the file was planned with (SyncSignature, CopySignature).
    QString MadeWith(int index) const;
    // The run that made the file's result in this run, once it has ended; null before.
    const RunResult* ResultRun(int index) const;
    // Why the file is left out or failed, in the pack's words; empty otherwise.
    QString Reason(int index) const;
    // The indexes Start queued (or, in a dry run, would queue), in the order they went.
    QList<int> StartOrder() const { return startOrder; }
    // Every file of the session, counted by its state.
    SessionCounts Counts() const { return counts; }
    // Audio converted against audio queued in this run: a file is done once its last run has
    // ended, however it ended; a running one counts by the share of its expected time gone by,
    // the time the files done so far took for their audio.
    AudioProgress Progress() const;
    // The folder Start could not make, when there was one.
    QString FolderNotMade() const { return folderNotMade; }
    // Covers and other files carried into result folders by the last run, and why others
    // were not (a file of the user's in their place, a picture that cannot be read).
    int CompanionsCopied() const { return companionsCopied; }
    QStringList CompanionNotes() const { return companionNotes; }
    // The covers and files along that carrying them would write for the files planned (or up
    // to date) now: what a dry run shows.
    QList<CompanionCopy> PlannedCompanions() const;
    // Results already in their place that no run makes (a library sync's results up to date by
    // its record, or moved): their folders get their covers as those of a run's results do.
    void SetResultsInPlace(const QList<int>& indexes);
    // When nothing is to run: the folders of the results converted, up to date or in place get
    // what is missing of their covers and files along now.
    void CarryCompanionsWithoutRun();

    // The English (or the pack's) text of a cause.
    static QString CauseText(LeftOutCause cause, const CLanguagePack& language);

Q_SIGNALS:
    void FileStateChanged(int index, FileState state);
    void RunStarted(int queuedFiles);
    // After the last file of the run has its final state (Stop included).
    void RunEnded(const SessionCounts& counts);

private:
    void KeepAwake(int fileCount);
    // The copy rules (session_copies.cpp): the file is planned as a copy of its source, left
    // out, or (false) planned as any other.
    bool PlanByCopyRules(int index, CCoder& coder, int presetIndex, const QString& folder,
                         const ResultNaming& naming, bool& planned);
    // Puts the sources planned as copies at their results' names, one after another on a
    // thread of their own, while the core runs the conversions: a large copy keeps the
    // session's thread free. No program runs for them.
    void StartCopies(const QList<int>& indexes);
    void OnCopyStarted(int index);
    void OnCopyEnded(int index, const RunResult& run);
    // Once a run is over: each folder of results converted or up to date gets its source
    // folder's cover and the files the patterns name.
    void CarryCompanions();
    CompanionOptions Companions() const;
    // What the session knows of one source file.
    struct FileRecord
    {
        CFileInfo* file = nullptr;
        FileState state = FileState::NotPlanned;
        LeftOutCause cause = LeftOutCause::None;
        std::optional<RunResult> failedRun;
        // The run of this run that made its result (its coder, or its decoder decoding only),
        // as the core last told it.
        std::optional<RunResult> resultRun;
        bool inRun = false;        // queued in the current (or last) run
        QString madeWith;          // the signature of the choices it was planned with
        bool lastRunEnded = false; // its coder, or its decoder alone, has ended in this run
        bool copied = false;       // Converted by copying its source as it is
        bool inPlace = false;      // its result is in place without a run (SetResultsInPlace)
        qint64 startedMs = -1;     // on runClock: when its first program of this run started
        qint64 endedMs = -1;       // on runClock: when its last program of this run ended
    };
    // News from the core's threads: a run started (no `ended`), ended or had its held result
    // released; no process: the core's last worker is done.
    struct CoreEvent
    {
        IProcess* process = nullptr;
        std::optional<RunResult> ended;
    };

    static LeftOutCause CauseOf(LeftOutReason reason);

    ReplayGainMode ReplayGain() const;
    AudioChain Chain() const;
    int Threads() const;
    QList<int> Targets(const QList<int>& indexes) const; // all when empty
    QList<PlannedJob> Jobs() const;
    bool Queue();
    void StartCore(const QList<CFileInfo*>& queued);
    void SetState(int index, FileState state);
    void LeaveOut(int index, LeftOutCause cause);
    void OnCoreChanged(); // on the session's thread: takes the events the core posted
    void Apply(const CoreEvent& event);
    void EndRunIfDone();
    bool coreIdle = true;   // the core said its last worker is done
    bool copiesDone = true; // the copy thread has told of its last copy
    void Tally(FileState state, int delta);
    void NoteRunEnded(FileRecord& record);

    const CSettingsSet& settings;
    QString programFolder;
    const DecoderList& decoders;
    CCore& core;
    SessionOverrides overrides;
    const CLanguagePack* language = nullptr;
    std::unique_ptr<CLanguagePack> english;
    std::unique_ptr<CSleepInhibitor> inhibitor; // held while a run goes on
    std::vector<FileRecord> files;
    QHash<const IProcess*, int> fileOfRun;
    QList<int> sorted;     // what Sort left to run
    QString plannedFolder; // the output folder of the last plan, with a trailing separator
    // The record of a library copy in that folder, read by the last Sort.
    std::unique_ptr<CMadeAnotherWay> madeAnotherWay;
    QList<int> replacing; // what Sort found replacing an existing file
    QList<int> startOrder;
    SessionCounts counts;
    QString folderNotMade;
    int companionsCopied = 0;
    QStringList companionNotes;
    bool running = false;
    QElapsedTimer runClock; // started when a run is queued

    // Filled by the core's threads, emptied on the session's thread.
    std::mutex eventsMutex;
    std::vector<CoreEvent> events;
    bool posted = false;

    std::thread copier;
    std::atomic<bool> copiesStopped{false};
};

Q_DECLARE_METATYPE(FileState)
Q_DECLARE_METATYPE(SessionCounts)
