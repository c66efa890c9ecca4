#include "extensions/language_pack.h"
#include "foundation/notifier.h"
#include "foundation/path_helpers.h"
#include "planning/file_info.h"
#include "planning/job_order.h"
#include "planning/job_planning.h"
#include "planning/output_tree.h"
#include "planning/planned_jobs.h"
#include "report/run_report.h"
#include "tags/replay_gain.h"
#include "ui/dlg_job_control.h"
#include "ui/dlg_main.h"
#include "ui/list_view_ex.h"
#include "ui/main_window_status.h"
#include "ui/main_window_texts.h"
#include "ui/ui_texts.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QHash>
#include <QLabel>
#include <QLocale>
#include <QSet>
#include <QTime>

using namespace Qt::StringLiterals;

namespace {

QList<PlannedJob> JobsOfRows(const CFileList& files, const QList<int>& rows)
{
    QList<PlannedJob> jobs;
    for (int row : rows) {
        jobs << JobOf(*files.At(row));
    }
    return jobs;
}

QList<int> AllRows(const CFileList& files)
{
    QList<int> rows;
    for (int row = 0; row < files.Count(); ++row) {
        rows << row;
    }
    return rows;
}

// Whether the rules every front end and the core share leave out a planned row.
bool AnyRowLeftOut(const CFileList& files)
{
    const QList<LeftOutReason> reasons = FindLeftOutJobs(JobsOfRows(files, AllRows(files)));
    return reasons.count(LeftOutReason::None) != reasons.size();
}

} // namespace

QString CDlgMain::OutputFolder() const
{
    return settings.general.ResultFolder(programFolder);
}

bool CDlgMain::OutputFolderUsable()
{
    QString text;
    if (settings.general.IsOutputFolderMissing()) {
        text = LanguageTextOr(language, UiText::kNoOutputFolder,
                              u"No output folder is set, and the results are not to be written "
                              u"beside their sources. Choose one in the options."_s);
    } else if (const CNamePattern pattern(settings.general.namePattern); !pattern.IsValid()) {
        text = LanguageTextOr(language, UiText::kBadNamePattern,
                              u"The name pattern in the options is not valid:"_s) +
               u'\n' + pattern.Error();
    } else if (!OutputFolder().isEmpty() && !CanMakeFolder(OutputFolder())) {
        text = LanguageTextOr(language, UiText::kFolderNotMade,
                              u"The output folder cannot be created:"_s) +
               u'\n' + OutputFolder();
    }
    if (text.isEmpty()) {
        return true;
    }
    CurrentNotifier()->Notify(INotifier::Icon::Warning,
                              language.GetString(MainText::kWarningCaption), text);
    return false;
}

void CDlgMain::Apply()
{
    PlanRows(TargetRows());
}

bool CDlgMain::PlanRows(const QList<int>& targets)
{
    const int presetIndex = controls.presetCombo->currentIndex();
    const bool decodeOnly = IsDecodeOnlySelected();
    if (!decodeOnly && (currentCoder == nullptr || presetIndex < 0 ||
                        presetIndex >= currentCoder->GetEntries().size())) {
        // A coder without presets plans nothing; the earlier plans stay as they were.
        CurrentNotifier()->Notify(
            INotifier::Icon::Warning, language.GetString(MainText::kWarningCaption),
            LanguageTextOr(language, UiText::kNoPreset,
                           u"The chosen coder has no presets, so nothing was planned."_s));
        return false;
    }
    if (!OutputFolderUsable()) {
        return false;
    }
    CListViewEx* list = controls.fileList;
    list->LockRedraw();
    // Mirrored results keep their place below the common folder of the whole list, so
    // planning a selection gives the same paths as planning everything.
    QString commonFolder;
    if (settings.general.keepFolderStructure != 0 && !OutputFolder().isEmpty()) {
        QStringList paths;
        for (int row = 0; row < fileList.Count(); ++row) {
            paths << fileList.At(row)->path;
        }
        commonFolder = DeepestCommonFolder(paths);
    }
    if (!decodeOnly) {
        QList<const CFileInfo*> targetFiles;
        for (int row : targets) {
            if (const CFileInfo* file = FileAt(row)) {
                targetFiles << file;
            }
        }
        ChooseTempFolder(targetFiles, settings.core.threadsCount);
    }
    // Names from tags are numbered against the results of the rows not planned now.
    QSet<QString> takenNames;
    for (int row = 0; row < fileList.Count(); ++row) {
        const CFileInfo* file = fileList.At(row);
        if (!targets.contains(row) && (file->coder || file->decoder)) {
            takenNames.insert(file->coder ? file->coder->GetOutputFile()
                                          : file->decoder->GetOutputFile());
        }
    }
    QStringList cannotDecode;
    for (int row : targets) {
        if (!PlanRow(row, decodeOnly, presetIndex, commonFolder, takenNames)) {
            cannotDecode << CannotDecodeLine(FileAt(row)->path, FileAt(row)->format, language);
        }
    }
    AdjustFileListColumns();
    list->UnlockRedraw();
    ShowCommandLines();
    // One box for all of them: a folder of covers and logs would otherwise be a box a file.
    if (!cannotDecode.isEmpty()) {
        CurrentNotifier()->Notify(
            INotifier::Icon::Error, language.GetString(MainText::kErrorCaption),
            TextWithFiles(LanguageTextOr(language, StatusText::kCannotDecode,
                                         u"No decoder reads these files, so they are not "
                                         u"planned:"_s),
                          cannotDecode));
    }
    if (settings.general.showWarnings != 0 && AnyRowLeftOut(fileList)) {
        CurrentNotifier()->Notify(INotifier::Icon::Warning,
                                  language.GetString(MainText::kWarningCaption),
                                  language.GetString(MainText::kOwnSourceWarning));
    }
    return true;
}

bool CDlgMain::PlanRow(int row, bool decodeOnly, int presetIndex, const QString& commonFolder,
                       QSet<QString>& takenNames)
{
    CFileInfo* file = FileAt(row);
    if (file == nullptr) {
        return true;
    }
    QString outputFolder = OutputFolder();
    if (!outputFolder.isEmpty() && !commonFolder.isEmpty()) {
        outputFolder = MirroredOutputFolder(outputFolder, commonFolder, file->folder);
    }
    const ResultNaming naming{CNamePattern(settings.general.namePattern),
                              settings.general.fatSafeNames != 0, QString(),
                              settings.general.numberSharedNames != 0 ? &takenNames : nullptr};
    const bool planned =
        PlanFile(*file, decoders, currentCoder, presetIndex, outputFolder, decodeOnly,
                 settings.general.directInput != 0 &&
                     !LoudnessNeedsDecodedAudio(ReplayGainModeOf(settings.general.replayGain,
                                                                 settings.general.replayGainAlbum)),
                 naming);
    UpdateJobColumns(row);
    return planned;
}

void CDlgMain::Reset()
{
    CListViewEx* list = controls.fileList;
    list->LockRedraw();
    for (int row : TargetRows()) {
        if (CFileInfo* file = FileAt(row)) {
            ResetJobs(*file);
            UpdateJobColumns(row);
        }
    }
    ShowCommandLines();
    AdjustFileListColumns();
    list->UnlockRedraw();
}

void CDlgMain::Start()
{
    const auto unplannedRows = [this] {
        QList<int> rows;
        for (int row = 0; row < fileList.Count(); ++row) {
            if (!fileList.At(row)->coder && !fileList.At(row)->decoder) {
                rows << row;
            }
        }
        return rows;
    };
    QList<int> unplanned = unplannedRows();
    QList<int> tried;
    if (unplanned.size() == fileList.Count()) {
        tried = TargetRows();
        if (!PlanRows(tried)) {
            return;
        }
        unplanned = unplannedRows();
    }
    // Rows just planned without success were named in Apply's box: no question about them.
    unplanned.removeIf([&tried](int row) { return tried.contains(row); });
    if (!unplanned.isEmpty() && unplanned.size() < fileList.Count()) {
        const QString plan = IsDecodeOnlySelected() ? controls.coderCombo->currentText()
                                                    : controls.coderCombo->currentText() + u", "_s +
                                                          controls.presetCombo->currentText();
        switch (AskAboutUnplanned(this, int(unplanned.size()), fileList.Count(), plan, language)) {
        case UnplannedChoice::PlanThem:
            if (!PlanRows(unplanned)) {
                return;
            }
            break;
        case UnplannedChoice::OnlyPlanned:
            break;
        case UnplannedChoice::Cancel:
            return;
        }
    }
    QSet<int> rows;
    for (int row = 0; row < fileList.Count(); ++row) {
        rows.insert(row);
    }
    StartRows(rows);
}

void CDlgMain::RetryFailed()
{
    QSet<int> rows;
    for (int row = 0; row < fileList.Count(); ++row) {
        const CFileInfo& file = *fileList.At(row);
        if (file.lastRunFailed && (file.coder || file.decoder)) {
            rows.insert(row);
        }
    }
    if (rows.isEmpty()) {
        // Nothing is wrong: an information, under the command's name.
        CurrentNotifier()->Notify(
            INotifier::Icon::Information,
            WithoutAccessKey(LanguageTextOr(language, UiText::kRetryFailed, u"Retry failed"_s)),
            RunReport::Text(language, RunReport::kNothingFailed,
                            u"No file failed in the last conversion."_s));
        return;
    }
    StartRows(rows);
}

void CDlgMain::StartRows(const QSet<int>& wanted)
{
    // By the rules every front end and the core share; results newer than their sources are
    // skipped before anybody is asked about replacing.
    const QList<int> rows = AllRows(fileList);
    QList<bool> wantedRows;
    for (int row : rows) {
        wantedRows << wanted.contains(row);
    }
    const StartSorting sorting = SortJobsForStart(JobsOfRows(fileList, rows), wantedRows,
                                                  settings.general.skipUpToDate != 0);
    ReportLeftOutRows(QList<int>(sorting.leftOut.cbegin(), sorting.leftOut.cend()));
    const QList<int> replacing(sorting.replacing.cbegin(), sorting.replacing.cend());
    // A set: a whole library may be left out when the user keeps the existing results.
    const QSet<qsizetype> notRun =
        sorting.NotRun(replacing.isEmpty() || ConfirmReplacing(replacing));
    QList<CFileInfo*> queued;
    for (int row : rows) {
        if (wanted.contains(row) && !notRun.contains(row)) {
            queued << fileList.At(row);
        }
    }
    queued = OrderForStart(queued, settings.general.startLongFilesFirst != 0);
    QString failedFolder;
    if (!CreateOutputFolders(queued, &failedFolder)) {
        CurrentNotifier()->Notify(INotifier::Icon::Warning,
                                  language.GetString(MainText::kWarningCaption),
                                  LanguageTextOr(language, UiText::kFolderNotMade,
                                                 u"The output folder cannot be created:"_s) +
                                      u'\n' + failedFolder);
        return;
    }
    QueueFiles(core, queued);
    QElapsedTimer runClock;
    runClock.start();
    if (core.GetTotalCount() <= 0) {
        ShowRunStates(sorting, wanted, queued, runClock.elapsed());
        ReportSkippedOnly(int(sorting.upToDate.size()));
        return;
    }
    core.SetResultOptions(
        {settings.general.copyTags != 0, settings.general.atomicOutputs != 0,
         ReplayGainModeOf(settings.general.replayGain, settings.general.replayGainAlbum)});
    core.Start();
    CDlgJobControl jobControl(language, settings.core.priority, core, this);
    jobControl.SetFailureSource([this] { return core.GetRunResults(); },
                                [this](const RunResult& run) { return SourceOfRun(run); });
    jobControl.SetSkippedCount(int(sorting.upToDate.size()));
    jobControl.SetHeldResultSource([this] { return core.GetHeldResultCount(); });
    jobControl.SetAudioProgressSource(
        [this, queued] { return MeasureAudioProgress(queued, core.GetRunResults()); });
    jobControl.exec();
    RememberFailedRows(queued);
    ShowRunStates(sorting, wanted, queued, runClock.elapsed());
}

void CDlgMain::ShowRunStates(const StartSorting& sorting, const QSet<int>& wanted,
                             const QList<CFileInfo*>& queued, qint64 elapsedMs)
{
    QHash<const IProcess*, const RunResult*> runs;
    const QList<RunResult> results = core.GetRunResults();
    for (const RunResult& run : results) {
        if (!runs.contains(run.process) || run.Failed()) {
            runs[run.process] = &run;
        }
    }
    SessionCounts counts;
    for (int row = 0; row < fileList.Count(); ++row) {
        CFileInfo* file = fileList.At(row);
        if (!wanted.contains(row) || (!file->coder && !file->decoder)) {
            continue;
        }
        if (sorting.upToDate.contains(row)) {
            ShowRowState(row, FileState::UpToDate);
            ++counts.upToDate;
        } else if (!queued.contains(file)) {
            ShowRowState(row, FileState::LeftOut,
                         sorting.leftOut.contains(row)
                             ? LanguageTextOr(language, UiText::kJobsLeftOut, QString())
                             : LanguageTextOr(language, UiText::kReplaceOutputs, QString()));
            ++counts.leftOut;
        } else {
            const RunResult* failed = nullptr;
            bool reached = false;
            for (const IProcess* process : {static_cast<IProcess*>(file->decoder.get()),
                                            static_cast<IProcess*>(file->coder.get())}) {
                if (const RunResult* run = runs.value(process); run != nullptr) {
                    reached = true;
                    failed = failed ? failed : (run->Failed() ? run : nullptr);
                }
            }
            if (failed) {
                ShowRowState(row, FileState::Failed,
                             RunReport::Failure(*failed, file->path, language));
                ++counts.failed;
            } else if (reached) {
                ShowRowState(row, FileState::Converted);
                ++counts.converted;
            } else {
                ShowRowState(row, FileState::Stopped);
                ++counts.stopped;
            }
        }
    }
    AdjustFileListColumns();
    ShowRunSummary(counts, elapsedMs);
}

void CDlgMain::ShowRunSummary(const SessionCounts& counts, qint64 elapsedMs)
{
    controls.runSummary->setText(
        RunSummaryText(counts, elapsedMs,
                       QLocale().toString(QTime::currentTime(), QLocale::ShortFormat), language));
}

void CDlgMain::ReportSkippedOnly(int skipped)
{
    if (skipped <= 0) {
        return;
    }
    CurrentNotifier()->Notify(
        INotifier::Icon::Information, language.GetString(MainText::kWarningCaption),
        RunReport::Text(language, RunReport::kSkippedFiles,
                        u"Files skipped because their output is up to date: %1"_s)
            .arg(skipped));
}

void CDlgMain::RememberFailedRows(const QList<CFileInfo*>& files)
{
    // Rows the run never reached (a stop) keep what they knew.
    QHash<const IProcess*, bool> failedProcesses;
    for (const RunResult& run : core.GetRunResults()) {
        failedProcesses[run.process] = failedProcesses.value(run.process) || run.Failed();
    }
    for (CFileInfo* queuedFile : files) {
        CFileInfo& file = *queuedFile;
        const IProcess* runs[] = {file.decoder.get(), file.coder.get()};
        bool reached = false;
        bool failed = false;
        for (const IProcess* process : runs) {
            if (process && failedProcesses.contains(process)) {
                reached = true;
                failed = failed || failedProcesses.value(process);
            }
        }
        if (reached) {
            file.lastRunFailed = failed;
        }
    }
}

QStringList CDlgMain::SourcesOfRows(const QList<int>& rows) const
{
    QStringList sources;
    for (int row : rows) {
        sources << fileList.At(row)->path;
    }
    return sources;
}

void CDlgMain::ReportLeftOutRows(const QList<int>& rows)
{
    if (rows.isEmpty()) {
        return;
    }
    // Said even with warnings off: the user expects every planned file to be converted.
    CurrentNotifier()->Notify(
        INotifier::Icon::Warning, language.GetString(MainText::kWarningCaption),
        TextWithFiles(LanguageTextOr(language, UiText::kJobsLeftOut,
                                     u"These files are left out: their output would replace "
                                     "their own source, another job's source or another "
                                     "job's output."_s),
                      SourcesOfRows(rows)));
}

bool CDlgMain::ConfirmReplacing(const QList<int>& rows)
{
    // Encoders replace an existing file without asking, so the user is asked here, unless
    // they turned warnings off.
    if (settings.general.showWarnings == 0) {
        return true;
    }
    return CurrentNotifier()->Confirm(
        language.GetString(MainText::kWarningCaption),
        TextWithFiles(LanguageTextOr(language, UiText::kReplaceOutputs,
                                     u"The results of these files exist already. Replace them?"_s),
                      SourcesOfRows(rows)));
}

QString CDlgMain::SourceOfRun(const RunResult& run) const
{
    for (int row = 0; row < fileList.Count(); ++row) {
        const CFileInfo& file = *fileList.At(row);
        if (file.coder.get() == run.process || file.decoder.get() == run.process) {
            return file.path;
        }
    }
    return run.inputFile;
}
