#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <functional>

// The one module that talks to the operating system directly (os_posix.cpp). Everything
// above it is platform-neutral Qt Core code.
namespace os {

// The native path separator the path helpers use.
inline constexpr QChar kPathSeparator = u'/';

// A path as the system calls take it. A path holding a NUL names no file: it gives an empty
// name, which every call refuses, where the encoded bytes would name the file before the NUL.
QByteArray SystemName(const QString& path);

// How a child process ended.
struct ExitStatus
{
    enum class Kind
    {
        Exited,
        Signaled,
        Unknown
    };
    Kind kind = Kind::Unknown;
    int code = 0; // exit code for Exited, signal number for Signaled
};

// Starts `executable` with `arguments` (argv[1..]) in a process group of its own, stdin from
// /dev/null, no descriptor besides 0-2, default signal handlers and an empty signal mask.
// showWindow true: stdout and stderr are inherited; false: they go to /dev/null.
// Returns the child's pid, or 0 with *error set to the errno value when it could not start.
// With errorPipe, the child's stderr goes to a pipe whose read end *errorPipe receives (the
// caller reads and closes it, see ReadUntilExit); stdout still follows showWindow.
qint64 SpawnProcess(const QString& executable, const QStringList& arguments, bool showWindow,
                    int* error = nullptr, int* errorPipe = nullptr);

// Hands what arrives on descriptor to sink until the stream ends or the process pid has ended
// and the rest is read; then closes the descriptor. Blocks without polling; with a tick, it
// calls it every tickMs while the process runs and nothing arrives.
void ReadUntilExit(qint64 pid, int descriptor, const std::function<void(const QByteArray&)>& sink,
                   const std::function<void()>& tick = {}, int tickMs = 100);

// The nice value that stands for a process priority class (0x40, 0x20, 0x80, 0x100).
int NiceForPriorityClass(quint32 priorityClass);

// Applies a priority class to the whole process group led by pid. A refusal (EPERM) leaves
// the priority as it was and returns false; nothing else happens.
bool SetProcessGroupPriority(qint64 pid, quint32 priorityClass);

// SIGKILL to the process group led by pid. True when the signal was delivered.
bool KillProcessGroup(qint64 pid);

// Blocks until the child has exited, without reaping it (waitid WEXITED|WNOWAIT); retries
// on EINTR. False when pid is not a child of this process.
bool WaitForExitWithoutReaping(qint64 pid);

// Reaps an exited child and tells how it ended.
ExitStatus ReapProcess(qint64 pid);

// Processor time (user + system) of a process in 100-ns units; false when it cannot be read
// (no such process).
bool ReadProcessCpuTime(qint64 pid, quint64* time100ns);

// A monotonic clock in 100-ns units.
quint64 MonotonicTimestamp100ns();

// Number of processors (at least 1).
int ProcessorCount();

// Makes the C runtime's character set UTF-8 when the locale's is not (LANG=C, as under cron
// or systemd): the MediaInfo library turns file names into bytes by it, and would open no
// file with a non-ASCII name. Called once the application object has set the locale.
void UseUtf8CharacterSet();

// True when the standard error stream is a terminal (a progress bar may be drawn there).
bool StandardErrorIsTerminal();

// The system temporary folder (TMPDIR, else /tmp), without a trailing separator.
QString TemporaryFolder();

// The user's runtime folder (XDG_RUNTIME_DIR) without a trailing separator, when it is set to
// an absolute path of a folder the user owns and may write; empty otherwise.
QString RuntimeFolder();

// The user's home folder, without a trailing separator.
QString HomeFolder();

// A number from the system's secure random source.
quint32 SecureRandom32();

// The system's description of an error number (errno).
QString ErrorText(int error);

// The calling thread's last error (errno) and its description.
int LastError();

// Crash safety: a watchdog process, forked from ours, that outlives us only to SIGKILL the
// process groups of the encoders and decoders still running when we end, however we end.
// Start it once, early (it forks); SpawnProcess registers each child's group with it and
// ReapProcess takes the group off again. Without a watchdog both are no-ops.
bool StartChildWatchdog();

// The watchdog's pid, 0 when none was started.
qint64 ChildWatchdogId();

// Registers a child's process group with the watchdog, and takes it off once the child has
// exited (before it is reaped, so its id cannot have been reused yet).
void WatchProcessGroup(qint64 pid);
void UnwatchProcessGroup(qint64 pid);

// A new file (mode 0600, never an existing one) with an exclusive advisory lock held for as
// long as the returned descriptor stays open; -1 when it cannot be created or locked.
int CreateLockedFile(const QString& path);

// An existing file, opened read-only and locked exclusively; -1 when it cannot be opened or
// another open description (another process) holds the lock.
int OpenLockedFile(const QString& path);

// True while path still names the file open at descriptor (not deleted nor replaced).
bool DescriptorNamesPath(int descriptor, const QString& path);

// Writes all bytes at the descriptor's position; false on a short or failed write.
bool WriteAll(int descriptor, const QByteArray& bytes);

// Closes a descriptor, releasing its lock.
void CloseDescriptor(int descriptor);

// The real user id of our process.
quint32 CurrentUserId();

// True when the file system holding path has no space left for ordinary users. Programs that
// hit a full disk do not all say so: some exit with 0 after writing half their output. False
// where the file system reports no size.
bool FileSystemIsFull(const QString& path);

// One entry of a folder as the system lists it.
struct FolderEntry
{
    enum class Type
    {
        File,
        Folder,
        LinkToFile,
        LinkToFolder,
        DanglingLink, // points nowhere, or around in a loop
        Special,      // a FIFO, socket or device
    };
    QByteArray name; // the name's bytes, which need not be valid UTF-8
    Type type = Type::File;
    bool readable = false; // a file or folder we may open for reading
};

// The entries of a folder, without "." and "..", in no particular order. False, with the
// reason's errno value in *error, when the folder cannot be listed.
bool ReadFolder(const QString& folder, QList<FolderEntry>& entries, int* error);

// The names in a folder, without "." and "..": a listing that looks at no entry (no stat).
// Empty when the folder cannot be listed.
QList<QByteArray> FolderNames(const QString& folder);
// A regular file (links followed) we may open for reading: two looks, no open. Its size and
// modification time (ns) go where asked for.
bool IsReadableFile(const QString& path, qint64* size = nullptr, qint64* modifiedNs = nullptr);
// We may open the path for reading (one look; what it is is not asked).
bool MayRead(const QString& path);

// The longest path, in bytes, that the system opens.
int PathLengthLimit();

// Catches SIGINT, SIGTERM and SIGHUP from now on: instead of ending the program, each is noted,
// and a byte is written to StopSignalDescriptor() so an event loop can wake for it.
void CatchStopSignals();
// The last of those signals that arrived, 0 when none has.
int CaughtStopSignal();
// The same, for an event loop that has woken for it: the descriptor is read empty and the
// signal forgotten, so that it wakes once per signal.
int TakeStopSignal();
// Readable when one of those signals has arrived; -1 before CatchStopSignals.
int StopSignalDescriptor();
// Bytes an ordinary user may still write on the file system holding path; -1 when unknown.
qint64 FreeSpace(const QString& path);

// The size and the modification time (nanoseconds since the epoch) of the file a path names,
// links followed; false when it cannot be read.
bool FileStamp(const QString& path, qint64& size, qint64& modifiedNs);
// The same for the path itself, links not followed: isLink says the path is a link (whose
// own size and time are given).
bool OwnFileStamp(const QString& path, qint64& size, qint64& modifiedNs, bool& isLink);

} // namespace os
