#include "foundation/os.h"

#include <QByteArray>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <langinfo.h>
#include <poll.h>
#include <spawn.h>
#include <sys/random.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

using namespace Qt::StringLiterals;

namespace os {

QByteArray SystemName(const QString& path)
{
    return path.contains(QChar(0)) ? QByteArray() : QFile::encodeName(path);
}

namespace {

constexpr const char* kNullDevice = "/dev/null";
constexpr quint64 kHundredNanosecondsPerSecond = 10'000'000;

// Owns the spawn attribute and file action objects so every return path releases them.
class SpawnSetup
{
public:
    SpawnSetup()
    {
        attributesError = posix_spawnattr_init(&attributes);
        actionsError = posix_spawn_file_actions_init(&actions);
    }
    ~SpawnSetup()
    {
        if (attributesError == 0)
            posix_spawnattr_destroy(&attributes);
        if (actionsError == 0)
            posix_spawn_file_actions_destroy(&actions);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    // errorWrite >= 0: the child's standard error goes to that descriptor (a pipe's end).
    int Prepare(bool showWindow, int errorWrite)
    {
        if (attributesError != 0)
            return attributesError;
        if (actionsError != 0)
            return actionsError;

        // Own process group (not a new session): the group takes the priority class and the
        // kill on Stop, and its nice value still weighs against ours.
        sigset_t emptyMask;
        sigemptyset(&emptyMask);
        sigset_t allSignals;
        sigfillset(&allSignals);
        const short flags = POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
        if (int error = posix_spawnattr_setflags(&attributes, flags))
            return error;
        if (int error = posix_spawnattr_setpgroup(&attributes, 0))
            return error;
        if (int error = posix_spawnattr_setsigmask(&attributes, &emptyMask))
            return error;
        if (int error = posix_spawnattr_setsigdefault(&attributes, &allSignals))
            return error;

        if (int error =
                posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, kNullDevice, O_RDONLY, 0))
            return error;
        if (!showWindow) {
            if (int error = posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, kNullDevice,
                                                             O_WRONLY, 0))
                return error;
            if (errorWrite < 0) {
                if (int error =
                        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO))
                    return error;
            }
        }
        if (errorWrite >= 0) {
            if (int error = posix_spawn_file_actions_adddup2(&actions, errorWrite, STDERR_FILENO))
                return error;
        }
        // Descriptors opened without O_CLOEXEC elsewhere in the program must not leak into
        // encoders that may run for hours.
        return posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    }

    posix_spawnattr_t attributes;
    posix_spawn_file_actions_t actions;

private:
    int attributesError = 0;
    int actionsError = 0;
};

// strerror_r comes in a GNU and an XSI flavour; these overloads accept either result.
[[maybe_unused]] const char* MessageOf(int result, const char* buffer)
{
    return result == 0 ? buffer : "Unknown error";
}

[[maybe_unused]] const char* MessageOf(const char* result, const char*)
{
    return result;
}

QString WithoutTrailingSeparators(QString path)
{
    while (path.size() > 1 && path.endsWith(kPathSeparator))
        path.chop(1);
    return path;
}

} // namespace

namespace {
qint64 Spawn(const QString& executable, const QStringList& arguments, bool showWindow,
             int errorWrite, int& result);
} // namespace

qint64 SpawnProcess(const QString& executable, const QStringList& arguments, bool showWindow,
                    int* error, int* errorPipe)
{
    int ignored = 0;
    int& result = error != nullptr ? *error : ignored;
    result = 0;
    int pipeEnds[2] = {-1, -1};
    if (errorPipe != nullptr) {
        *errorPipe = -1;
        // Close-on-exec: a program started by another thread meanwhile must not hold it open.
        if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
            result = errno;
            return 0;
        }
    }
    const qint64 pid = Spawn(executable, arguments, showWindow, pipeEnds[1], result);
    if (pipeEnds[1] >= 0)
        close(pipeEnds[1]);
    if (pid <= 0) {
        if (pipeEnds[0] >= 0)
            close(pipeEnds[0]);
        return 0;
    }
    if (errorPipe != nullptr)
        *errorPipe = pipeEnds[0];
    return pid;
}

namespace {

// Where the pidfd call exists (Linux 5.3): the descriptor turns readable when the process ends.
int OpenProcessDescriptor(qint64 pid)
{
#ifdef SYS_pidfd_open
    return static_cast<int>(syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0));
#else
    (void)pid;
    return -1;
#endif
}

} // namespace

void ReadUntilExit(qint64 pid, int descriptor, const std::function<void(const QByteArray&)>& sink,
                   const std::function<void()>& tick, int tickMs)
{
    if (descriptor < 0)
        return;
    // The read ends at the end of the stream, or once the program has ended and what it left
    // in the pipe is read: a helper it started may hold the pipe open for much longer.
    const int processDescriptor = OpenProcessDescriptor(pid);
    char buffer[4096];
    bool ended = false;
    for (;;) {
        pollfd watched[2] = {{descriptor, POLLIN, 0}, {processDescriptor, POLLIN, 0}};
        const nfds_t count = processDescriptor >= 0 && !ended ? 2 : 1;
        const int ready = poll(watched, count, ended ? 0 : tick ? tickMs : -1);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0 && !ended) {
            tick();
            continue;
        }
        if (ready <= 0)
            break; // nothing more waiting once the program has ended, or poll failed
        if (count == 2 && (watched[1].revents & POLLIN) != 0)
            ended = true;
        if ((watched[0].revents & (POLLIN | POLLHUP | POLLERR)) == 0)
            continue;
        const ssize_t got = read(descriptor, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        sink(QByteArray(buffer, static_cast<qsizetype>(got)));
    }
    if (processDescriptor >= 0)
        close(processDescriptor);
    close(descriptor);
}

namespace {

qint64 Spawn(const QString& executable, const QStringList& arguments, bool showWindow,
             int errorWrite, int& result)
{

    // An argument holding a NUL would reach the program cut short.
    const auto holdsNul = [](const QString& text) { return text.contains(QChar(0)); };
    if (holdsNul(executable) || std::any_of(arguments.begin(), arguments.end(), holdsNul)) {
        result = EINVAL;
        return 0;
    }
    const QByteArray program = QFile::encodeName(executable);
    std::vector<QByteArray> encoded;
    encoded.reserve(static_cast<size_t>(arguments.size()));
    for (const QString& argument : arguments)
        encoded.push_back(QFile::encodeName(argument));

    std::vector<char*> argv;
    argv.reserve(encoded.size() + 2);
    argv.push_back(const_cast<char*>(program.constData()));
    for (QByteArray& argument : encoded)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    SpawnSetup setup;
    if (int prepareError = setup.Prepare(showWindow, errorWrite)) {
        result = prepareError;
        return 0;
    }
    pid_t pid = 0;
    // posix_spawn, not posix_spawnp: the path is used as given, the search path never.
    const int spawnError = posix_spawn(&pid, program.constData(), &setup.actions, &setup.attributes,
                                       argv.data(), environ);
    if (spawnError != 0) {
        result = spawnError;
        return 0;
    }
    WatchProcessGroup(pid);
    return pid;
}

} // namespace

int NiceForPriorityClass(quint32 priorityClass)
{
    switch (priorityClass) {
    case 0x40: // idle
        return 19;
    case 0x80: // high
        return -10;
    case 0x100: // realtime: only ever the strongest nice value, never a real-time policy
        return -20;
    default: // normal and anything unknown
        return 0;
    }
}

bool SetProcessGroupPriority(qint64 pid, quint32 priorityClass)
{
    if (pid <= 0)
        return false;
    return setpriority(PRIO_PGRP, static_cast<id_t>(pid), NiceForPriorityClass(priorityClass)) == 0;
}

bool KillProcessGroup(qint64 pid)
{
    if (pid <= 0)
        return false; // -0 or a negative id would reach our own group or every process
    return kill(static_cast<pid_t>(-pid), SIGKILL) == 0;
}

bool WaitForExitWithoutReaping(qint64 pid)
{
    if (pid <= 0)
        return false;
    siginfo_t info;
    for (;;) {
        std::memset(&info, 0, sizeof info);
        if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) == 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

ExitStatus ReapProcess(qint64 pid)
{
    ExitStatus status;
    if (pid <= 0)
        return status;
    // Off the watchdog's list while the exited child still holds its id.
    if (WaitForExitWithoutReaping(pid))
        UnwatchProcessGroup(pid);
    int raw = 0;
    pid_t reaped = 0;
    do {
        reaped = waitpid(static_cast<pid_t>(pid), &raw, 0);
    } while (reaped < 0 && errno == EINTR);
    if (reaped != pid)
        return status;
    if (WIFEXITED(raw)) {
        status.kind = ExitStatus::Kind::Exited;
        status.code = WEXITSTATUS(raw);
    } else if (WIFSIGNALED(raw)) {
        status.kind = ExitStatus::Kind::Signaled;
        status.code = WTERMSIG(raw);
    }
    return status;
}

bool ReadProcessCpuTime(qint64 pid, quint64* time100ns)
{
    if (pid <= 0 || time100ns == nullptr)
        return false;
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%lld/stat", static_cast<long long>(pid));
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char text[1024];
    ssize_t length = 0;
    do {
        length = read(fd, text, sizeof text - 1);
    } while (length < 0 && errno == EINTR);
    close(fd);
    if (length <= 0)
        return false;
    text[length] = '\0';

    // The command name in parentheses may hold blanks and ')': the fields start after the
    // last ')'. There, field 3 (state) comes first; utime and stime are fields 14 and 15.
    const char* cursor = std::strrchr(text, ')');
    if (cursor == nullptr)
        return false;
    ++cursor;
    unsigned long long utime = 0;
    unsigned long long stime = 0;
    if (std::sscanf(cursor, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime,
                    &stime) != 2)
        return false;

    static const long ticksPerSecond = sysconf(_SC_CLK_TCK);
    if (ticksPerSecond <= 0)
        return false;
    *time100ns = (utime + stime) * kHundredNanosecondsPerSecond /
                 static_cast<unsigned long long>(ticksPerSecond);
    return true;
}

quint64 MonotonicTimestamp100ns()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<quint64>(now.tv_sec) * kHundredNanosecondsPerSecond +
           static_cast<quint64>(now.tv_nsec) / 100;
}

void UseUtf8CharacterSet()
{
    const char* codeset = nl_langinfo(CODESET);
    if (qstricmp(codeset, "UTF-8") == 0 || qstricmp(codeset, "utf8") == 0)
        return;
    if (!std::setlocale(LC_CTYPE, "C.UTF-8"))
        std::setlocale(LC_CTYPE, "en_US.UTF-8");
}

bool StandardErrorIsTerminal()
{
    return isatty(STDERR_FILENO) == 1;
}

int ProcessorCount()
{
    const unsigned count = std::thread::hardware_concurrency();
    return count > 0 ? static_cast<int>(count) : 1;
}

QString TemporaryFolder()
{
    const QString configured = qEnvironmentVariable("TMPDIR");
    return WithoutTrailingSeparators(configured.isEmpty() ? u"/tmp"_s : configured);
}

QString HomeFolder()
{
    // No passwd lookup: a desktop session always sets HOME, and getpwuid is not thread-safe.
    const QString home = qEnvironmentVariable("HOME");
    return WithoutTrailingSeparators(home.isEmpty() ? u"/"_s : home);
}

quint32 SecureRandom32()
{
    quint32 value = 0;
    auto* bytes = reinterpret_cast<unsigned char*>(&value);
    size_t filled = 0;
    while (filled < sizeof value) {
        const ssize_t got = getrandom(bytes + filled, sizeof value - filled, 0);
        if (got > 0)
            filled += static_cast<size_t>(got);
        else if (got < 0 && errno != EINTR)
            break; // no kernel source: the caller still checks names for uniqueness
    }
    return value;
}

QString ErrorText(int error)
{
    char buffer[256] = {};
    return QString::fromLocal8Bit(MessageOf(strerror_r(error, buffer, sizeof buffer), buffer));
}

int LastError()
{
    return errno;
}

} // namespace os
