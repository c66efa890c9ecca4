#include "session/conversion_session.h"

#include "extensions/language_pack.h"
#include "foundation/path_helpers.h"
#include "library/sync_signature.h"
#include "planning/album_tracks.h"
#include "planning/job_order.h"
#include "planning/job_planning.h"
#include "planning/output_tree.h"
#include "planning/plan_files.h"
#include "report/run_report.h"
#include "run/core.h"
#include "session/made_another_way.h"
#include "session/sleep_inhibitor.h"
#include "settings/settings_set.h"

#include <QSet>

using namespace Qt::StringLiterals;

CConversionSession::CConversionSession(const CSettingsSet& settingsSet, const QString& folder,
                                       const DecoderList& decoderList, CCore& engine,
                                       QObject* parent)
    : QObject(parent), settings(settingsSet), programFolder(folder), decoders(decoderList),
      core(engine), english(std::make_unique<CLanguagePack>())
{
    ListenToCore();
}

void CConversionSession::ListenToCore()
{
    // Under the core's lock: only copy what happened and wake this thread once.
    core.SetRunChangedCallback([this](IProcess* process, const RunResult* ended) {
        std::lock_guard lock(eventsMutex);
        events.push_back({process, ended ? std::optional<RunResult>(*ended) : std::nullopt});
        if (posted)
            return;
        posted = true;
        QMetaObject::invokeMethod(this, &CConversionSession::OnCoreChanged, Qt::QueuedConnection);
    });
}

CConversionSession::~CConversionSession()
{
    // Once this returns no worker is inside the callback: it runs under the core's lock.
    core.SetRunChangedCallback({});
    copiesStopped = true;
    if (copier.joinable())
        copier.join();
}

void CConversionSession::SetSources(const QList<CFileInfo*>& sources)
{
    files.clear();
    fileOfRun.clear();
    sorted.clear();
    replacing.clear();
    startOrder.clear();
    counts = {};
    files.reserve(size_t(sources.size()));
    for (CFileInfo* file : sources) {
        files.push_back({file});
        const FileState state =
            file->coder || file->decoder ? FileState::Planned : FileState::NotPlanned;
        files.back().state = state;
        Tally(state, 1);
    }
}

void CConversionSession::SetOverrides(const SessionOverrides& given)
{
    overrides = given;
}

void CConversionSession::SetLanguage(const CLanguagePack* pack)
{
    language = pack;
}

ReplayGainMode CConversionSession::ReplayGain() const
{
    return overrides.replayGain.value_or(
        ReplayGainModeOf(settings.general.replayGain, settings.general.replayGainAlbum));
}

AudioChain CConversionSession::Chain() const
{
    AudioChain chain;
    const CSettingsDevice& device = settings.device;
    chain.limits = overrides.limits.value_or(
        DeviceLimitsOf(device.maxSampleRate, device.maxBitDepth, device.channels));
    // The program folder's wrapper says which package to install when sox is missing.
    chain.limiterProgram = AppendPath(programFolder, u"Tools/sox"_s);
    chain.verifyLossless = overrides.verifyLossless.value_or(device.verifyLossless != 0);
    return chain;
}

int CConversionSession::Threads() const
{
    return overrides.threads.value_or(settings.core.threadsCount);
}

QList<int> CConversionSession::Targets(const QList<int>& indexes) const
{
    if (!indexes.isEmpty())
        return indexes;
    QList<int> all;
    all.reserve(Count());
    for (int index = 0; index < Count(); ++index)
        all << index;
    return all;
}

QList<int> CConversionSession::Plan(const QList<int>& indexes, CCoder* coder, int presetIndex,
                                    bool decodeOnly)
{
    const QString outputFolder =
        overrides.outputFolder.value_or(settings.general.ResultFolder(programFolder));
    plannedFolder = outputFolder;
    if (!plannedFolder.isEmpty())
        AddBackslash(plannedFolder);
    const QString madeWith =
        decodeOnly || !coder ? QString() : SyncSignature(*coder, presetIndex, settings);
    // Mirrored results keep their place below the library folder, or the common folder of the
    // whole list, so planning a part gives the same paths as planning everything.
    const QString treeRoot = overrides.treeRoot.value_or(QString());
    QStringList treeRoots;
    if (treeRoot.isEmpty() &&
        overrides.keepFolders.value_or(settings.general.keepFolderStructure != 0) &&
        !outputFolder.isEmpty()) {
        QStringList paths;
        for (const FileRecord& record : files)
            paths << record.file->path;
        treeRoots = TreeRootsOf(paths, CleanedSettingPath(settings.library.libraryFolder));
    }
    const QList<int> targets = Targets(indexes);
    const QSet<int> targetSet(targets.cbegin(), targets.cend());
    // Job lines may run on other machines, whose runtime folders are not ours.
    QString tempFolder;
    if (!decodeOnly && !overrides.plansForElsewhere) {
        QList<const CFileInfo*> targetFiles;
        for (int index : targets)
            targetFiles << files[size_t(index)].file;
        // sox and a verification each hold a second WAV beside a slot's first.
        const AudioChain wide = Chain();
        const bool twoWavs = wide.verifyLossless || !(wide.limits == DeviceLimits{});
        tempFolder = ChooseTempFolder(targetFiles, Threads() * (twoWavs ? 2 : 1));
    }
    // Names from tags are numbered against the results of the files not planned now.
    QSet<QString> takenNames;
    for (int index = 0; index < Count(); ++index) {
        const CFileInfo& file = *files[size_t(index)].file;
        if (!targetSet.contains(index) && (file.coder || file.decoder))
            takenNames.insert(file.PlannedResult());
    }
    ResultNaming naming;
    naming.fatSafe = overrides.fatSafeNames.value_or(settings.general.fatSafeNames != 0);
    naming.fixedName = overrides.resultName;
    if (naming.fixedName.isEmpty())
        naming.pattern = CNamePattern(overrides.namePattern.value_or(settings.general.namePattern));
    if (overrides.numberSharedNames.value_or(settings.general.numberSharedNames != 0))
        naming.numberedAgainst = &takenNames;
    const bool directInput =
        settings.general.directInput != 0 && !LoudnessNeedsDecodedAudio(ReplayGain());
    AudioChain chain = Chain();
    if (chain.verifyLossless && coder && !decodeOnly)
        chain.verification = VerificationOf(*coder, decoders);

    CCoder* used = decodeOnly ? nullptr : coder;
    QSet<int> planned;
    const auto conclude = [&](int index, bool plannedNow) {
        const CFileInfo& file = *files[size_t(index)].file;
        if (!plannedNow || (!file.coder && !file.decoder)) {
            LeaveOut(index, LeftOutCause::NoDecoder);
            return;
        }
        files[size_t(index)].madeWith = madeWith;
        SetState(index, FileState::Planned);
        planned.insert(index);
    };
    // Files that are neither copied nor an image's tracks are planned together at the end,
    // where their names do not depend on the order.
    const bool apart = PlannedApart(naming);
    std::vector<CFileInfo*> plain;
    std::vector<int> plainAt;
    QStringList plainFolders;
    for (int index : targets) {
        FileRecord& record = files[size_t(index)];
        CFileInfo& file = *record.file;
        const QString folder =
            ResultFolderOf(outputFolder, treeRoots.isEmpty() ? treeRoot : treeRoots[index],
                           file.folder, naming.pattern);
        record.failedRun.reset();
        record.inPlace = false;
        bool plannedNow = false;
        if (used && PlanByCopyRules(index, *used, presetIndex, folder, naming, plannedNow)) {
            if (plannedNow) {
                record.madeWith = CopySignature();
                SetState(index, FileState::Planned);
                planned.insert(index);
            }
        } else if (file.track) {
            conclude(index, PlanTrack(file, decoders, used, presetIndex, folder, decodeOnly, naming,
                                      tempFolder, chain));
        } else if (!apart) {
            conclude(index, PlanFile(file, decoders, used, presetIndex, folder, decodeOnly,
                                     directInput, naming, tempFolder, chain));
        } else {
            plain.push_back(&file);
            plainAt.push_back(index);
            plainFolders << folder;
        }
    }
    const std::vector<char> plainPlanned =
        PlanFiles(plain, plainFolders, decoders, used, presetIndex, decodeOnly, directInput, naming,
                  tempFolder, chain);
    for (size_t k = 0; k < plain.size(); ++k)
        conclude(plainAt[k], plainPlanned[k] != 0);
    QList<int> inOrder;
    for (int index : targets) {
        if (planned.contains(index))
            inOrder << index;
    }
    return inOrder;
}

void CConversionSession::Reset(const QList<int>& indexes)
{
    for (int index : Targets(indexes)) {
        ResetJobs(*files[size_t(index)].file);
        files[size_t(index)].failedRun.reset();
        SetState(index, FileState::NotPlanned);
    }
}

QList<PlannedJob> CConversionSession::Jobs() const
{
    QList<PlannedJob> jobs;
    jobs.reserve(Count());
    for (const FileRecord& record : files)
        jobs << JobOf(*record.file);
    return jobs;
}

QList<int> CConversionSession::Colliding() const
{
    const QList<LeftOutReason> reasons = FindLeftOutJobs(Jobs());
    QList<int> colliding;
    for (int index = 0; index < reasons.size(); ++index) {
        if (reasons[index] != LeftOutReason::None)
            colliding << index;
    }
    return colliding;
}

QList<int> CConversionSession::Sort(const QList<int>& indexes)
{
    // The files of a run are the core's until it ends.
    if (running)
        return {};
    // All jobs are given, so that a wanted one may not write over the source of one that is
    // not wanted.
    QList<bool> wanted(Count(), indexes.isEmpty());
    for (int index : indexes)
        wanted[index] = true;
    for (int index = 0; index < Count(); ++index) {
        const CFileInfo& file = *files[size_t(index)].file;
        wanted[index] = wanted[index] && (file.coder || file.decoder);
    }
    StartSorting sorting = SortJobsForStart(
        Jobs(), wanted, !overrides.overwrite && settings.general.skipUpToDate != 0);
    // Up to date means made the same way: the copy's record knows how its results were made,
    // and those are orvel's own to replace.
    madeAnotherWay.reset();
    if (!sorting.upToDate.isEmpty())
        madeAnotherWay = std::make_unique<CMadeAnotherWay>(plannedFolder);
    if (madeAnotherWay)
        sorting.upToDate.removeIf([this](qsizetype index) {
            const FileRecord& record = files[size_t(index)];
            return madeAnotherWay->MadeAnotherWay(*record.file, record.madeWith);
        });
    const QSet<qsizetype> notRun = sorting.NotRun(true);
    sorted.clear();
    for (int index = 0; index < Count(); ++index) {
        if (!wanted[index])
            continue;
        files[size_t(index)].failedRun.reset();
        if (!notRun.contains(index)) {
            sorted << index;
            SetState(index, FileState::Planned);
        }
    }
    for (qsizetype index : sorting.leftOut)
        LeaveOut(int(index), CauseOf(sorting.reasons[index]));
    for (qsizetype index : sorting.upToDate)
        SetState(int(index), FileState::UpToDate);
    replacing = QList<int>(sorting.replacing.cbegin(), sorting.replacing.cend());
    return replacing;
}

bool CConversionSession::Start(bool replacingAllowed)
{
    if (running)
        return false;
    // News of an earlier run that has not been taken yet must not reach this one.
    OnCoreChanged();
    startOrder.clear();
    folderNotMade.clear();
    QSet<int> notRun;
    if (!replacingAllowed) {
        for (int index : std::as_const(replacing)) {
            LeaveOut(index, LeftOutCause::ResultExists);
            notRun.insert(index);
        }
    }
    QList<CFileInfo*> runnable;
    QHash<const CFileInfo*, int> indexOf;
    for (int index : std::as_const(sorted)) {
        if (notRun.contains(index))
            continue;
        runnable << files[size_t(index)].file;
        indexOf.insert(files[size_t(index)].file, index);
    }
    sorted.clear();
    replacing.clear();
    const QList<CFileInfo*> ordered = OrderForStart(
        runnable, overrides.longFilesFirst.value_or(settings.general.startLongFilesFirst != 0));
    for (const CFileInfo* file : ordered)
        startOrder << indexOf.value(file);
    ShareImageDecoders(ordered);
    companionsCopied = 0;
    companionNotes.clear();
    if (overrides.dryRun)
        return false;
    // Results that are all up to date still get their folder's cover when it is missing.
    if (startOrder.isEmpty()) {
        CarryCompanions();
        return false;
    }
    return Queue();
}

bool CConversionSession::Queue()
{
    QList<CFileInfo*> queued;
    QList<int> order;
    QList<int> copies;
    fileOfRun.clear();
    for (FileRecord& record : files)
        record.inRun = false;
    for (int index : std::as_const(startOrder)) {
        FileRecord& record = files[size_t(index)];
        CFileInfo& file = *record.file;
        QString failedFolder;
        if (!CreateOutputFolders({&file}, &failedFolder)) {
            folderNotMade = failedFolder;
            LeaveOut(index, LeftOutCause::FolderNotMade);
            continue;
        }
        record.failedRun.reset();
        record.resultRun.reset();
        record.inRun = true;
        record.lastRunEnded = false;
        record.startedMs = record.endedMs = -1;
        SetState(index, FileState::Queued);
        order << index;
        if (file.copyAsIs) {
            copies << index;
            continue;
        }
        for (CCodec* run :
             {static_cast<CCodec*>(file.decoder.get()), static_cast<CCodec*>(file.coder.get())}) {
            if (!run)
                continue;
            fileOfRun.insert(run, index);
            // The programs' own screens would garble a progress display.
            if (!overrides.showPrograms)
                run->SetShowWindow(false);
        }
        if (file.decoder && file.decoder->limiter && !overrides.showPrograms)
            file.decoder->limiter->SetShowWindow(false);
        queued << &file;
    }
    startOrder = order;
    if (queued.isEmpty() && copies.isEmpty()) {
        CarryCompanions();
        return false;
    }
    runClock.start();
    running = true;
    coreIdle = queued.isEmpty();
    const int total = int(queued.size() + copies.size());
    KeepAwake(total);
    Q_EMIT RunStarted(total);
    StartCopies(copies);
    if (!queued.isEmpty())
        StartCore(queued);
    return true;
}

void CConversionSession::StartCore(const QList<CFileInfo*>& queued)
{
    core.SetThreadsCount(Threads());
    ResultOptions options;
    options.copyTags = settings.general.copyTags != 0;
    options.atomicOutputs = settings.general.atomicOutputs != 0;
    options.replayGain = ReplayGain();
    options.pictureMaxSide = settings.general.PictureMaxSide();
    core.SetResultOptions(options);
    QueueFiles(core, queued);
    core.Start();
}

// A laptop left alone suspends after its idle time: the encoders, and the run's clock, would
// stop with it. Where no bus answers the run goes on as it would.
void CConversionSession::KeepAwake(int fileCount)
{
    if (!overrides.keepAwake.value_or(settings.general.keepAwake != 0))
        return;
    if (!inhibitor)
        inhibitor = std::make_unique<CSleepInhibitor>();
    inhibitor->Acquire(u"Converting audio (%1 files)"_s.arg(fileCount));
}

void CConversionSession::Stop()
{
    if (!running)
        return;
    copiesStopped = true;
    core.Stop();
}

QList<int> CConversionSession::FailedIndexes() const
{
    QList<int> failed;
    for (int index = 0; index < Count(); ++index) {
        if (files[size_t(index)].state == FileState::Failed)
            failed << index;
    }
    return failed;
}

CFileInfo* CConversionSession::File(int index) const
{
    return files[size_t(index)].file;
}

FileState CConversionSession::State(int index) const
{
    return files[size_t(index)].state;
}

LeftOutCause CConversionSession::Cause(int index) const
{
    return files[size_t(index)].cause;
}

const RunResult* CConversionSession::ResultRun(int index) const
{
    const FileRecord& record = files[size_t(index)];
    return record.resultRun ? &*record.resultRun : nullptr;
}

const RunResult* CConversionSession::FailedRun(int index) const
{
    const FileRecord& record = files[size_t(index)];
    return record.failedRun ? &*record.failedRun : nullptr;
}
