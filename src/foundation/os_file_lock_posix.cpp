#include "foundation/os.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace os {

namespace {

int LockOrClose(int descriptor)
{
    if (descriptor < 0)
        return -1;
    int locked = 0;
    do {
        locked = flock(descriptor, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked == 0)
        return descriptor;
    close(descriptor);
    return -1;
}

} // namespace

int CreateLockedFile(const QString& path)
{
    const QByteArray name = SystemName(path);
    return LockOrClose(open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
}

int OpenLockedFile(const QString& path)
{
    const QByteArray name = SystemName(path);
    // O_NOFOLLOW: a link planted in a shared temporary folder is not followed.
    return LockOrClose(open(name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
}

bool DescriptorNamesPath(int descriptor, const QString& path)
{
    struct stat opened = {};
    struct stat named = {};
    if (fstat(descriptor, &opened) != 0)
        return false;
    if (lstat(SystemName(path).constData(), &named) != 0)
        return false;
    return opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

bool WriteAll(int descriptor, const QByteArray& bytes)
{
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t result = write(descriptor, bytes.constData() + written,
                                     static_cast<size_t>(bytes.size() - written));
        if (result < 0 && errno == EINTR)
            continue;
        if (result <= 0)
            return false;
        written += result;
    }
    return true;
}

void CloseDescriptor(int descriptor)
{
    if (descriptor >= 0)
        close(descriptor);
}

quint32 CurrentUserId()
{
    return static_cast<quint32>(getuid());
}

bool FileSystemIsFull(const QString& path)
{
    struct statvfs status = {};
    if (statvfs(SystemName(path).constData(), &status) != 0)
        return false;
    // A file system that reports no size at all (FUSE without statfs) says nothing about space.
    return status.f_blocks > 0 && status.f_bavail == 0;
}

QString RuntimeFolder()
{
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    while (folder.size() > 1 && folder.endsWith(u'/'))
        folder.chop(1);
    if (!folder.startsWith(u'/'))
        return {};
    const QByteArray name = SystemName(folder);
    struct stat status = {};
    if (stat(name.constData(), &status) != 0 || !S_ISDIR(status.st_mode) ||
        status.st_uid != getuid() || access(name.constData(), W_OK | X_OK) != 0)
        return {};
    return folder;
}

qint64 FreeSpace(const QString& path)
{
    struct statvfs status = {};
    if (statvfs(SystemName(path).constData(), &status) != 0 || status.f_blocks == 0)
        return -1;
    return qint64(status.f_bavail) * qint64(status.f_frsize);
}

bool FileStamp(const QString& path, qint64& size, qint64& modifiedNs)
{
    struct stat status = {};
    if (stat(SystemName(path).constData(), &status) != 0)
        return false;
    size = qint64(status.st_size);
    modifiedNs = qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
    return true;
}

bool OwnFileStamp(const QString& path, qint64& size, qint64& modifiedNs, bool& isLink)
{
    struct stat status = {};
    if (lstat(SystemName(path).constData(), &status) != 0)
        return false;
    isLink = S_ISLNK(status.st_mode);
    size = qint64(status.st_size);
    modifiedNs = qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
    return true;
}

} // namespace os
