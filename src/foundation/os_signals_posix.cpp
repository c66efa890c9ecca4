#include "foundation/os.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace os {

namespace {

volatile std::sig_atomic_t caughtSignal = 0;
int wakeRead = -1;
int wakeWrite = -1;

// Only async-signal-safe calls: a store and a write to a non-blocking pipe.
void NoteStopSignal(int signal)
{
    caughtSignal = signal;
    if (wakeWrite >= 0) {
        const int saved = errno;
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = write(wakeWrite, &byte, 1);
        errno = saved;
    }
}

} // namespace

void CatchStopSignals()
{
    if (wakeRead < 0) {
        int ends[2] = {-1, -1};
        if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
            wakeRead = ends[0];
            wakeWrite = ends[1];
        }
    }
    struct sigaction action = {};
    action.sa_handler = NoteStopSignal;
    sigemptyset(&action.sa_mask);
    // Blocking calls (a wait for a child) are resumed; the loops look at the flag each tick.
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

int CaughtStopSignal()
{
    return caughtSignal;
}

int TakeStopSignal()
{
    char bytes[64];
    while (wakeRead >= 0 && read(wakeRead, bytes, sizeof bytes) > 0) {
    }
    const int signal = caughtSignal;
    caughtSignal = 0;
    return signal;
}

int StopSignalDescriptor()
{
    return wakeRead;
}

} // namespace os
