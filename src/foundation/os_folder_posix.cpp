#include "foundation/os.h"

#include <QFile>
#include <cerrno>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace os {

namespace {

struct FolderCloser
{
    void operator()(DIR* folder) const { closedir(folder); }
};

FolderEntry::Type TypeOfMode(mode_t mode, bool link)
{
    if (S_ISDIR(mode))
        return link ? FolderEntry::Type::LinkToFolder : FolderEntry::Type::Folder;
    if (S_ISREG(mode))
        return link ? FolderEntry::Type::LinkToFile : FolderEntry::Type::File;
    return FolderEntry::Type::Special;
}

// The listing's own type spares a look at each file and folder; links, and file systems that
// give no type, are looked at.
std::optional<FolderEntry::Type> ListedType(unsigned char type)
{
    switch (type) {
    case DT_REG:
        return FolderEntry::Type::File;
    case DT_DIR:
        return FolderEntry::Type::Folder;
    default:
        return std::nullopt;
    }
}

FolderEntry EntryOf(int folder, const char* name, unsigned char listedType)
{
    FolderEntry entry;
    entry.name = QByteArray(name);
    if (const std::optional<FolderEntry::Type> type = ListedType(listedType)) {
        entry.type = *type;
        const int wanted = entry.type == FolderEntry::Type::Folder ? R_OK | X_OK : R_OK;
        entry.readable = faccessat(folder, name, wanted, 0) == 0;
        return entry;
    }
    struct stat own = {};
    if (fstatat(folder, name, &own, AT_SYMLINK_NOFOLLOW) != 0) {
        entry.type = FolderEntry::Type::DanglingLink; // gone since it was listed
        return entry;
    }
    if (S_ISLNK(own.st_mode)) {
        struct stat target = {};
        if (fstatat(folder, name, &target, 0) != 0) {
            entry.type = FolderEntry::Type::DanglingLink;
            return entry;
        }
        entry.type = TypeOfMode(target.st_mode, true);
    } else {
        entry.type = TypeOfMode(own.st_mode, false);
    }
    const int wanted = entry.type == FolderEntry::Type::Folder ? R_OK | X_OK : R_OK;
    entry.readable = faccessat(folder, name, wanted, 0) == 0;
    return entry;
}

} // namespace

bool ReadFolder(const QString& folder, QList<FolderEntry>& entries, int* error)
{
    entries.clear();
    std::unique_ptr<DIR, FolderCloser> listing(opendir(SystemName(folder).constData()));
    if (!listing) {
        if (error)
            *error = errno;
        return false;
    }
    const int descriptor = dirfd(listing.get());
    errno = 0;
    while (const dirent* found = readdir(listing.get())) {
        const QByteArray name(found->d_name);
        if (name != "." && name != "..")
            entries.append(EntryOf(descriptor, found->d_name, found->d_type));
        errno = 0;
    }
    if (errno != 0) {
        if (error)
            *error = errno;
        return false;
    }
    return true;
}

QList<QByteArray> FolderNames(const QString& folder)
{
    QList<QByteArray> names;
    std::unique_ptr<DIR, FolderCloser> listing(opendir(SystemName(folder).constData()));
    if (!listing)
        return names;
    while (const dirent* found = readdir(listing.get())) {
        const QByteArray name(found->d_name);
        if (name != "." && name != "..")
            names.append(name);
    }
    return names;
}

bool IsReadableFile(const QString& path, qint64* size, qint64* modifiedNs)
{
    const QByteArray encoded = SystemName(path);
    struct stat status = {};
    if (stat(encoded.constData(), &status) != 0 || !S_ISREG(status.st_mode) ||
        access(encoded.constData(), R_OK) != 0)
        return false;
    if (size)
        *size = qint64(status.st_size);
    if (modifiedNs)
        *modifiedNs = qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
    return true;
}

bool MayRead(const QString& path)
{
    return access(SystemName(path).constData(), R_OK) == 0;
}

int PathLengthLimit()
{
    return PATH_MAX;
}

} // namespace os
