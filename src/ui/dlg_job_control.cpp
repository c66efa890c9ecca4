#include "ui/dlg_job_control.h"

#include "codecs/codec.h"
#include "extensions/language_choice.h"
#include "extensions/language_pack.h"
#include "foundation/console_log.h"
#include "foundation/notifier.h"
#include "foundation/path_helpers.h"
#include "report/run_report.h"
#include "session/conversion_session.h"
#include "ui/dialog_units.h"
#include "ui/sort_list_view_ex.h"
#include "ui/ui_texts.h"

#include <QBoxLayout>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <orvel/icore.h>

using namespace Qt::StringLiterals;

namespace {

namespace Text {
constexpr int kCoder = 105;
constexpr int kPriority = 138;
constexpr int kPriorityIdle = 139; // 139..142: idle, normal, high, realtime
constexpr int kDecoder = 149;
constexpr int kKindColumn = 160;
constexpr int kStop = 161;
constexpr int kProgramColumn = 162;
constexpr int kTitle = 163;
constexpr int kInputColumn = 164;
constexpr int kOutputColumn = 165;
constexpr int kDetails = 168;
constexpr int kCpuUsage = 169;
constexpr int kWaiting = 170;
constexpr int kStarted = 171;
constexpr int kTotal = 172;
constexpr int kErrorCaption = 119;
constexpr int kWarningCaption = 120;
} // namespace Text

constexpr int kColumnCount = 4;
constexpr int kPriorityCount = 4;
constexpr int kWindowWidth = 340; // dialog units
constexpr int kWindowHeight = 172;

QString FileNameOf(const QString& path)
{
    return FileNamePart(CleanedPath(path));
}

} // namespace

quint32 PriorityClassForIndex(int index)
{
    static constexpr quint32 classes[kPriorityCount] = {kPriorityIdle, kPriorityNormal,
                                                        kPriorityHigh, kPriorityRealtime};
    return index >= 0 && index < kPriorityCount ? classes[index] : 0;
}

CDlgJobControl::CDlgJobControl(CLanguagePack& languagePack, int& priorityIndex, ICore& jobCore,
                               QWidget* parent)
    : QDialog(parent), language(languagePack), priority(priorityIndex), core(jobCore)
{
    setObjectName(u"jobControl"_s);
    setModal(true);
    CreateControls();
    SetTexts();
    elapsed.start();
    refreshTimer.setInterval(kRefreshIntervalMs);
    connect(&refreshTimer, &QTimer::timeout, this, &CDlgJobControl::Refresh);
    // The window closes as the last run ends, not at the next poll; the poll stays for the
    // counters. Posted: the core calls from a worker with its lock held.
    if (auto* engine = dynamic_cast<CCore*>(&core)) {
        engine->SetRunEndedCallback([this] {
            QMetaObject::invokeMethod(this, &CDlgJobControl::OnRunEnded, Qt::QueuedConnection);
        });
    }
}

CDlgJobControl::~CDlgJobControl()
{
    if (auto* engine = dynamic_cast<CCore*>(&core))
        engine->SetRunEndedCallback({});
}

void CDlgJobControl::OnRunEnded()
{
    // Before exec() has shown the window, its first cycle does this.
    if (refreshTimer.isActive())
        Refresh();
}

void CDlgJobControl::CreateControls()
{
    const DialogUnits du(font());
    jobList = new CSortListViewEx(this);
    jobList->setObjectName(u"jobList"_s);
    jobList->SetGridLines(true);
    jobList->setSelectionMode(QAbstractItemView::SingleSelection);
    progressBar = new QProgressBar(this);
    progressBar->setObjectName(u"progressBar"_s);
    progressBar->setTextVisible(false);

    statusGroup = new QGroupBox(this);
    statusGroup->setObjectName(u"statusGroup"_s);
    statusText = new QLabel(statusGroup);
    statusText->setObjectName(u"statusText"_s);
    statusText->setTextFormat(Qt::PlainText);
    statusText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Room for every line from the start, so the window does not jump when text arrives.
    statusText->setMinimumHeight(statusText->fontMetrics().lineSpacing() * 6);
    auto* statusLayout = new QVBoxLayout(statusGroup);
    statusLayout->addWidget(statusText);

    priorityLabel = new QLabel(this);
    priorityLabel->setObjectName(u"priorityLabel"_s);
    priorityCombo = new QComboBox(this);
    priorityCombo->setObjectName(u"priorityCombo"_s);
    stopButton = new QPushButton(this);
    stopButton->setObjectName(u"stopButton"_s);
    // Enter must not stop a run: the key that pressed Start may still be repeating.
    stopButton->setAutoDefault(false);
    priorityLabel->setBuddy(priorityCombo);

    auto* controls = new QVBoxLayout;
    controls->addWidget(priorityLabel);
    controls->addWidget(priorityCombo);
    controls->addStretch(1);
    controls->addWidget(stopButton);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(statusGroup, 1);
    bottom->addLayout(controls);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(jobList, 1);
    layout->addWidget(progressBar);
    layout->addLayout(bottom);

    resize(du.Size(kWindowWidth, kWindowHeight).expandedTo(layout->totalMinimumSize()));
    connect(stopButton, &QPushButton::clicked, this, &CDlgJobControl::OnStop);
}

void CDlgJobControl::SetTexts()
{
    setWindowTitle(language.GetString(Text::kTitle));
    statusGroup->setTitle(language.GetString(Text::kDetails));
    priorityLabel->setText(language.GetString(Text::kPriority));
    stopButton->setText(language.GetString(Text::kStop));
    for (int column :
         {Text::kKindColumn, Text::kProgramColumn, Text::kInputColumn, Text::kOutputColumn}) {
        jobList->InsertColumn(jobList->GetColumnCount(), language.GetString(column));
    }
    jobList->AutoSizeColumns(-1);

    for (int i = 0; i < kPriorityCount; ++i) {
        priorityCombo->addItem(language.GetString(Text::kPriorityIdle + i));
    }
    priorityCombo->setCurrentIndex(priority >= 0 && priority < kPriorityCount ? priority : -1);
    connect(priorityCombo, &QComboBox::currentIndexChanged, this,
            &CDlgJobControl::OnPriorityChanged);
}

void CDlgJobControl::SetFailureSource(FailedRunsSource failedRuns, FileOfRun fileOfRun)
{
    failedRunsSource = std::move(failedRuns);
    fileOfRunSource = std::move(fileOfRun);
}

void CDlgJobControl::SetSkippedCount(int count)
{
    skippedCount = count;
}

void CDlgJobControl::SetAudioProgressSource(AudioProgressSource source)
{
    audioProgressSource = std::move(source);
}

void CDlgJobControl::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!refreshTimer.isActive() && !finished) {
        refreshTimer.start();
        // The first cycle waits for exec()'s own loop: a run that has already ended would
        // otherwise close the window before exec() could notice, and exec() would never return.
        QMetaObject::invokeMethod(this, &CDlgJobControl::Refresh, Qt::QueuedConnection);
    }
}

void CDlgJobControl::Refresh()
{
    if (finished) {
        return;
    }
    setUpdatesEnabled(false);
    FillRows();
    UpdateStatus();
    if (RunGoesOn()) {
        jobList->AutoSizeColumns(-1);
        setUpdatesEnabled(true);
        return;
    }
    setUpdatesEnabled(true);
    Finish(kResultClosed);
}

bool CDlgJobControl::RunGoesOn()
{
    // The session's run ends once every file has its final state, which may come a moment
    // after the core's last worker: the end message must see them all.
    return session ? session->IsRunning() : core.IsRunning();
}

void CDlgJobControl::FollowSession(CConversionSession& run)
{
    session = &run;
    const auto sourceOf = [&run](const IProcess* process) {
        for (int index : run.StartOrder()) {
            const CFileInfo* file = run.File(index);
            if (file->decoder.get() == process || file->coder.get() == process)
                return file->path;
        }
        return QString();
    };
    SetFailureSource(
        [this, &run] {
            QList<RunResult> results;
            for (int index : run.StartOrder()) {
                if (const RunResult* failed = run.FailedRun(index))
                    results << *failed;
            }
            // Tags that could not be written leave a converted file: only the core knows them.
            auto* engine = dynamic_cast<CCore*>(&core);
            for (const RunResult& result : engine ? engine->GetRunResults() : QList<RunResult>()) {
                if (!result.Failed() && !result.tagError.isEmpty())
                    results << result;
            }
            return results;
        },
        [sourceOf](const RunResult& result) {
            const QString path = sourceOf(result.process);
            return path.isEmpty() ? result.inputFile : path;
        });
    SetHeldResultSource([&run] { return run.Counts().held; });
    SetAudioProgressSource([&run] { return run.Progress(); });
    connect(&run, &CConversionSession::RunEnded, this, &CDlgJobControl::OnRunEnded);
}

QList<IProcess*> CDlgJobControl::RunningPrograms()
{
    QList<IProcess*> running;
    if (!session) {
        core.GetRunningProcesses(running);
        return running;
    }
    for (int index : session->StartOrder()) {
        const CFileInfo* file = session->File(index);
        const FileState state = session->State(index);
        if (state == FileState::Decoding && file->decoder)
            running << file->decoder.get();
        else if (state == FileState::Coding && file->coder)
            running << file->coder.get();
    }
    return running;
}

// Programs, as the window has always counted them: a decoder and its coder are two.
std::pair<int, int> CDlgJobControl::StartedAndTotal()
{
    return {core.GetStartedCount(), core.GetTotalCount()};
}

void CDlgJobControl::FillRows()
{
    const QList<IProcess*> running = RunningPrograms();

    // Rows are reused: only the difference in count is inserted at or removed from the top.
    jobList->LockRedraw();
    while (jobList->GetRowCount() < running.size()) {
        jobList->SetCell(0, 0, QString());
    }
    while (jobList->GetRowCount() > running.size()) {
        jobList->DeleteRow(0);
    }
    for (int row = 0; row < running.size(); ++row) {
        IProcess* process = running[row];
        const bool coder = process->GetKind() == kCoderRun;
        jobList->SetCellText(row, 0, language.GetString(coder ? Text::kCoder : Text::kDecoder));
        jobList->SetCellText(row, 1, FileNameOf(process->GetExecutable()));
        if (auto* codec = dynamic_cast<CCodec*>(process)) {
            jobList->SetCellText(row, 2, FileNameOf(codec->GetInputFile()));
            jobList->SetCellText(row, 3, FileNameOf(codec->GetOutputFile()));
        }
    }
    jobList->UnlockRedraw();
}

// The bar follows the audio where the run's audio is known (long files weigh as they take),
// else the programs started.
void CDlgJobControl::ShowProgress(int started, int total, const std::optional<AudioProgress>& audio)
{
    if (audio && audio->totalMs > 0) {
        progressBar->setRange(0, kAudioBarSteps);
        progressBar->setValue(int(qBound<qint64>(
            qint64(0), audio->doneMs * kAudioBarSteps / audio->totalMs, qint64(kAudioBarSteps))));
        return;
    }
    progressBar->setRange(0, qMax(total, 1));
    progressBar->setValue(qBound(0, started, qMax(total, 1)));
}

void CDlgJobControl::UpdateStatus()
{
    const auto [started, total] = StartedAndTotal();
    // After a stop the total is 0; the share is then shown as 0 rather than divided by it.
    const double percent = total > 0 ? double(started) / double(total) * 100.0 : 0.0;

    const std::optional<AudioProgress> audio =
        audioProgressSource ? std::optional(audioProgressSource()) : std::nullopt;
    ShowProgress(started, total, audio);

    // Shares as the pack writes them ("50.00%", "50,00 %").
    QString text = language.GetString(Text::kCpuUsage) + u": "_s +
                   LanguagePercent(language, core.GetCpuUsage(), 0) + u'\n';
    text += language.GetString(Text::kStarted) +
            u": %1 (%2)\n"_s.arg(started).arg(LanguagePercent(language, percent, 2));
    text +=
        language.GetString(Text::kWaiting) +
        u": %1 (%2)\n"_s.arg(total - started).arg(LanguagePercent(language, 100.0 - percent, 2));
    text += language.GetString(Text::kTotal) + QString::asprintf(": %d", total);
    if (failedRunsSource) {
        const QList<RunResult> results = failedRunsSource();
        failedCount = static_cast<int>(std::count_if(results.cbegin(), results.cend(),
                                                     [](const auto& r) { return r.Failed(); }));
        text += u'\n' + LanguageTextOr(language, UiText::kFailedProcesses, u"Failed processes"_s) +
                QString::asprintf(": %d", failedCount);
    }
    if (const int held = heldResultSource ? heldResultSource() : 0; held > 0) {
        text +=
            u'\n' +
            LanguageTextOr(language, UiText::kHeldResults, u"Results waiting for their album"_s) +
            QString::asprintf(": %d", held);
    }
    if (skippedCount > 0) {
        text += u'\n' +
                RunReport::Text(language, RunReport::kSkippedStatus, u"Skipped (up to date)"_s) +
                QString::asprintf(": %d", skippedCount);
    }
    if (audio) {
        text += u'\n' + TimeStatusText(
                            LanguageTextOr(language, UiText::kElapsedTime, u"Elapsed time"_s),
                            LanguageTextOr(language, UiText::kTimeRemaining, u"Time remaining"_s),
                            LanguageTextOr(language, UiText::kEstimating, u"estimating"_s),
                            elapsed.elapsed(), *audio);
    }
    statusText->setText(text);
}

void CDlgJobControl::OnPriorityChanged(int index)
{
    priority = index;
    if (const quint32 priorityClass = PriorityClassForIndex(index)) {
        core.SetPriority(priorityClass);
    }
}

void CDlgJobControl::OnStop()
{
    core.Stop();
    Finish(kResultStopped);
}

void CDlgJobControl::closeEvent(QCloseEvent* event)
{
    event->accept();
    if (finished) {
        return;
    }
    if (RunGoesOn()) {
        core.Stop();
    }
    Finish(kResultClosed);
}

void CDlgJobControl::Finish(int result)
{
    finished = true;
    refreshTimer.stop();
    done(result);
    ReportFailures();
}

void CDlgJobControl::ReportFailures()
{
    const QList<RunResult> results = failedRunsSource ? failedRunsSource() : QList<RunResult>();
    // One line per file, for the first of its runs that failed: a coder not started because
    // its decoder failed says nothing the decoder's line does not.
    QStringList files;
    QStringList lines;
    for (const RunResult& run : results) {
        if (!run.Failed())
            continue;
        const QString file = fileOfRunSource ? fileOfRunSource(run) : run.inputFile;
        RunReport::LogFailure(run, file, language);
        if (!files.contains(file)) {
            files << file;
            lines << RunReport::Failure(run, file, language);
        }
    }
    ReportUnwrittenTags(results);
    const QString skipped =
        skippedCount > 0
            ? RunReport::Text(language, RunReport::kSkippedFiles,
                              u"Files skipped because their output is up to date: %1"_s)
                  .arg(skippedCount)
            : QString();
    if (lines.isEmpty()) {
        if (!skipped.isEmpty())
            CurrentNotifier()->Notify(INotifier::Icon::Information, windowTitle(), skipped);
        return;
    }
    QString text = TextWithFiles(
        LanguageTextOr(language, UiText::kFilesFailed, u"These files could not be converted:"_s),
        lines);
    if (!skipped.isEmpty())
        text += u"\n\n"_s + skipped;
    CurrentNotifier()->Notify(INotifier::Icon::Error, language.GetString(Text::kErrorCaption),
                              text);
}

void CDlgJobControl::ReportUnwrittenTags(const QList<RunResult>& results)
{
    QStringList lines;
    for (const RunResult& run : results) {
        if (run.tagError.isEmpty() || run.Failed())
            continue;
        const QString file = fileOfRunSource ? fileOfRunSource(run) : run.inputFile;
        ConsoleLog::Instance().Append(run.tagError);
        lines << file + u": "_s + run.tagError;
    }
    if (lines.isEmpty())
        return;
    CurrentNotifier()->Notify(
        INotifier::Icon::Warning, language.GetString(Text::kWarningCaption),
        TextWithFiles(RunReport::Text(language, RunReport::kTagsNotWritten,
                                      u"Tags could not be written for these files (their audio "
                                      u"is kept):"_s),
                      lines));
}
