#include "audio/wav_cut.h"
#include "run/core.h"
#include "support/audio_fixtures.h"
#include "support/process_checks.h"
#include "support/wav_bytes.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <csignal>
#include <gtest/gtest.h>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Each run is a shell script that notes its start and end (with a nanosecond clock) in a
// shared log, may write an output first (a WAV without samples, which its check reads as whole
// when nothing tells its length), sleeps, and exits with a chosen code.
// Arguments: LOG NAME SECONDS EXIT [OUTPUT [PIDFILE]].
constexpr char kRecorder[] = R"sh(log="$1"; name="$2"
echo "start $name $(date +%s%N)" >> "$log"
[ -n "$5" ] && printf 'RIFF\044\0\0\0WAVEfmt \020\0\0\0\001\0\001\0\100\037\0\0\200\076\0\0\002\0\020\0data\0\0\0\0' > "$5"
sleep "$3" &
child=$!
[ -n "$6" ] && echo "$child" > "$6"
wait "$child"
echo "end $name $(date +%s%N)" >> "$log"
exit "$4"
)sh";

struct Times
{
    qint64 start = -1;
    qint64 end = -1;
};

class CoreTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        script = folder.filePath(u"record.sh"_s);
        log = folder.filePath(u"runs.log"_s);
        ASSERT_TRUE(fixtures::WriteScript(script, kRecorder));
    }

    // A run of the recorder; the output (if any) is the file the run writes.
    template <typename Codec>
    std::unique_ptr<Codec> Job(const QString& name, double seconds, int exitCode = 0,
                               const QString& output = QString(), const QString& pidFile = {})
    {
        auto job = std::make_unique<Codec>();
        job->SetExecutable(script);
        job->SetShowWindow(false);
        QString parameters = u"\"%1\" %2 %3 %4"_s.arg(log, name).arg(seconds).arg(exitCode);
        if (!output.isEmpty() || !pidFile.isEmpty())
            parameters += u" \"%1\" \"%2\""_s.arg(output, pidFile);
        job->SetParameters(parameters);
        job->SetOutputFile(output);
        job->SetInputFile(folder.filePath(u"input-of-"_s + name));
        return job;
    }

    // A coder reading the WAV of its decoder, which it deletes once it has ended.
    std::unique_ptr<CCoder> CoderOf(CDecoder& decoder, const QString& name, double seconds,
                                    int exitCode = 0)
    {
        auto coder = Job<CCoder>(name, seconds, exitCode);
        coder->decoder = &decoder;
        coder->SetTempFile(decoder.GetOutputFile());
        coder->SetInputFile(decoder.GetOutputFile());
        return coder;
    }

    QHash<QString, Times> ReadLog() const
    {
        QHash<QString, Times> times;
        QFile file(log);
        if (!file.open(QIODevice::ReadOnly))
            return times;
        for (const QByteArray& line : file.readAll().split('\n')) {
            const QList<QByteArray> parts = line.split(' ');
            if (parts.size() != 3)
                continue;
            Times& t = times[QString::fromUtf8(parts[1])];
            (parts[0] == "start" ? t.start : t.end) = parts[2].toLongLong();
        }
        return times;
    }

    static bool WaitUntilIdle(CCore& core, int timeoutMs = 20000)
    {
        return fixtures::WaitUntil([&] { return !core.IsRunning(); }, timeoutMs) &&
               core.WaitForWorkers(timeoutMs);
    }

    // The running programs once `count` of them are listed (or what is listed after 5 s).
    static QList<IProcess*> RunningProcesses(CCore& core, int count)
    {
        QList<IProcess*> running;
        fixtures::WaitUntil(
            [&] {
                core.GetRunningProcesses(running);
                return running.size() == count;
            },
            5000);
        return running;
    }

    static qint64 ReadPid(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toLongLong() : 0;
    }

    bool WaitForStarts(const QStringList& names, int timeoutMs = 10000) const
    {
        return fixtures::WaitUntil(
            [&] {
                const auto times = ReadLog();
                return std::all_of(names.begin(), names.end(), [&](const QString& name) {
                    return times.value(name).start >= 0;
                });
            },
            timeoutMs);
    }

    QStringList HiddenOutputs() const
    {
        return QDir(folder.path()).entryList({u".orv*"_s}, QDir::Files | QDir::Hidden);
    }

    QString MakeFile(const QString& name) const
    {
        const QString path = folder.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write("RIFF");
        return path;
    }

    QTemporaryDir folder;
    QString script;
    QString log;
};

// Alive means running or sleeping: a zombie waiting for its parent has ended.
bool IsAlive(qint64 pid)
{
    return pid > 0 && !fixtures::ProcessEnded(pid);
}

TEST_F(CoreTest, CoderWaitsForItsDecoderAndTwoSlotsRunInOrder)
{
    auto d1 = Job<CDecoder>(u"D1"_s, 0.3, 0, MakeFile(u"d1.wav"_s));
    auto c1 = CoderOf(*d1, u"C1"_s, 0.1);
    auto d2 = Job<CDecoder>(u"D2"_s, 0.9, 0, MakeFile(u"d2.wav"_s));
    auto c2 = CoderOf(*d2, u"C2"_s, 0.1);

    CCore core;
    core.SetThreadsCount(2);
    for (IProcess* p :
         {(IProcess*)d1.get(), (IProcess*)c1.get(), (IProcess*)d2.get(), (IProcess*)c2.get()})
        ASSERT_TRUE(core.AddProcess(p));
    EXPECT_FALSE(core.AddProcess(nullptr));
    EXPECT_EQ(core.GetTotalCount(), 4);

    ASSERT_TRUE(core.Start());
    EXPECT_TRUE(core.IsRunning());
    EXPECT_EQ(core.GetTotalCount(), 4);
    EXPECT_EQ(core.GetLaunchedCount(), 2);
    core.SetThreadsCount(1); // ignored while running: C1 still runs beside D2
    ASSERT_TRUE(WaitForStarts({u"D1"_s, u"D2"_s}));
    QList<IProcess*> running = RunningProcesses(core, 2);
    EXPECT_EQ(running, (QList<IProcess*>{d1.get(), d2.get()}));

    ASSERT_TRUE(WaitUntilIdle(core));
    EXPECT_EQ(core.GetTotalCount(), 0);
    EXPECT_EQ(core.GetStartedCount(), 4);
    EXPECT_EQ(core.GetLaunchedCount(), 4);
    core.GetRunningProcesses(running);
    EXPECT_TRUE(running.isEmpty());

    const auto t = ReadLog();
    ASSERT_EQ(t.size(), 4);
    EXPECT_LT(t[u"D2"_s].start, t[u"C1"_s].start); // C1 was refused while D1 was queued
    EXPECT_GE(t[u"C1"_s].start, t[u"D1"_s].end);   // and launched once D1 had ended
    EXPECT_LT(t[u"C1"_s].start, t[u"D2"_s].end);   // beside D2, in the slot D1 freed
    EXPECT_GE(t[u"C2"_s].start, t[u"D2"_s].end);
    // The intermediate WAVs went with their coders.
    EXPECT_FALSE(QFile::exists(d1->GetOutputFile()));
    EXPECT_FALSE(QFile::exists(d2->GetOutputFile()));
    EXPECT_TRUE(core.GetFailedRuns().isEmpty());
    EXPECT_EQ(core.GetRunResults().size(), 4);
}

TEST_F(CoreTest, OneSlotRunsInQueueOrderButSkipsACoderWaitingForItsDecoder)
{
    auto d1 = Job<CDecoder>(u"D1"_s, 0.05, 0, MakeFile(u"d1.wav"_s));
    auto c1 = CoderOf(*d1, u"C1"_s, 0.05);
    auto wav = Job<CCoder>(u"W"_s, 0.05); // a WAV source's coder: no decoder to wait for
    auto d2 = Job<CDecoder>(u"D2"_s, 0.05);

    CCore core;
    core.SetThreadsCount(0); // means one slot, never none
    for (IProcess* p :
         {(IProcess*)c1.get(), (IProcess*)d1.get(), (IProcess*)wav.get(), (IProcess*)d2.get()})
        core.AddProcess(p);
    core.Start();
    ASSERT_TRUE(WaitUntilIdle(core));

    const auto t = ReadLog();
    ASSERT_EQ(t.size(), 4);
    EXPECT_LT(t[u"D1"_s].end, t[u"C1"_s].start);
    EXPECT_LT(t[u"C1"_s].end, t[u"W"_s].start);
    EXPECT_LT(t[u"W"_s].end, t[u"D2"_s].start);
}

TEST_F(CoreTest, FailuresAreRecordedAndTheRunStillEnds)
{
    const QString brokenWav = MakeFile(u"broken.wav"_s);
    auto badDecoder = Job<CDecoder>(u"BadD"_s, 0, 1, brokenWav);
    auto orphan = CoderOf(*badDecoder, u"Orphan"_s, 0); // must never start
    auto failingCoder = Job<CCoder>(u"Exit3"_s, 0, 3);
    auto missing = Job<CCoder>(u"Missing"_s, 0);
    missing->SetExecutable(folder.filePath(u"no-such-encoder"_s));
    auto selfKiller = Job<CCoder>(u"SelfKill"_s, 0);
    selfKiller->SetExecutable(u"/bin/sh"_s);
    selfKiller->SetParameters(u"-c \"kill -9 $$\""_s);
    auto good = Job<CCoder>(u"Good"_s, 0);

    CCore core;
    core.SetThreadsCount(2);
    std::atomic<int> ends{0};
    core.SetRunEndedCallback([&ends] { ++ends; });
    for (IProcess* p :
         {(IProcess*)badDecoder.get(), (IProcess*)orphan.get(), (IProcess*)failingCoder.get(),
          (IProcess*)missing.get(), (IProcess*)selfKiller.get(), (IProcess*)good.get()})
        core.AddProcess(p);
    core.Start();
    ASSERT_TRUE(WaitUntilIdle(core));
    ASSERT_TRUE(core.WaitForWorkers(10000));
    EXPECT_EQ(ends.load(), 1) << "told once, as the last run ended";

    EXPECT_EQ(core.GetStartedCount(), core.GetRunResults().size());
    const auto t = ReadLog();
    EXPECT_FALSE(t.contains(u"Orphan"_s));
    EXPECT_TRUE(t.contains(u"Good"_s));
    EXPECT_FALSE(QFile::exists(brokenWav)); // the orphan's input is cleaned up too

    QHash<IProcess*, RunResult> byProcess;
    for (const RunResult& result : core.GetRunResults())
        byProcess.insert(result.process, result);
    ASSERT_EQ(byProcess.size(), 6);
    using O = RunResult::Outcome;
    EXPECT_EQ(byProcess[badDecoder.get()].outcome, O::Exited);
    EXPECT_EQ(byProcess[badDecoder.get()].code, 1);
    EXPECT_EQ(byProcess[orphan.get()].outcome, O::DecoderFailed);
    EXPECT_EQ(byProcess[failingCoder.get()].code, 3);
    EXPECT_EQ(byProcess[missing.get()].outcome, O::CouldNotStart);
    EXPECT_EQ(byProcess[selfKiller.get()].outcome, O::Signaled);
    EXPECT_EQ(byProcess[selfKiller.get()].code, SIGKILL);
    EXPECT_FALSE(byProcess[good.get()].Failed());

    const QList<RunResult> failed = core.GetFailedRuns();
    EXPECT_EQ(failed.size(), 5);
    for (const RunResult& result : failed)
        EXPECT_NE(result.process, good.get());
    EXPECT_EQ(byProcess[orphan.get()].outputFile, orphan->GetOutputFile());
}

TEST_F(CoreTest, StopEndsRunningProgramsAtOnceAndRemovesWhatTheyWrote)
{
    const QString decoderWav = folder.filePath(u"partial.wav"_s);
    const QString coderOutput = folder.filePath(u"partial.mp3"_s);
    const QString pidD = folder.filePath(u"d.pid"_s);
    const QString pidC = folder.filePath(u"c.pid"_s);
    auto d1 = Job<CDecoder>(u"LongD"_s, 30, 0, decoderWav, pidD);
    auto c1 = CoderOf(*d1, u"C1"_s, 0);
    const QString earlierWav = MakeFile(u"earlier.wav"_s); // a decoder that already ran
    auto done = Job<CDecoder>(u"Done"_s, 0, 0, earlierWav);
    auto c2 = Job<CCoder>(u"LongC"_s, 30, 0, coderOutput, pidC);
    auto queued = CoderOf(*done, u"Queued"_s, 0);
    auto more = Job<CDecoder>(u"More"_s, 0);

    CCore core;
    core.SetThreadsCount(2);
    for (IProcess* p : {(IProcess*)d1.get(), (IProcess*)c1.get(), (IProcess*)c2.get(),
                        (IProcess*)queued.get(), (IProcess*)more.get()})
        core.AddProcess(p);
    core.Start();
    ASSERT_TRUE(WaitForStarts({u"LongD"_s, u"LongC"_s}));
    // Both write their partial files and their children's pids once under way.
    ASSERT_TRUE(fixtures::WaitUntil([&] {
        return QFile::exists(decoderWav) && !HiddenOutputs().isEmpty() && ReadPid(pidD) > 0 &&
               ReadPid(pidC) > 0;
    }));
    ASSERT_TRUE(QFile::exists(decoderWav));
    // A coder writes under a hidden name until its result is whole.
    ASSERT_FALSE(QFile::exists(coderOutput));
    ASSERT_EQ(HiddenOutputs().size(), 1);
    // Both slots are taken, so C1, `queued` and `more` wait in the queue.
    QList<IProcess*> running = RunningProcesses(core, 2);
    ASSERT_EQ(running.size(), 2);
    const qint64 sleepD = ReadPid(pidD);
    const qint64 sleepC = ReadPid(pidC);
    ASSERT_GT(sleepD, 0);
    ASSERT_GT(sleepC, 0);

    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(core.Stop());
    EXPECT_FALSE(core.IsRunning());
    EXPECT_EQ(core.GetStartedCount(), 0);
    EXPECT_EQ(core.GetLaunchedCount(), 0);
    EXPECT_EQ(core.GetTotalCount(), 0);
    ASSERT_TRUE(core.WaitForWorkers(1000));
    // The programs' own children are gone too: the whole process group was killed.
    while ((IsAlive(sleepD) || IsAlive(sleepC)) && timer.elapsed() < 1000)
        QThread::msleep(5);
    EXPECT_FALSE(IsAlive(sleepD));
    EXPECT_FALSE(IsAlive(sleepC));
    EXPECT_LT(timer.elapsed(), 1000);

    EXPECT_FALSE(QFile::exists(decoderWav));
    EXPECT_FALSE(QFile::exists(coderOutput));
    EXPECT_TRUE(HiddenOutputs().isEmpty());
    EXPECT_FALSE(QFile::exists(earlierWav)); // a queued coder's intermediate WAV
    const auto t = ReadLog();
    for (const QString& name : {u"C1"_s, u"Queued"_s, u"More"_s})
        EXPECT_FALSE(t.contains(name)) << name.toStdString();
    for (const RunResult& result : core.GetRunResults())
        EXPECT_EQ(result.outcome, RunResult::Outcome::Stopped);
    EXPECT_TRUE(core.GetFailedRuns().isEmpty());
    core.GetRunningProcesses(running);
    EXPECT_TRUE(running.isEmpty());
}

TEST_F(CoreTest, StopAndStartWithNothingToDoEndAtOnce)
{
    CCore core;
    EXPECT_TRUE(core.Stop());
    EXPECT_FALSE(core.IsRunning());
    EXPECT_TRUE(core.Start()); // empty queue: the run is over before it began
    EXPECT_FALSE(core.IsRunning());
    EXPECT_TRUE(core.Stop());
    EXPECT_FALSE(core.IsRunning());
}

TEST_F(CoreTest, JobThatWouldOverwriteAFileOfTheBatchIsLeftOutWithItsDecoder)
{
    const QString source = MakeFile(u"song.wav"_s);
    auto self = Job<CCoder>(u"Self"_s, 0, 0, source);
    self->SetInputFile(folder.filePath(u"./song.wav"_s));
    // A coder writing over the source its decoder reads destroys the source as well.
    auto decoder = Job<CDecoder>(u"Dec"_s, 0, 0, MakeFile(u"tmp.wav"_s));
    decoder->SetInputFile(source);
    auto overSource = CoderOf(*decoder, u"Over"_s, 0);
    overSource->SetOutputFile(source);
    auto fine = Job<CCoder>(u"Fine"_s, 0);
    // A coder writing over the source of another job: its decoder's WAV would stay behind.
    auto otherDecoder = Job<CDecoder>(u"Dec2"_s, 0, 0, folder.filePath(u"orv2.wav"_s));
    auto overOther = CoderOf(*otherDecoder, u"Over2"_s, 0);
    overOther->SetOutputFile(fine->GetInputFile());

    CCore core;
    core.SetThreadsCount(2);
    for (IProcess* p :
         {(IProcess*)self.get(), (IProcess*)decoder.get(), (IProcess*)overSource.get(),
          (IProcess*)fine.get(), (IProcess*)otherDecoder.get(), (IProcess*)overOther.get()})
        core.AddProcess(p);
    core.Start();
    EXPECT_EQ(core.GetTotalCount(), 1);
    ASSERT_TRUE(WaitUntilIdle(core));

    EXPECT_EQ(ReadLog().keys(), QList<QString>{u"Fine"_s});
    EXPECT_TRUE(QFile::exists(source));
    EXPECT_FALSE(QFile::exists(folder.filePath(u"orv2.wav"_s)));
    QList<RunResult::Outcome> outcomes;
    for (const RunResult& result : core.GetFailedRuns())
        outcomes.append(result.outcome);
    EXPECT_EQ(outcomes,
              (QList<RunResult::Outcome>{RunResult::Outcome::OwnInput, RunResult::Outcome::OwnInput,
                                         RunResult::Outcome::OtherSource}));
}

// A WAV image's tracks are cut from it by a decoder without a program; a track left out (its
// result would replace the image) loses only its own cut, and the other track still gets its
// WAV from the shared decoder, converts, and leaves no WAV behind.
TEST_F(CoreTest, AnImageDecoderStillServesTheTracksThatAreNotLeftOut)
{
    const QString image = folder.filePath(u"image.wav"_s);
    QFile file(image);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(WavBytes(44100, 10000, false));
    file.close();
    CDecoder cutter;
    cutter.SetInputFile(image);
    const QString firstWav = folder.filePath(u"track1.wav"_s);
    const QString secondWav = folder.filePath(u"track2.wav"_s);
    cutter.trackCuts = {{0, 5000, firstWav}, {5000, -1, secondWav}};
    auto first = Job<CCoder>(u"T1"_s, 0, 0, image);
    auto second = Job<CCoder>(u"T2"_s, 0, 0, folder.filePath(u"track2.out"_s));
    for (auto [coder, wav] :
         {std::pair{first.get(), firstWav}, std::pair{second.get(), secondWav}}) {
        coder->decoder = &cutter;
        coder->SetInputFile(wav);
        coder->SetTempFile(wav);
    }

    CCore core;
    core.SetThreadsCount(2);
    for (IProcess* p : {(IProcess*)&cutter, (IProcess*)first.get(), (IProcess*)second.get()})
        core.AddProcess(p);
    core.Start();
    ASSERT_TRUE(WaitUntilIdle(core));

    EXPECT_EQ(ReadLog().keys(), QList<QString>{u"T2"_s});
    EXPECT_EQ(ReadWavExtent(image).frames, 10000);
    EXPECT_FALSE(QFile::exists(firstWav));
    EXPECT_FALSE(QFile::exists(secondWav));
    QList<RunResult::Outcome> outcomes;
    for (const RunResult& result : core.GetRunResults())
        outcomes.append(result.outcome);
    EXPECT_EQ(outcomes,
              (QList<RunResult::Outcome>{RunResult::Outcome::OwnInput, RunResult::Outcome::Exited,
                                         RunResult::Outcome::Exited}));
}

// An image's tracks are cut as its decoder writes them: the first track's coder runs while
// the decoder, which has written only the first track, waits for it, even on a single slot,
// which the decoder gives to its tracks once they flow. The last track waits for the
// decoder's end, and the tracks still add up to the image.
TEST_F(CoreTest, AnImageTrackIsCodedWhileTheRestOfTheImageIsDecoded)
{
    const QString whole = folder.filePath(u"whole.wav"_s);
    QFile file(whole);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(WavBytes(44100, 10000, false));
    file.close();
    const QString marker = folder.filePath(u"first-coded"_s);
    const QString decoderScript = folder.filePath(u"grow.sh"_s);
    // Header and 6000 frames, then (once the first track's coder has run, or after 30 s) the rest.
    ASSERT_TRUE(fixtures::WriteScript(decoderScript, R"sh(head -c 12044 "$1" > "$2"
i=0; while [ ! -e "$3" ] && [ $i -lt 600 ]; do sleep 0.05; i=$((i+1)); done
[ -e "$3" ] && echo early > "$4" || echo late > "$4"
tail -c +12045 "$1" >> "$2")sh"));
    const QString coderScript = folder.filePath(u"take.sh"_s);
    ASSERT_TRUE(fixtures::WriteScript(coderScript, "cp \"$1\" \"$2\" && touch \"$3\"\n"));

    const QString imageWav = folder.filePath(u"image.wav"_s);
    const QString when = folder.filePath(u"when"_s);
    CDecoder decoder;
    decoder.SetExecutable(decoderScript);
    decoder.SetShowWindow(false);
    decoder.SetParameters(u"\"%1\" \"%2\" \"%3\" \"%4\""_s.arg(whole, imageWav, marker, when));
    decoder.SetInputFile(folder.filePath(u"image.flac"_s));
    decoder.SetOutputFile(imageWav);
    std::vector<std::unique_ptr<CCoder>> coders;
    const QList<std::pair<qint64, qint64>> stretches = {{0, 5000}, {5000, -1}};
    for (const auto& [start, end] : stretches) {
        const int number = int(coders.size()) + 1;
        const QString wav = folder.filePath(u"track%1.wav"_s.arg(number));
        decoder.trackCuts << TrackCut{start, end, wav};
        auto coder = std::make_unique<CCoder>();
        coder->SetExecutable(coderScript);
        coder->SetShowWindow(false);
        const QString out = folder.filePath(u"track%1.out"_s.arg(number));
        coder->SetParameters(
            u"\"%1\" \"%2\" \"%3\""_s.arg(wav, out, number == 1 ? marker : out + u".done"_s));
        coder->SetInputFile(wav);
        coder->SetTempFile(wav);
        coder->SetOutputFile(out);
        coder->decoder = &decoder;
        coders.push_back(std::move(coder));
    }

    CCore core;
    core.SetThreadsCount(1);
    core.AddProcess(&decoder);
    for (const auto& coder : coders)
        core.AddProcess(coder.get());
    core.Start();
    ASSERT_TRUE(WaitUntilIdle(core, 60000));

    QFile told(when);
    ASSERT_TRUE(told.open(QIODevice::ReadOnly));
    EXPECT_EQ(told.readAll().trimmed(), "early");
    EXPECT_EQ(ReadWavExtent(folder.filePath(u"track1.out"_s)).frames, 5000);
    EXPECT_EQ(ReadWavExtent(folder.filePath(u"track2.out"_s)).frames, 5000);
    EXPECT_TRUE(core.GetFailedRuns().isEmpty());
    EXPECT_FALSE(QFile::exists(imageWav));
}

// Nice value of a process, from /proc/PID/stat (field 19).
int NiceOf(qint64 pid)
{
    QFile stat(u"/proc/%1/stat"_s.arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -100;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 16 ? fields[16].toInt() : -100;
}

TEST_F(CoreTest, PriorityChangesReachRunningProgramsAndTheirChildren)
{
    const QString pidFile = folder.filePath(u"child.pid"_s);
    auto job = Job<CDecoder>(u"Slow"_s, 30, 0, folder.filePath(u"out.wav"_s), pidFile);
    CCore core;
    core.SetThreadsCount(1);
    core.AddProcess(job.get());
    core.Start();
    ASSERT_TRUE(WaitForStarts({u"Slow"_s}));
    ASSERT_TRUE(fixtures::WaitUntil([&] { return ReadPid(pidFile) > 0; }));
    ASSERT_EQ(RunningProcesses(core, 1).size(), 1);
    const qint64 pid = job->GetProcessInformation().processId;
    const qint64 child = ReadPid(pidFile);
    ASSERT_GT(child, 0);

    core.SetPriority(kPriorityIdle);
    EXPECT_EQ(NiceOf(pid), 19);
    EXPECT_EQ(NiceOf(child), 19);
    const double usage = core.GetCpuUsage();
    EXPECT_GE(usage, 0.0);
    EXPECT_LE(usage, 100.0);
    core.Stop();
    ASSERT_TRUE(core.WaitForWorkers(2000));
}

TEST_F(CoreTest, ManyShortRunsEachRunExactlyOnce)
{
    std::vector<std::unique_ptr<CDecoder>> decoders;
    std::vector<std::unique_ptr<CCoder>> coders;
    CCore core;
    core.SetThreadsCount(3);
    for (int i = 0; i < 20; ++i) {
        decoders.push_back(Job<CDecoder>(u"D%1"_s.arg(i), 0, 0, MakeFile(u"%1.wav"_s.arg(i))));
        coders.push_back(CoderOf(*decoders.back(), u"C%1"_s.arg(i), 0));
        core.AddProcess(decoders.back().get());
        core.AddProcess(coders.back().get());
    }
    core.AddProcess(coders.front().get()); // queued twice: runs twice, never at once
    core.Start();
    ASSERT_TRUE(WaitUntilIdle(core, 60000));
    EXPECT_EQ(core.GetStartedCount(), 41);
    EXPECT_EQ(core.GetRunResults().size(), 41);
    EXPECT_TRUE(core.GetFailedRuns().isEmpty());
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_EQ(text.count("start "), 41);
    EXPECT_EQ(text.count("start C0 "), 2);
    EXPECT_TRUE(fixtures::FilesStartingWith(folder.path(), QString()).filter(u".wav"_s).isEmpty());

    core.Start(); // the same jobs can run again
    ASSERT_TRUE(WaitUntilIdle(core, 60000));
    EXPECT_EQ(core.GetStartedCount(), 0); // the queue was consumed by the first run
}

TEST_F(CoreTest, DestroyingABusyCoreStopsItsProgramsAndWaitsForItsWorkers)
{
    const QString pidFile = folder.filePath(u"a.pid"_s);
    auto a = Job<CDecoder>(u"A"_s, 30, 0, folder.filePath(u"a.wav"_s), pidFile);
    auto b = Job<CDecoder>(u"B"_s, 30, 0, folder.filePath(u"b.wav"_s));
    auto c = Job<CDecoder>(u"C"_s, 0);
    QElapsedTimer timer;
    {
        CCore core;
        core.SetThreadsCount(2);
        core.AddProcess(a.get());
        core.AddProcess(b.get());
        core.AddProcess(c.get());
        core.Start();
        ASSERT_TRUE(WaitForStarts({u"A"_s, u"B"_s}));
        ASSERT_TRUE(fixtures::WaitUntil([&] { return ReadPid(pidFile) > 0; }));
        timer.start();
    }
    EXPECT_LT(timer.elapsed(), 2000);
    EXPECT_FALSE(ReadLog().contains(u"C"_s));
    const qint64 sleeper = ReadPid(pidFile);
    while (IsAlive(sleeper) && timer.elapsed() < 2000)
        QThread::msleep(5);
    EXPECT_FALSE(IsAlive(sleeper));
}

} // namespace

// With album values, a finished result waits under its hidden name for the rest of its
// folder; Stop ends the album's last file, and the waiting result then goes to its name with
// its track values (the album's are unknown).
TEST_F(CoreTest, StopMovesTheResultsThatWaitForTheirAlbumToTheirNames)
{
    const auto wavJob = [this](const QString& name, double seconds) {
        auto job = Job<CCoder>(name, seconds, 0, folder.filePath(name + u".out"_s));
        QFile wav(job->GetInputFile());
        EXPECT_TRUE(wav.open(QIODevice::WriteOnly));
        wav.write(WavBytes(8000, 8000, false));
        return job;
    };
    auto quick = wavJob(u"Quick"_s, 0);
    auto slow = wavJob(u"Slow"_s, 30);

    CCore core;
    core.SetThreadsCount(2);
    // The recorder writes no encoding of its input, so its result cannot pass the check.
    core.SetResultOptions({true, true, ReplayGainMode::TrackAndAlbum, false});
    core.AddProcess(quick.get());
    core.AddProcess(slow.get());
    core.Start();
    QElapsedTimer timer;
    timer.start();
    // The slow run writes its hidden output once its program is under way, which may be after
    // the quick one has ended.
    while ((core.GetHeldResultCount() < 1 || HiddenOutputs().size() < 2) && timer.elapsed() < 10000)
        QThread::msleep(5);
    ASSERT_EQ(core.GetHeldResultCount(), 1);
    EXPECT_FALSE(QFile::exists(quick->GetOutputFile()));
    // The slow job writes its hidden output once its program is under way.
    EXPECT_TRUE(fixtures::WaitUntil([&] { return HiddenOutputs().size() == 2; }));

    EXPECT_TRUE(core.Stop());
    ASSERT_TRUE(core.WaitForWorkers(5000));
    EXPECT_EQ(core.GetHeldResultCount(), 0);
    EXPECT_TRUE(QFile::exists(quick->GetOutputFile()));
    EXPECT_FALSE(QFile::exists(slow->GetOutputFile()));
    EXPECT_TRUE(HiddenOutputs().isEmpty());
}
