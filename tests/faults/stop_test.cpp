#include "fault_fixtures.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <ctime>
#include <sys/inotify.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace faults;

namespace {

// An encoder that shrugs off SIGTERM and leaves a child of its own running: the child stands
// for the helper processes real encoders and wrapper scripts start.
constexpr char kStubborn[] = R"sh(trap '' TERM INT HUP
sleep 600 &
echo "$$ $!" > "$1"
echo partial > "$2"
while :; do wait; done
)sh";

TEST(StopTest, AnEncoderThatIgnoresTermAndKeepsAChildLeavesNothingAlive)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString program = root.filePath(u"stubborn"_s);
    ASSERT_TRUE(fixtures::WriteScript(program, kStubborn));
    const QString pids = root.filePath(u"pids"_s);
    const QString output = root.filePath(u"out.mp3"_s);
    auto coder = MakeCodec<CCoder>(program, QString(), u"mp3"_s);
    coder->SetParameters(QuoteArgument(pids) + u' ' + QuoteArgument(output));
    coder->SetOutputFile(output);

    CCore core;
    core.AddProcess(coder.get());
    ASSERT_TRUE(core.Start());
    ASSERT_TRUE(WaitUntil([&] { return ReadPids(pids).size() == 2; }));
    const QList<qint64> job = ReadPids(pids);

    EXPECT_TRUE(core.Stop());
    ASSERT_TRUE(WaitUntil([&] { return !core.IsRunning(); }));
    ASSERT_TRUE(core.WaitForWorkers(10000));
    for (qint64 pid : job)
        EXPECT_TRUE(WaitUntil([&] { return ProcessEnded(pid); }, 5000)) << pid;
    EXPECT_FALSE(QFile::exists(output));
    ASSERT_EQ(core.GetRunResults().size(), 1);
    EXPECT_EQ(core.GetRunResults()[0].outcome, RunResult::Outcome::Stopped);
}

// Every create and delete of an intermediate WAV in a folder, in order, through inotify.
class CWavEvents
{
public:
    explicit CWavEvents(const QString& folder) : descriptor(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        inotify_add_watch(descriptor, QFile::encodeName(folder).constData(),
                          IN_CREATE | IN_DELETE | IN_MOVED_TO);
    }
    ~CWavEvents() { ::close(descriptor); }
    CWavEvents(const CWavEvents&) = delete;
    CWavEvents& operator=(const CWavEvents&) = delete;

    // "+name" for a file that appeared, "-name" for one deleted.
    QStringList Take()
    {
        QStringList events;
        alignas(inotify_event) char buffer[65536];
        for (;;) {
            const ssize_t got = ::read(descriptor, buffer, sizeof buffer);
            if (got <= 0)
                return events;
            for (ssize_t offset = 0; offset < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
                const QString name = event->len ? QFile::decodeName(event->name) : QString();
                events.append((event->mask & IN_DELETE ? u"-"_s : u"+"_s) + name);
                offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
    }

private:
    int descriptor;
};

// Decoders and coders that take a few milliseconds each, noting when they start.
// Decoder arguments: LOG %in% %out%; coder: LOG %in% %out%.
constexpr char kQuickJob[] = R"sh(echo "$(date +%s%N) $0 $3" >> "$1"
head -c 2000 /dev/zero > "$3"
sleep 0.00$(( $$ % 9 ))
)sh";

TEST(StopTest, StopAtRandomMomentsLeavesACleanIdleCore)
{
    CScratchFolder root;
    ASSERT_TRUE(root.isValid());
    const QString tmp = root.tmp();
    const QString log = root.filePath(u"starts.log"_s);
    const QString program = root.filePath(u"job"_s);
    ASSERT_TRUE(fixtures::WriteScript(program, kQuickJob));
    const QString arguments = QuoteArgument(log) + u" %in% %out%"_s;
    PlannedDecoders decoders;
    decoders.push_back(MakeCodec<CDecoder>(program, arguments, u"flac"_s));
    auto coder = MakeCodec<CCoder>(program, arguments, u"out"_s);

    constexpr int kFiles = 6;
    std::vector<std::unique_ptr<CFileInfo>> files;
    for (int i = 0; i < kFiles; ++i) {
        const QString source = root.filePath(u"source %1.flac"_s.arg(i));
        QFile(source).open(QIODevice::WriteOnly);
        files.push_back(std::make_unique<CFileInfo>());
        ASSERT_TRUE(files.back()->Load(source));
    }

    // A process of ours outside the core: a stray signal would be likely to hit it, as pids
    // of ended runs come round again.
    const qint64 bystander = os::SpawnProcess(Program(u"sleep"_s), {u"600"_s}, false);
    ASSERT_GT(bystander, 0);

    CWavEvents events(tmp);
    QRandomGenerator random(20261207);
    CCore core;
    core.SetThreadsCount(3);
    constexpr int kRounds = 300;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE(round);
        for (const auto& file : files) {
            ASSERT_TRUE(Plan(*file, decoders, *coder, root.filePath(u"out/"_s)));
            Queue(core, *file);
        }
        ASSERT_TRUE(core.Start());
        QThread::usleep(random.bounded(30000));
        ASSERT_TRUE(core.Stop());
        timespec now = {};
        clock_gettime(CLOCK_REALTIME, &now); // the clock of the jobs' "date +%s%N"
        const qint64 stoppedAt = qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
        ASSERT_TRUE(WaitUntil([&] { return !core.IsRunning(); }));
        ASSERT_TRUE(core.WaitForWorkers(10000));

        // Nothing came into being after Stop returned: Stop zeroes the counters, and only a
        // program created since would count again.
        EXPECT_EQ(core.GetStartedCount(), 0);
        QFile starts(log);
        if (starts.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : starts.readAll().trimmed().split('\n')) {
                const qint64 startedAt = line.split(' ').first().toLongLong();
                EXPECT_LT(startedAt, stoppedAt) << line.constData();
            }
            starts.close();
            QFile::remove(log);
        }

        for (const RunResult& result : core.GetRunResults()) {
            EXPECT_NE(result.outcome, RunResult::Outcome::Signaled) << "a signal Stop did not send";
            EXPECT_NE(result.outcome, RunResult::Outcome::CouldNotStart);
        }
        // Every intermediate WAV is gone, and none was written again once deleted.
        EXPECT_TRUE(TemporaryWavs(tmp).isEmpty()) << TemporaryWavs(tmp).join(u' ').toStdString();
        QSet<QString> deleted;
        for (const QString& event : events.Take()) {
            const QString name = event.mid(1);
            if (event.startsWith(u'-')) {
                deleted.insert(name);
                continue;
            }
            EXPECT_FALSE(deleted.contains(name)) << name.toStdString() << " came back";
        }
        if (HasFailure())
            break;
    }
    EXPECT_FALSE(ProcessEnded(bystander));
    os::KillProcessGroup(bystander);
    os::ReapProcess(bystander);
}

} // namespace
