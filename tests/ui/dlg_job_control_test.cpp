#include "foundation/console_log.h"
#include "support/notifier_recorder.h"
#include "ui/dlg_job_control.h"
#include "ui/sort_list_view_ex.h"
#include "ui_test_support.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// A core whose state the test sets; it records what the window asks of it.
class CScriptedCore : public ICore
{
public:
    virtual ~CScriptedCore() = default;
    bool Start() override { return true; }
    bool AddProcess(IProcess*) override { return true; }
    void ClearQueue() override {}
    bool Stop() override
    {
        ++stopCalls;
        running = false;
        started = total = 0;
        processes.clear();
        return true;
    }
    void SetPriority(quint32 priorityClass) override { priorities << priorityClass; }
    void SetThreadsCount(int) override {}
    double GetCpuUsage() override { return cpu; }
    int GetStartedCount() override { return started; }
    int GetLaunchedCount() override { return started; }
    int GetTotalCount() override { return total; }
    void GetRunningProcesses(QList<IProcess*>& list) override { list = processes; }
    bool IsRunning() override { return running; }

    bool running = true;
    int started = 0;
    int total = 0;
    double cpu = 0.0;
    QList<IProcess*> processes;
    int stopCalls = 0;
    QList<quint32> priorities;
};

template <typename Codec>
std::unique_ptr<Codec> MakeRun(const QString& executable, const QString& input,
                               const QString& output)
{
    auto run = std::make_unique<Codec>();
    run->SetExecutable(executable);
    run->SetInputFile(input);
    run->SetOutputFile(output);
    return run;
}

class DlgJobControlTest : public ::testing::Test
{
protected:
    CLanguagePack& language = EnglishPack();
    CScriptedCore core;
    int priority = 1;
};

QStringList Row(CSortListViewEx* list, int row)
{
    QStringList cells;
    for (int column = 0; column < list->GetColumnCount(); ++column) {
        cells << list->GetCellText(row, column);
    }
    return cells;
}

} // namespace

TEST_F(DlgJobControlTest, ShowsRunningProgramsAndProgress)
{
    auto decoder = MakeRun<CDecoder>(u"/usr/bin/flac"_s, u"/music/a b.flac"_s, u"/tmp/orv1.wav"_s);
    auto coder = MakeRun<CCoder>(u"/usr/bin/lame"_s, u"/tmp/orv2.wav"_s, u"/music/c.mp3"_s);
    core.processes = QList<IProcess*>{decoder.get(), coder.get()};
    core.started = 1;
    core.total = 4;
    core.cpu = 37.4;

    CDlgJobControl window(language, priority, core, nullptr);
    window.Refresh();

    auto* list = window.findChild<CSortListViewEx*>(u"jobList"_s);
    ASSERT_EQ(list->GetRowCount(), 2);
    EXPECT_EQ(Row(list, 0),
              (QStringList{language.GetString(149), u"flac"_s, u"a b.flac"_s, u"orv1.wav"_s}));
    EXPECT_EQ(Row(list, 1),
              (QStringList{language.GetString(105), u"lame"_s, u"orv2.wav"_s, u"c.mp3"_s}));

    auto* bar = window.findChild<QProgressBar*>(u"progressBar"_s);
    EXPECT_EQ(bar->maximum(), 4);
    EXPECT_EQ(bar->value(), 1);
    const QStringList lines = window.findChild<QLabel*>(u"statusText"_s)->text().split(u'\n');
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], language.GetString(169) + u": 37%"_s);
    EXPECT_EQ(lines[1], language.GetString(171) + u": 1 (25.00%)"_s);
    EXPECT_EQ(lines[2], language.GetString(170) + u": 3 (75.00%)"_s);
    EXPECT_EQ(lines[3], language.GetString(172) + u": 4"_s);
}

TEST_F(DlgJobControlTest, RowsAreReusedAsProcessesComeAndGo)
{
    auto first = MakeRun<CDecoder>(u"/bin/flac"_s, u"/m/1.flac"_s, u"/t/1.wav"_s);
    auto second = MakeRun<CDecoder>(u"/bin/flac"_s, u"/m/2.flac"_s, u"/t/2.wav"_s);
    auto coder = MakeRun<CCoder>(u"/bin/lame"_s, u"/t/1.wav"_s, u"/m/1.mp3"_s);
    core.total = 4;
    CDlgJobControl window(language, priority, core, nullptr);
    auto* list = window.findChild<CSortListViewEx*>(u"jobList"_s);

    core.processes = QList<IProcess*>{first.get(), second.get()};
    window.Refresh();
    QTreeWidgetItem* kept = list->topLevelItem(1);

    // The first file moves on to its coder: same rows, the kind column changes.
    core.processes = QList<IProcess*>{coder.get(), second.get()};
    window.Refresh();
    ASSERT_EQ(list->GetRowCount(), 2);
    EXPECT_EQ(list->topLevelItem(1), kept);
    EXPECT_EQ(list->GetCellText(0, 0), language.GetString(105));
    EXPECT_EQ(list->GetCellText(0, 3), u"1.mp3"_s);

    core.processes = QList<IProcess*>{second.get()};
    window.Refresh();
    ASSERT_EQ(list->GetRowCount(), 1);
    EXPECT_EQ(list->GetCellText(0, 2), u"2.flac"_s);
}

TEST_F(DlgJobControlTest, PriorityChoiceIsStoredAndAppliedAtOnce)
{
    priority = 1;
    CDlgJobControl window(language, priority, core, nullptr);
    auto* box = window.findChild<QComboBox*>(u"priorityCombo"_s);
    ASSERT_EQ(box->count(), 4);
    EXPECT_EQ(box->currentIndex(), 1);
    EXPECT_EQ(box->itemText(2), language.GetString(141));

    const quint32 classes[] = {kPriorityIdle, kPriorityNormal, kPriorityHigh, kPriorityRealtime};
    for (int index : {2, 0, 3, 1}) {
        box->setCurrentIndex(index);
        EXPECT_EQ(priority, index);
        EXPECT_EQ(core.priorities.last(), classes[index]);
    }
    EXPECT_EQ(core.priorities.size(), 4);
}

TEST_F(DlgJobControlTest, StopEndsTheRunAndClosesWithItsResult)
{
    core.total = 3;
    CDlgJobControl window(language, priority, core, nullptr);
    WhenModalShown(u"jobControl"_s, [](QWidget* modal) {
        modal->findChild<QPushButton*>(u"stopButton"_s)->click();
    });
    EXPECT_EQ(window.exec(), CDlgJobControl::kResultStopped);
    EXPECT_EQ(core.stopCalls, 1);
}

TEST_F(DlgJobControlTest, EscapeAndEnterAreIgnoredAndTheCloseBoxStopsARunningCore)
{
    core.total = 3;
    CDlgJobControl window(language, priority, core, nullptr);
    WhenModalShown(u"jobControl"_s, [this](QWidget* modal) {
        QTest::keyClick(modal, Qt::Key_Escape);
        QTest::keyClick(modal, Qt::Key_Return);
        QApplication::processEvents();
        EXPECT_TRUE(modal->isVisible());
        EXPECT_EQ(core.stopCalls, 0);
        modal->close();
    });
    EXPECT_EQ(window.exec(), CDlgJobControl::kResultClosed);
    EXPECT_EQ(core.stopCalls, 1);
}

TEST_F(DlgJobControlTest, ClosesItselfSoonAfterTheCoreIsIdle)
{
    core.total = 2;
    core.started = 2;
    CDlgJobControl window(language, priority, core, nullptr);
    QElapsedTimer idleSince;
    WhenModalShown(u"jobControl"_s, [this, &idleSince](QWidget*) {
        core.running = false;
        idleSince.start();
    });
    EXPECT_EQ(window.exec(), CDlgJobControl::kResultClosed);
    // One refresh interval after the core went idle; the bound leaves room for a busy machine.
    EXPECT_LT(idleSince.elapsed(), 5 * CDlgJobControl::kRefreshIntervalMs);
    EXPECT_EQ(core.stopCalls, 0);
}

TEST_F(DlgJobControlTest, FailedRunsAreCountedAndNamedOnceAtTheEnd)
{
    NotifierRecorder recorder;
    auto decoder = MakeRun<CDecoder>(u"/bin/flac"_s, u"/m/bad.flac"_s, u"/t/1.wav"_s);
    auto coder = MakeRun<CCoder>(u"/bin/lame"_s, u"/t/1.wav"_s, u"/m/bad.mp3"_s);
    QList<RunResult> failures;
    RunResult decoderFailure;
    decoderFailure.process = decoder.get();
    decoderFailure.executable = u"/bin/flac"_s;
    decoderFailure.inputFile = u"/m/bad.flac"_s;
    decoderFailure.outcome = RunResult::Outcome::Exited;
    decoderFailure.code = 1;
    RunResult coderFailure;
    coderFailure.process = coder.get();
    coderFailure.executable = u"/bin/lame"_s;
    coderFailure.inputFile = u"/t/1.wav"_s;
    coderFailure.outcome = RunResult::Outcome::DecoderFailed;
    failures << decoderFailure << coderFailure;

    core.total = 2;
    core.started = 1;
    CDlgJobControl window(language, priority, core, nullptr);
    window.SetFailureSource([&failures] { return failures; },
                            [](const RunResult&) { return u"/m/bad.flac"_s; });
    window.Refresh();
    const QString status = window.findChild<QLabel*>(u"statusText"_s)->text();
    EXPECT_TRUE(status.endsWith(u": 2"_s)) << status.toStdString();
    EXPECT_EQ(recorder.Count(), 0);

    core.running = false;
    window.Refresh();
    ASSERT_EQ(recorder.Count(), 1);
    const auto message = recorder.Messages().first();
    EXPECT_EQ(message.icon, INotifier::Icon::Error);
    // Both runs belong to one file, which is named once.
    EXPECT_EQ(message.text.count(u"/m/bad.flac"_s), 1);
    // The console log keeps a line for each failed run.
    const QStringList log = ConsoleLog::Instance().Lines();
    ASSERT_GE(log.size(), 2);
    EXPECT_TRUE(log[log.size() - 2].contains(u"exit code 1"_s));
    EXPECT_TRUE(log.last().startsWith(u"lame \"/m/bad.flac\""_s)) << log.last().toStdString();
}

TEST_F(DlgJobControlTest, ARunWithoutFailuresEndsSilently)
{
    NotifierRecorder recorder;
    core.running = false;
    CDlgJobControl window(language, priority, core, nullptr);
    window.SetFailureSource([] { return QList<RunResult>{}; }, {});
    window.Refresh();
    EXPECT_EQ(recorder.Count(), 0);
}

TEST_F(DlgJobControlTest, ARunThatEndedBeforeTheWindowOpenedClosesItNormally)
{
    NotifierRecorder recorder;
    QTemporaryDir folder;
    auto coder = MakeRun<CCoder>(folder.filePath(u"gone"_s), folder.filePath(u"a.wav"_s),
                                 folder.filePath(u"a.mp3"_s));
    CCore realCore;
    realCore.AddProcess(coder.get());
    realCore.Start();
    ASSERT_TRUE(realCore.WaitForWorkers(10000));
    ASSERT_FALSE(realCore.IsRunning());

    CDlgJobControl window(language, priority, realCore, nullptr);
    window.SetFailureSource([&realCore] { return realCore.GetFailedRuns(); }, {});
    bool hung = false;
    QTimer::singleShot(10000, &window, [&hung] {
        hung = true;
        QCoreApplication::exit(1); // ends every loop, the window's among them
    });
    EXPECT_EQ(window.exec(), CDlgJobControl::kResultClosed);
    EXPECT_FALSE(hung);
    EXPECT_EQ(recorder.Count(), 1);
}

// The shares are written the pack's way: German puts a comma and a space before the sign.
TEST_F(DlgJobControlTest, SharesAreWrittenThePacksWay)
{
    CLanguagePack german;
    german.SetDefaults(u"English"_s, u"Languages"_s);
    ASSERT_TRUE(german.LoadLanguage(SourceTreePath(u"data/Languages/german.json"_s), u"german"_s));
    core.started = 1;
    core.total = 2;
    core.cpu = 37.4;

    CDlgJobControl window(german, priority, core, nullptr);
    window.Refresh();
    const QStringList lines = window.findChild<QLabel*>(u"statusText"_s)->text().split(u'\n');
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[0], german.GetString(169) + u": 37\u00a0%"_s);
    EXPECT_EQ(lines[1], german.GetString(171) + u": 1 (50,00\u00a0%)"_s);
    EXPECT_EQ(lines[2], german.GetString(170) + u": 1 (50,00\u00a0%)"_s);
}
