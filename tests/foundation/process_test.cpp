#include "codecs/command_template.h"
#include "foundation/command_line.h"
#include "foundation/os.h"
#include "foundation/process.h"
#include "support/test_paths.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class CTestRun : public CProcess
{
public:
    int GetKind() override { return 0; }
    QString StoredParameters() const { return parameters; }
};

// Waits for the child and reaps it, as the core does.
os::ExitStatus Finish(CProcess& run)
{
    const qint64 pid = static_cast<qint64>(run.GetProcessInformation().processId);
    EXPECT_TRUE(os::WaitForExitWithoutReaping(pid));
    return os::ReapProcess(pid);
}

class ProcessTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dumpPath = folder.filePath(u"argv.txt"_s);
        qputenv("ORVEL_ARGV_DUMP", QFile::encodeName(dumpPath));
        run.SetExecutable(TestHelperPath(u"orvel_argv_dump"_s));
        run.SetShowWindow(false);
    }

    void TearDown() override { qunsetenv("ORVEL_ARGV_DUMP"); }

    // The arguments the helper received, from its "length\nbytes\n" records.
    QStringList ReceivedArguments() const
    {
        QFile dump(dumpPath);
        if (!dump.open(QIODevice::ReadOnly))
            return {u"<no dump>"_s};
        const QByteArray bytes = dump.readAll();
        QStringList arguments;
        qsizetype position = 0;
        while (position < bytes.size()) {
            const qsizetype newline = bytes.indexOf('\n', position);
            const qsizetype length = bytes.mid(position, newline - position).toLongLong();
            arguments.append(QFile::decodeName(bytes.mid(newline + 1, length)));
            position = newline + 1 + length + 1;
        }
        return arguments;
    }

    QTemporaryDir folder;
    QString dumpPath;
    CTestRun run;
};

TEST_F(ProcessTest, ParametersAreStoredWithOneLeadingBlank)
{
    run.SetParameters(u"  -q   5 x \t\n"_s);
    EXPECT_EQ(run.StoredParameters(), u" -q   5 x"_s);
    EXPECT_EQ(run.GetParameters(), u"-q   5 x"_s);
    run.SetParameters(QString());
    EXPECT_EQ(run.StoredParameters(), u" "_s);
    EXPECT_EQ(run.GetParameters(), u""_s);
}

TEST_F(ProcessTest, ChildReceivesExpandedPathsAsSingleArguments)
{
    const QList<TemplateValues> jobs = {
        {u"/music/a b/in  file.flac"_s, u"/out/say \"hi\" now.ogg"_s, 44100, 2},
        {u"/music/100% sure/%in%.flac"_s, u"C:\\ends in a backslash\\"_s, 22050, 1},
        {u"/musik/Ærøskøbing/日本 ünïcode.flac"_s, u"-leading \t$(touch x) \\\"\\"_s, 48000, 2},
    };
    for (const TemplateValues& job : jobs) {
        SCOPED_TRACE(job.inputPath.toStdString());
        QString line;
        ASSERT_TRUE(ExpandTemplate(u" -q 5 %in% -o %out% -r %orig_sr_khz% "_s, line, job));
        run.SetParameters(line);
        ASSERT_TRUE(run.Start(0x20));
        const os::ExitStatus status = Finish(run);
        EXPECT_EQ(status.kind, os::ExitStatus::Kind::Exited);
        EXPECT_EQ(status.code, 0);
        const QString khz = job.sampleRate == 44100   ? u"44.1"_s
                            : job.sampleRate == 22050 ? u"22.05"_s
                                                      : u"48.0"_s;
        EXPECT_EQ(ReceivedArguments(), (QStringList{u"-q"_s, u"5"_s, job.inputPath, u"-o"_s,
                                                    job.outputPath, u"-r"_s, khz}));
    }
}

TEST_F(ProcessTest, LongArgumentStringsArePassedWholeOrNotAtAll)
{
    const QString longPath = u"/music/"_s + QString(5000, u'a') + u".flac"_s;
    run.SetParameters(u"-o "_s + QuoteArgument(longPath));
    ASSERT_TRUE(run.Start(0x20));
    Finish(run);
    EXPECT_EQ(ReceivedArguments(), (QStringList{u"-o"_s, longPath}));

    // Past what the system takes for one argument: the run fails, it is never cut.
    run.SetParameters(QString(300000, u'a'));
    EXPECT_FALSE(run.Start(0x20));
}

TEST_F(ProcessTest, MissingExecutableFailsAndLeavesNoProcessInformation)
{
    ASSERT_TRUE(run.Start(0x20));
    Finish(run);
    EXPECT_NE(run.GetProcessInformation().processId, 0u);

    run.SetExecutable(folder.filePath(u"no such program"_s));
    EXPECT_FALSE(run.Start(0x20));
    const ProcessInformation information = run.GetProcessInformation();
    EXPECT_EQ(information.processHandle, 0u);
    EXPECT_EQ(information.threadHandle, 0u);
    EXPECT_EQ(information.processId, 0u);
    EXPECT_EQ(information.threadId, 0u);
    EXPECT_EQ(run.GetCpuUsage(), 0.0);
}

TEST_F(ProcessTest, ChildRunsAtTheNiceValueOfItsPriorityClass)
{
    run.SetExecutable(u"/bin/sh"_s);
    run.SetParameters(u"-c \"sleep 30\""_s);
    ASSERT_TRUE(run.Start(0x40));
    const auto pid = static_cast<qint64>(run.GetProcessInformation().processId);
    EXPECT_EQ(run.GetProcessInformation().processHandle, static_cast<quintptr>(pid));

    QFile stat(u"/proc/%1/stat"_s.arg(pid));
    ASSERT_TRUE(stat.open(QIODevice::ReadOnly));
    const QByteArray text = stat.readAll();
    EXPECT_EQ(text.mid(text.lastIndexOf(')') + 2).split(' ').value(16), QByteArray("19"))
        << "nice of the idle class";

    EXPECT_TRUE(os::KillProcessGroup(pid));
    Finish(run);
}

TEST_F(ProcessTest, BusyChildShowsProcessorUseAfterAFirstZero)
{
    run.SetExecutable(u"/bin/sh"_s);
    run.SetParameters(u"-c \"while :; do :; done\""_s);
    ASSERT_TRUE(run.Start(0x20));
    const auto pid = static_cast<qint64>(run.GetProcessInformation().processId);

    EXPECT_EQ(run.GetCpuUsage(), 0.0);
    // Wait until the child has used a few clock ticks, however loaded the machine is.
    quint64 used = 0;
    const quint64 deadline = os::MonotonicTimestamp100ns() + 200000000;
    while (used < 300000 && os::MonotonicTimestamp100ns() < deadline)
        os::ReadProcessCpuTime(pid, &used);
    const double usage = run.GetCpuUsage();
    EXPECT_GT(usage, 0.0);
    EXPECT_LE(usage, 100.0);

    EXPECT_TRUE(os::KillProcessGroup(pid));
    const os::ExitStatus status = Finish(run);
    EXPECT_EQ(status.kind, os::ExitStatus::Kind::Signaled);
}

} // namespace
