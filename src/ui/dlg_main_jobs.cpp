#include "extensions/language_pack.h"
#include "foundation/notifier.h"
#include "foundation/path_helpers.h"
#include "planning/file_info.h"
#include "planning/name_pattern.h"
#include "planning/output_tree.h"
#include "report/run_report.h"
#include "report/time_estimate.h"
#include "ui/dlg_job_control.h"
#include "ui/dlg_main.h"
#include "ui/installation_texts.h"
#include "ui/list_view_ex.h"
#include "ui/main_window_status.h"
#include "ui/main_window_texts.h"
#include "ui/ui_texts.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLocale>
#include <QSet>
#include <QTime>

using namespace Qt::StringLiterals;

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
    const QList<int> planned = Session().Plan(targets, currentCoder, presetIndex, decodeOnly);
    QStringList cannotDecode;
    for (int row : targets) {
        UpdateJobColumns(row);
        if (!planned.contains(row)) {
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
    if (settings.general.showWarnings != 0 && !Session().Colliding().isEmpty()) {
        CurrentNotifier()->Notify(INotifier::Icon::Warning,
                                  language.GetString(MainText::kWarningCaption),
                                  language.GetString(MainText::kOwnSourceWarning));
    }
    return true;
}

void CDlgMain::Reset()
{
    CListViewEx* list = controls.fileList;
    list->LockRedraw();
    const QList<int> targets = TargetRows();
    Session().Reset(targets);
    for (int row : targets) {
        UpdateJobColumns(row);
    }
    ShowCommandLines();
    AdjustFileListColumns();
    list->UnlockRedraw();
}

QList<int> CDlgMain::UnplannedRows() const
{
    QList<int> rows;
    for (int row = 0; row < fileList.Count(); ++row) {
        if (!fileList.At(row)->coder && !fileList.At(row)->decoder) {
            rows << row;
        }
    }
    return rows;
}

void CDlgMain::Start()
{
    QList<int> unplanned = UnplannedRows();
    // A coder whose program is missing would fail every file: refused once, before anything.
    QList<CCodec*> used{unplanned.isEmpty() || IsDecodeOnlySelected() ? nullptr : currentCoder};
    for (int row = 0; row < fileList.Count(); ++row) {
        used << fileList.At(row)->coder.get();
    }
    if (RefuseMissingPrograms(used, language)) {
        return;
    }
    QList<int> tried;
    if (unplanned.size() == fileList.Count()) {
        tried = TargetRows();
        if (!PlanRows(tried)) {
            return;
        }
        unplanned = UnplannedRows();
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
    StartRows({});
}

void CDlgMain::RetryFailed()
{
    // The files' own marks, which the session keeps: they outlive a change of the list, which
    // makes the session forget its states.
    QList<int> rows;
    for (int row = 0; row < fileList.Count(); ++row) {
        const CFileInfo& file = *fileList.At(row);
        if (file.lastRunFailed && (file.coder || file.decoder)) {
            rows << row;
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

void CDlgMain::StartRows(const QList<int>& wanted)
{
    CConversionSession& run = Session();
    // Results newer than their sources are skipped before anybody is asked about replacing.
    const QList<int> replacing = run.Sort(wanted);
    const QList<int> considered = wanted.isEmpty() ? PlannedRows() : wanted;
    QList<int> collided;
    int upToDate = 0;
    for (int row : considered) {
        const LeftOutCause cause = run.Cause(row);
        if (cause == LeftOutCause::OwnInput || cause == LeftOutCause::OtherSource ||
            cause == LeftOutCause::SharedOutput) {
            collided << row;
        }
        upToDate += run.State(row) == FileState::UpToDate ? 1 : 0;
    }
    ReportLeftOutRows(collided);
    runClock.start();
    const bool started = run.Start(replacing.isEmpty() || ConfirmReplacing(replacing));
    if (!run.FolderNotMade().isEmpty()) {
        CurrentNotifier()->Notify(INotifier::Icon::Warning,
                                  language.GetString(MainText::kWarningCaption),
                                  LanguageTextOr(language, UiText::kFolderNotMade,
                                                 u"The output folder cannot be created:"_s) +
                                      u'\n' + run.FolderNotMade());
    }
    if (!started) {
        ShowRunSummary(run.Counts(), runClock.elapsed());
        ReportSkippedOnly(upToDate);
        return;
    }
    CDlgJobControl jobControl(language, settings.core.priority, core, this);
    jobControl.FollowSession(run);
    jobControl.SetSkippedCount(upToDate);
    jobControl.exec();
}

QList<int> CDlgMain::PlannedRows() const
{
    QList<int> rows;
    for (int row = 0; row < fileList.Count(); ++row) {
        if (fileList.At(row)->coder || fileList.At(row)->decoder) {
            rows << row;
        }
    }
    return rows;
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

void CDlgMain::ShowRunOnDesktop()
{
    if (!session || !session->IsRunning())
        return;
    const AudioProgress progress = session->Progress();
    const SessionCounts counts = session->Counts();
    const double share = progress.totalMs > 0 ? double(progress.doneMs) / progress.totalMs : 0.0;
    desktop.ShowLauncherProgress(share, counts.queued + counts.running + counts.held);
}

void CDlgMain::TellDesktopRunEnded(const SessionCounts& counts, qint64 elapsedMs)
{
    desktop.ClearLauncherProgress();
    if (settings.general.notifyWhenDone == 0 || isActiveWindow())
        return;
    const QString body = LanguageTextOr(language, UiText::kRunDoneBody,
                                        u"%1 converted, %2 failed, %3 left out in %4"_s)
                             .arg(counts.converted)
                             .arg(counts.failed)
                             .arg(counts.leftOut)
                             .arg(FormatDuration(elapsedMs));
    desktop.Notify(LanguageTextOr(language, UiText::kRunDone, u"Conversion finished"_s), body,
                   counts.failed > 0);
}
