#include "fault_fixtures.h"
#include "foundation/instance_session.h"
#include "support/test_paths.h"

#include <QTemporaryDir>

using namespace Qt::StringLiterals;
using namespace faults;

namespace {

// A decoder that writes part of its WAV, starts a helper of its own and never ends.
// Arguments: WAV PID_LOG.
constexpr char kEndlessDecoder[] = R"sh(echo partial > "$1"
sleep 600 &
echo "$$ $!" >> "$2"
while :; do wait; done
)sh";

struct Host
{
    qint64 pid = 0;
    QString pidLog;
    QString wavList;

    QList<qint64> Processes() const { return ReadPids(pidLog); }
    QStringList Wavs() const
    {
        QFile file(wavList);
        file.open(QIODevice::ReadOnly);
        return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }
};

class CrashRecoveryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        tmp = root.filePath(u"tmp"_s);
        QDir().mkpath(tmp);
        program = root.filePath(u"decoder"_s);
        ASSERT_TRUE(fixtures::WriteScript(program, kEndlessDecoder));
    }

    void TearDown() override
    {
        for (const Host& host : hosts) {
            os::KillProcessGroup(host.pid);
            ::kill(static_cast<pid_t>(host.pid), SIGKILL);
            os::ReapProcess(host.pid);
            for (qint64 pid : host.Processes())
                ::kill(static_cast<pid_t>(pid), SIGKILL);
        }
    }

    // Starts an instance running `jobs` endless decoders (or coders writing results beside
    // the list), once all of them are running.
    Host& StartHost(const QString& name, int jobs, bool outputs = false)
    {
        Host host;
        host.pidLog = root.filePath(name + u".pids"_s);
        host.wavList = root.filePath(name + u".wavs"_s);
        QStringList arguments = {program, host.pidLog, host.wavList, QString::number(jobs)};
        if (outputs)
            arguments << u"outputs"_s;
        host.pid = os::SpawnProcess(TestHelperPath(u"orvel_crash_host"_s), arguments, false);
        EXPECT_GT(host.pid, 0);
        // Sanitized builds on a loaded machine take seconds to start the programs.
        EXPECT_TRUE(WaitUntil([&] { return host.Processes().size() == 2 * jobs; }, 30000));
        hosts.append(host);
        return hosts.last();
    }

    // What a start of orvel does first, in a process of its own.
    void StartUp()
    {
        const qint64 pid =
            os::SpawnProcess(TestHelperPath(u"orvel_crash_host"_s), {u"--start"_s}, false);
        ASSERT_GT(pid, 0);
        ASSERT_TRUE(os::WaitForExitWithoutReaping(pid));
        const os::ExitStatus status = os::ReapProcess(pid);
        EXPECT_EQ(status.kind, os::ExitStatus::Kind::Exited);
        EXPECT_EQ(status.code, 0);
    }

    QStringList SessionFiles() const
    {
        return QDir(tmp).entryList({u"orv-session-*"_s}, QDir::Files);
    }

    QTemporaryDir root;
    QString tmp;
    QString program;
    QList<Host> hosts;
};

TEST_F(CrashRecoveryTest, ProgramsEndWithAKilledInstanceAndTheNextStartRemovesOnlyItsWavs)
{
    CTemporaryFolderScope temporary(tmp);
    const Host crashed = StartHost(u"crashed"_s, 2);
    const Host alive = StartHost(u"alive"_s, 1);
    ASSERT_EQ(SessionFiles().size(), 2);
    ASSERT_EQ(TemporaryWavs(tmp).size(), 3);

    ::kill(static_cast<pid_t>(crashed.pid), SIGKILL);
    os::ReapProcess(crashed.pid);
    for (qint64 pid : crashed.Processes())
        EXPECT_TRUE(WaitUntil([&] { return ProcessEnded(pid); }, 5000)) << "left running: " << pid;
    for (qint64 pid : alive.Processes())
        EXPECT_FALSE(ProcessEnded(pid));
    for (const QString& wav : crashed.Wavs())
        ASSERT_TRUE(QFile::exists(wav)) << "nobody has cleaned up yet";

    StartUp();
    for (const QString& wav : crashed.Wavs())
        EXPECT_FALSE(QFile::exists(wav)) << wav.toStdString();
    for (const QString& wav : alive.Wavs())
        EXPECT_TRUE(QFile::exists(wav)) << "another instance's WAV was touched";
    for (qint64 pid : alive.Processes())
        EXPECT_FALSE(ProcessEnded(pid));
    EXPECT_EQ(SessionFiles().size(), 1)
        << "the crashed instance's record goes, the live one's stays";
}

// Results are written under hidden names: an instance killed mid-batch leaves no partial file
// under a result's name and an older result as it was, and the next start removes the rest.
TEST_F(CrashRecoveryTest, AKilledInstanceLeavesNoPartialResultAndItsHiddenOutputsGo)
{
    CTemporaryFolderScope temporary(tmp);
    const QString older = root.filePath(u"out0.mp3"_s);
    {
        QFile file(older);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("an older result");
    }
    const auto hiddenOutputs = [this] {
        return QDir(root.path()).entryList({u".orv*.mp3"_s}, QDir::Files | QDir::Hidden);
    };
    const Host crashed = StartHost(u"outputs"_s, 2, true);
    ASSERT_TRUE(WaitUntil([&] { return hiddenOutputs().size() == 2; }));

    ::kill(static_cast<pid_t>(crashed.pid), SIGKILL);
    os::ReapProcess(crashed.pid);
    for (qint64 pid : crashed.Processes())
        EXPECT_TRUE(WaitUntil([&] { return ProcessEnded(pid); }, 5000)) << "left running: " << pid;
    QFile kept(older);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "an older result");
    EXPECT_FALSE(QFile::exists(root.filePath(u"out1.mp3"_s)));
    EXPECT_EQ(hiddenOutputs().size(), 2) << "nobody has cleaned up yet";

    StartUp();
    EXPECT_TRUE(hiddenOutputs().isEmpty()) << hiddenOutputs().join(u' ').toStdString();
    EXPECT_TRUE(QFile::exists(older));
    EXPECT_TRUE(SessionFiles().isEmpty());
}

// The record of an instance that died is only ever a list of names: nothing it lists outside
// its folder, of another form, or behind a link is deleted.
TEST_F(CrashRecoveryTest, ADamagedRecordRemovesNothingButTemporaryWavsOfItsFolder)
{
    const QString victim = root.filePath(u"victim.flac"_s);
    const QString linkedVictim = root.filePath(u"linked.flac"_s);
    for (const QString& path : {victim, linkedVictim}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("music");
    }
    ASSERT_TRUE(QFile::link(linkedVictim, tmp + u"/orv0000ABCD.wav"_s));
    const QString leftover = tmp + u"/orv1234ABCD.wav"_s;
    QFile(leftover).open(QIODevice::WriteOnly);
    const QString unlisted = tmp + u"/orvFFFF0000.wav"_s;
    QFile(unlisted).open(QIODevice::WriteOnly);

    QFile record(tmp + u"/orv-session-DEADBEEF.lst"_s);
    ASSERT_TRUE(record.open(QIODevice::WriteOnly));
    record.write(victim.toUtf8() + "\n../victim.flac\norv0000ABCD.wav\nvictim.flac\n"
                                   "orv1234ABCD.wav\n\n\xff\xfe garbage\norv1234ABCD.wav/..\n");
    record.close();

    EXPECT_EQ(CInstanceSession::RemoveFilesOfEndedSessions(tmp), 1);
    EXPECT_FALSE(QFile::exists(leftover));
    EXPECT_TRUE(QFile::exists(unlisted));
    EXPECT_TRUE(QFile::exists(victim));
    EXPECT_TRUE(QFile::exists(linkedVictim));
    EXPECT_TRUE(QFileInfo(tmp + u"/orv0000ABCD.wav"_s).isSymLink());
    EXPECT_TRUE(SessionFiles().isEmpty());
}

// In one process, too: a session stays untouched while it is open, and its WAVs (in its folder
// or in the user's runtime folder) are listed the moment their names are handed out.
TEST_F(CrashRecoveryTest, OpenSessionsAreLeftAloneAndEndedOnesCleanedUp)
{
    const QString runtime = root.filePath(u"run"_s);
    ASSERT_TRUE(QDir().mkpath(runtime));
    const CEnvironmentScope runtimeFolder("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    CInstanceSession running;
    ASSERT_TRUE(running.Begin(tmp));
    const QString wav = tmp + u"/orvABCDEF01.wav"_s;
    const QString runtimeWav = runtime + u"/orvABCDEF03.wav"_s;
    running.Record(wav);
    running.Record(root.filePath(u"elsewhere/orvABCDEF02.wav"_s)); // not in its folder
    running.Record(runtimeWav);
    QFile(wav).open(QIODevice::WriteOnly);
    QFile(runtimeWav).open(QIODevice::WriteOnly);

    EXPECT_EQ(CInstanceSession::RemoveFilesOfEndedSessions(tmp), 0);
    EXPECT_TRUE(QFile::exists(wav));

    // A session that ended cleanly leaves no record; one whose lock went (the process died)
    // leaves its record to the next start.
    const QString path = running.GetPath();
    QFile copy(path);
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    const QByteArray listed = copy.readAll();
    EXPECT_EQ(listed, "orvABCDEF01.wav\n" + QFile::encodeName(runtimeWav) + '\n');
    running.End();
    EXPECT_FALSE(QFile::exists(path));
    QFile orphan(path);
    ASSERT_TRUE(orphan.open(QIODevice::WriteOnly));
    orphan.write(listed);
    orphan.close();
    EXPECT_EQ(CInstanceSession::RemoveFilesOfEndedSessions(tmp), 2);
    EXPECT_FALSE(QFile::exists(wav));
    EXPECT_FALSE(QFile::exists(runtimeWav));
    EXPECT_TRUE(SessionFiles().isEmpty());
}

} // namespace
