#include "foundation/os.h"

#include <QFile>
#include <cerrno>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
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

FolderEntry EntryOf(int folder, const char* name)
{
    FolderEntry entry;
    entry.name = QByteArray(name);
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
    std::unique_ptr<DIR, FolderCloser> listing(opendir(QFile::encodeName(folder).constData()));
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
            entries.append(EntryOf(descriptor, found->d_name));
        errno = 0;
    }
    if (errno != 0) {
        if (error)
            *error = errno;
        return false;
    }
    return true;
}

int PathLengthLimit()
{
    return PATH_MAX;
}

} // namespace os
