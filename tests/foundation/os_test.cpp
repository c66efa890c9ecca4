#include "foundation/cpu_usage.h"
#include "foundation/os.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString kShell = u"/bin/sh"_s;

// Runs a shell script as a child and returns how it ended.
os::ExitStatus RunScript(const QString& script, const QStringList& arguments = {},
                         bool showWindow = false)
{
    const qint64 pid =
        os::SpawnProcess(kShell, QStringList{u"-c"_s, script, u"sh"_s} + arguments, showWindow);
    EXPECT_GT(pid, 0);
    if (pid <= 0)
        return {};
    EXPECT_TRUE(os::WaitForExitWithoutReaping(pid));
    return os::ReapProcess(pid);
}

int ExitCode(const os::ExitStatus& status)
{
    EXPECT_EQ(status.kind, os::ExitStatus::Kind::Exited);
    return status.code;
}

int NiceOf(qint64 pid)
{
    QFile stat(u"/proc/%1/stat"_s.arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 1000;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return fields.value(16).toInt(); // field 19 of the line, the third after ')' being field 3
}

TEST(OsTest, ChildStartsCleanInItsOwnProcessGroup)
{
    // A descriptor without close-on-exec, a blocked and an ignored signal: none may reach
    // the child.
    const int leaked = dup2(STDERR_FILENO, 50);
    ASSERT_EQ(leaked, 50);
    sigset_t block;
    sigemptyset(&block);
    sigaddset(&block, SIGUSR1);
    sigset_t previousMask;
    pthread_sigmask(SIG_BLOCK, &block, &previousMask);
    const auto previousHandler = std::signal(SIGUSR2, SIG_IGN);

    QTemporaryDir folder;
    const QString statusFile = folder.filePath(u"status"_s);
    // The shell blocks signals itself while it waits, so the mask is read by a program it
    // replaces itself with.
    const QString script = uR"sh(
        test -e /proc/$$/fd/50 && exit 11
        test "$(readlink /proc/$$/fd/0)" = /dev/null || exit 12
        test "$(readlink /proc/$$/fd/1)" = "$1" || exit 13
        set -- "$1" "$2" $(cat /proc/$$/stat)
        test "$7" = "$$" || exit 14
        exec cat /proc/self/status > "$2")sh"_s;
    char target[256] = {};
    ASSERT_GT(readlink("/proc/self/fd/1", target, sizeof target - 1), 0);
    const QString ourStdout = QString::fromLocal8Bit(target);
    for (bool showWindow : {false, true}) {
        SCOPED_TRACE(showWindow ? "shown" : "hidden");
        const QString expectedStdout = showWindow ? ourStdout : u"/dev/null"_s;
        EXPECT_EQ(ExitCode(RunScript(script, {expectedStdout, statusFile}, showWindow)), 0);
        QFile status(statusFile);
        ASSERT_TRUE(status.open(QIODevice::ReadOnly));
        quint64 blocked = ~quint64(0);
        quint64 ignored = ~quint64(0);
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("SigBlk:"))
                blocked = line.mid(7).trimmed().toULongLong(nullptr, 16);
            if (line.startsWith("SigIgn:"))
                ignored = line.mid(7).trimmed().toULongLong(nullptr, 16);
        }
        EXPECT_EQ(blocked, 0u);
        EXPECT_EQ(ignored & (quint64(1) << (SIGUSR2 - 1)), 0u);
    }

    std::signal(SIGUSR2, previousHandler);
    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    close(leaked);
}

TEST(OsTest, ArgumentsArriveAsGivenWithoutAShell)
{
    const QStringList arguments = {u"a b"_s, u"$(touch /tmp/x)"_s, u"\"q\""_s, u""_s, u"ü€"_s};
    const QString script = uR"sh(
        test $# -eq 5 && test "$1" = "a b" && test "$2" = '$(touch /tmp/x)' &&
        test "$3" = '"q"' && test -z "$4" && test "$5" = "ü€")sh"_s;
    EXPECT_EQ(ExitCode(RunScript(script, arguments)), 0);
    EXPECT_EQ(ExitCode(RunScript(u"exit 7"_s)), 7);
}

TEST(OsTest, MissingProgramsAndNamesCutByANulAreRefusedWithTheirError)
{
    int error = 0;
    EXPECT_EQ(os::SpawnProcess(u"/no/such/program"_s, {}, false, &error), 0);
    EXPECT_EQ(error, ENOENT);
    QTemporaryDir folder;
    const QString plain = folder.filePath(u"not executable"_s);
    QFile file(plain);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\n");
    file.close();
    EXPECT_EQ(os::SpawnProcess(plain, {}, false, &error), 0);
    EXPECT_EQ(error, EACCES);
    EXPECT_FALSE(os::ErrorText(ENOENT).isEmpty());

    // A NUL ends the name the system sees: the file before it must not stand in for the path.
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString cut = plain + QChar(0) + u"x"_s;
    EXPECT_EQ(os::SpawnProcess(u"/bin/true"_s, {cut}, false, &error), 0);
    EXPECT_EQ(error, EINVAL);
    qint64 size = 0;
    qint64 modifiedNs = 0;
    bool isLink = false;
    EXPECT_TRUE(os::IsReadableFile(plain));
    EXPECT_FALSE(os::IsReadableFile(cut));
    EXPECT_FALSE(os::MayRead(cut));
    EXPECT_FALSE(os::FileStamp(cut, size, modifiedNs));
    EXPECT_FALSE(os::OwnFileStamp(cut, size, modifiedNs, isLink));
}

TEST(OsTest, GroupPriorityKillAndWaitWithoutReaping)
{
    const qint64 pid = os::SpawnProcess(kShell, {u"-c"_s, u"sleep 30; exit 0"_s}, false);
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(os::SetProcessGroupPriority(pid, 0x40));
    EXPECT_EQ(NiceOf(pid), 19);

    quint64 cpuTime = 0;
    EXPECT_TRUE(os::ReadProcessCpuTime(pid, &cpuTime));
    EXPECT_TRUE(os::KillProcessGroup(pid));
    EXPECT_TRUE(os::WaitForExitWithoutReaping(pid));
    EXPECT_TRUE(QFileInfo::exists(u"/proc/%1"_s.arg(pid))) << "still there until reaped";
    const os::ExitStatus status = os::ReapProcess(pid);
    EXPECT_EQ(status.kind, os::ExitStatus::Kind::Signaled);
    EXPECT_EQ(status.code, SIGKILL);

    EXPECT_FALSE(os::ReadProcessCpuTime(pid, &cpuTime));
    EXPECT_FALSE(os::WaitForExitWithoutReaping(pid));
    EXPECT_FALSE(os::KillProcessGroup(0));
}

TEST(OsTest, FoldersComeWithoutATrailingSeparator)
{
    const QByteArray saved = qgetenv("TMPDIR");
    qputenv("TMPDIR", "/var/tmp/");
    EXPECT_EQ(os::TemporaryFolder(), u"/var/tmp"_s);
    qunsetenv("TMPDIR");
    EXPECT_EQ(os::TemporaryFolder(), u"/tmp"_s);
    if (!saved.isEmpty())
        qputenv("TMPDIR", saved);
    const QString home = os::HomeFolder();
    EXPECT_TRUE(home == u"/"_s || !home.endsWith(u'/')) << home.toStdString();
}

TEST(OsTest, OnlyAFileSystemThatReportsASizeCanBeFull)
{
    // /proc reports zero for every figure, as FUSE file systems without statfs do.
    EXPECT_FALSE(os::FileSystemIsFull(u"/proc/self/status"_s));
}

TEST(CpuUsageTest, FirstCallIsZeroAndAVanishedProcessReadsZero)
{
    CpuUsageSample own;
    const auto self = static_cast<quint32>(QCoreApplication::applicationPid());
    EXPECT_EQ(MeasureCpuUsage(own, self), 0.0);
    EXPECT_FALSE(own.first);
    // Spin until this process has used a tenth of a second; on a loaded machine that takes
    // longer, but the share stays above zero.
    quint64 start = 0;
    ASSERT_TRUE(os::ReadProcessCpuTime(self, &start));
    quint64 now = start;
    const quint64 deadline = os::MonotonicTimestamp100ns() + 100000000;
    while (now - start < 1000000 && os::MonotonicTimestamp100ns() < deadline)
        os::ReadProcessCpuTime(self, &now);
    const double busy = MeasureCpuUsage(own, self);
    EXPECT_GT(busy, 0.0);
    EXPECT_LE(busy, 100.0);

    // The process disappears between two measurements: its time reads as all ones.
    const qint64 pid = os::SpawnProcess(kShell, {u"-c"_s, u"exit 0"_s}, false);
    ASSERT_GT(pid, 0);
    CpuUsageSample gone;
    EXPECT_EQ(MeasureCpuUsage(gone, static_cast<quint32>(pid)), 0.0);
    os::WaitForExitWithoutReaping(pid);
    os::ReapProcess(pid);
    EXPECT_EQ(MeasureCpuUsage(gone, static_cast<quint32>(pid)), 0.0);
    EXPECT_EQ(gone.lastProcessTime, ~quint64(0));
    EXPECT_EQ(MeasureCpuUsage(gone, static_cast<quint32>(pid)), 0.0);
}

} // namespace
