#include "foundation/os.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

// The watchdog and the registration of children with it. The watchdog is a fork of our
// process; it only ever calls async-signal-safe functions and allocates nothing, so it may be
// started even after threads exist.

namespace os {

namespace {

// More groups than this never run at once (one per worker slot); later ones are not watched.
constexpr int kMaxWatchedGroups = 4096;

std::atomic<int> watchdogSocket{-1};
std::atomic<qint64> watchdogId{0};

// A positive record registers a process group, a negative one takes it off again.
void SendRecord(qint64 record)
{
    const int socket = watchdogSocket.load();
    if (socket < 0)
        return;
    ssize_t sent = 0;
    do {
        // MSG_NOSIGNAL: a watchdog that was killed must not take us down with SIGPIPE.
        sent = send(socket, &record, sizeof record, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
}

void IgnoreTerminalSignals()
{
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    // The terminal's signals reach our whole group; the watchdog must outlive us to be useful.
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGTSTP, SIGTTIN, SIGTTOU})
        sigaction(signal, &ignore, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
}

// Keeps only the socket: a descriptor inherited from us (a session lock, a pipe) must not be
// held open by the watchdog.
void CloseAllDescriptorsBut(int keep)
{
    const bool closedBelow = keep <= 3 || close_range(3, static_cast<unsigned>(keep) - 1, 0) == 0;
    const bool closedAbove = close_range(static_cast<unsigned>(keep) + 1, ~0U, 0) == 0;
    if (!closedBelow || !closedAbove) { // kernels before 5.9
        const long limit = sysconf(_SC_OPEN_MAX);
        for (int descriptor = 3; descriptor < (limit > 0 ? limit : 1024); ++descriptor) {
            if (descriptor != keep)
                close(descriptor);
        }
    }
    const int nullDevice = open("/dev/null", O_RDWR);
    if (nullDevice >= 0) {
        dup2(nullDevice, STDIN_FILENO);
        dup2(nullDevice, STDOUT_FILENO);
        if (nullDevice > STDERR_FILENO)
            close(nullDevice);
    }
}

[[noreturn]] void RunWatchdog(int socket)
{
    IgnoreTerminalSignals();
    prctl(PR_SET_NAME, "orvel-watchdog", 0, 0, 0);
    CloseAllDescriptorsBut(socket);

    static qint64 groups[kMaxWatchedGroups];
    int count = 0;
    for (;;) {
        qint64 record = 0;
        const ssize_t got = recv(socket, &record, sizeof record, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got != static_cast<ssize_t>(sizeof record))
            break; // end of stream: the process that started us has ended
        if (record > 0) {
            if (count < kMaxWatchedGroups)
                groups[count++] = record;
            continue;
        }
        for (int i = 0; i < count; ++i) {
            if (groups[i] == -record) {
                groups[i] = groups[--count];
                break;
            }
        }
    }
    for (int i = 0; i < count; ++i)
        kill(static_cast<pid_t>(-groups[i]), SIGKILL);
    _exit(0);
}

} // namespace

bool StartChildWatchdog()
{
    if (watchdogSocket.load() >= 0)
        return true;
    int ends[2];
    // Datagram boundaries keep each record whole; close-on-exec keeps the other end out of
    // programs we start, so only our own end keeps the watchdog waiting.
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0)
        return false;
    const pid_t pid = fork();
    if (pid < 0) {
        close(ends[0]);
        close(ends[1]);
        return false;
    }
    if (pid == 0) {
        close(ends[0]);
        RunWatchdog(ends[1]);
    }
    close(ends[1]);
    watchdogId.store(pid);
    watchdogSocket.store(ends[0]);
    return true;
}

qint64 ChildWatchdogId()
{
    return watchdogId.load();
}

void WatchProcessGroup(qint64 pid)
{
    if (pid > 0)
        SendRecord(pid);
}

void UnwatchProcessGroup(qint64 pid)
{
    if (pid > 0)
        SendRecord(-pid);
}

} // namespace os
