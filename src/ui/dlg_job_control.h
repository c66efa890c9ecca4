#pragma once

#include "report/time_estimate.h"
#include "run/core.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>
#include <functional>
#include <optional>
#include <utility>

class CConversionSession;
class CLanguagePack;
class CSortListViewEx;
class ICore;
class QComboBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;

// The modal window shown while the core converts: the running programs, how many processes
// have started out of how many, the processor load, the priority of the running programs and
// Stop. It polls the core twice a second, and closes itself as soon as the core has finished.
class CDlgJobControl : public QDialog
{
    Q_OBJECT

public:
    // Results of exec().
    static constexpr int kResultClosed = 0;
    static constexpr int kResultStopped = 1038;
    static constexpr int kRefreshIntervalMs = 500;

    // priority is the "Priority" setting (an index 0..3); it is changed when the user picks
    // another priority.
    CDlgJobControl(CLanguagePack& language, int& priority, ICore& core, QWidget* parent);
    ~CDlgJobControl() override;

    // Where the runs' results are learnt from (the failed ones are counted and reported, and
    // results whose tags could not be written), and the file each is reported with. Without it
    // the window shows no failures.
    using FailedRunsSource = std::function<QList<RunResult>()>;
    using FileOfRun = std::function<QString(const RunResult&)>;
    void SetFailureSource(FailedRunsSource failedRuns, FileOfRun fileOfRun);
    // How much of the queued audio is done, for the bar and the time remaining. Without it the
    // window shows no times and its bar counts started programs.
    using AudioProgressSource = std::function<AudioProgress()>;
    void SetAudioProgressSource(AudioProgressSource source);

    // Jobs left out at Start because their results are up to date: a status line and the end
    // message say how many.
    void SetSkippedCount(int count);
    // The results that wait under hidden names for the rest of their album.
    void SetHeldResultSource(std::function<int()> source) { heldResultSource = std::move(source); }

    // Takes the failures, the held results, the audio progress and the end of the run from the
    // session's states of its files instead of the core's runs.
    void FollowSession(CConversionSession& session);

    // One cycle of the refresh: rows, bar and status text from the core, then close the
    // window when the core no longer runs.
    void Refresh();

    // Escape does nothing: only Stop, the close box and the end of the run close the window.
    void reject() override {}

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls();
    void SetTexts();
    void FillRows();
    void UpdateStatus();
    void ShowProgress(int started, int total, const std::optional<AudioProgress>& audio);
    void OnPriorityChanged(int index);
    void OnStop();
    void OnRunEnded();
    bool RunGoesOn();
    // The programs running now, and how many files (or, without a session, programs) have
    // started out of how many.
    QList<IProcess*> RunningPrograms();
    std::pair<int, int> StartedAndTotal();
    void Finish(int result);
    void ReportFailures();
    void ReportUnwrittenTags(const QList<RunResult>& results);

    CLanguagePack& language;
    int& priority;
    ICore& core;
    QTimer refreshTimer;
    bool finished = false;
    FailedRunsSource failedRunsSource;
    FileOfRun fileOfRunSource;
    AudioProgressSource audioProgressSource;
    static constexpr int kAudioBarSteps = 1000;
    QElapsedTimer elapsed; // since the window opened, right after Start
    int failedCount = 0;
    int skippedCount = 0;
    std::function<int()> heldResultSource;
    CConversionSession* session = nullptr;

    CSortListViewEx* jobList = nullptr;
    QProgressBar* progressBar = nullptr;
    QGroupBox* statusGroup = nullptr;
    QLabel* statusText = nullptr;
    QLabel* priorityLabel = nullptr;
    QComboBox* priorityCombo = nullptr;
    QPushButton* stopButton = nullptr;
};

// The priority class for a "Priority" index (idle, normal, high, realtime); 0 for any other.
quint32 PriorityClassForIndex(int index);
