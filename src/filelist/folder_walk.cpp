#include "filelist/folder_walk.h"

#include "foundation/listed_folders.h"
#include "foundation/os.h"
#include "foundation/path_helpers.h"
#include "foundation/two_stripes.h"

#include <QStringDecoder>
#include <algorithm>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// The name as text; false when its bytes are not UTF-8, which no QString can carry back to
// the same file.
bool DecodeName(const QByteArray& bytes, QString& name)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    name = decoder.decode(bytes);
    return !decoder.hasError();
}

// The bytes of a name that is not UTF-8, readable: ASCII as it is, the rest as \xNN.
QString EscapedName(const QByteArray& bytes)
{
    QString shown;
    for (const char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        if (value >= 0x20 && value < 0x7F)
            shown += QLatin1Char(char(value));
        else
            shown += u"\\x%1"_s.arg(uint(value), 2, 16, QChar(u'0'));
    }
    return shown;
}

QString ReasonFor(const os::FolderEntry& entry)
{
    switch (entry.type) {
    case os::FolderEntry::Type::LinkToFolder:
        return u"a link to a folder: links to folders are not followed"_s;
    case os::FolderEntry::Type::DanglingLink:
        return u"a link that leads to no file"_s;
    case os::FolderEntry::Type::Special:
        return u"a FIFO, socket or device, not a file"_s;
    case os::FolderEntry::Type::File:
    case os::FolderEntry::Type::Folder:
    case os::FolderEntry::Type::LinkToFile:
        break;
    }
    return entry.readable ? QString() : u"cannot be read: "_s + os::ErrorText(EACCES);
}

// What listing one folder found. Folders are listed apart, on two threads where there are
// many, and put together in the walk's order afterwards.
struct FolderListing
{
    FolderWalk found;       // its files, its hidden subfolders and what it passed by
    QStringList subfolders; // in listing order
    QList<QByteArray> names;
};

class CFolderLister
{
public:
    explicit CFolderLister(bool keepingNames) : keepNames(keepingNames) {}

    FolderListing List(const QString& folder) const
    {
        FolderListing listing;
        QList<os::FolderEntry> entries;
        int error = 0;
        if (!os::ReadFolder(folder, entries, &error)) {
            listing.found.notRead.append(
                {folder, u"folder cannot be listed: "_s + os::ErrorText(error)});
            return listing;
        }
        const QString prefix = folder.endsWith(u'/') ? folder : folder + u'/';
        for (const os::FolderEntry& entry : std::as_const(entries))
            Sort(prefix, entry, listing);
        std::sort(listing.found.files.begin(), listing.found.files.end(), LessInListingOrder);
        std::sort(listing.subfolders.begin(), listing.subfolders.end(), LessInListingOrder);
        if (keepNames) {
            listing.names.reserve(entries.size());
            for (const os::FolderEntry& entry : std::as_const(entries))
                listing.names.append(entry.name);
        }
        return listing;
    }

private:
    static void Sort(const QString& prefix, const os::FolderEntry& entry, FolderListing& listing)
    {
        FolderWalk& found = listing.found;
        QString name;
        if (!DecodeName(entry.name, name)) {
            found.notRead.append(
                {prefix + EscapedName(entry.name), u"its name is not valid UTF-8"_s});
            return;
        }
        const QString path = prefix + name;
        // A UTF-16 unit takes at most three bytes of UTF-8: most paths need no encoding here.
        if (path.size() * 3 >= os::PathLengthLimit() &&
            path.toUtf8().size() >= os::PathLengthLimit()) {
            found.notRead.append(
                {path, u"its path is longer than the system allows (%1 bytes)"_s.arg(
                           os::PathLengthLimit())});
            return;
        }
        if (entry.type == os::FolderEntry::Type::Folder) {
            // One that cannot be read says so when it is listed.
            (name.startsWith(u'.') ? found.hiddenFolders : listing.subfolders).append(path);
            return;
        }
        const QString reason = ReasonFor(entry);
        if (!reason.isEmpty())
            found.notRead.append({path, reason});
        else
            found.files.append(path);
    }

    const bool keepNames;
};

// Folders listed between two questions whether to go on; a share of them is listed on a
// second thread when there are this many.
constexpr qsizetype kFoldersAtOnce = 64;
constexpr qsizetype kFewestForTwoThreads = 8;

std::vector<FolderListing> ListFolders(const CFolderLister& lister, const QStringList& folders,
                                       qsizetype first, qsizetype count)
{
    std::vector<FolderListing> listings(size_t(count), FolderListing{});
    const auto stripe = [&](qsizetype from, qsizetype step) {
        for (qsizetype i = from; i < count; i += step)
            listings[size_t(i)] = lister.List(folders[first + i]);
    };
    InTwoStripes(count >= kFewestForTwoThreads, stripe);
    return listings;
}

} // namespace

FolderWalk WalkFolder(const QString& folder, const std::function<bool()>& keepListing,
                      CListedFolders* listed)
{
    const CFolderLister lister(listed != nullptr);
    FolderWalk walk;
    // Level by level, each in the order its folders were found: the walk is breadth-first.
    QStringList level{folder};
    while (!level.isEmpty()) {
        QStringList next;
        for (qsizetype first = 0; first < level.size(); first += kFoldersAtOnce) {
            if (keepListing && !keepListing())
                return walk;
            const qsizetype count = std::min(kFoldersAtOnce, level.size() - first);
            std::vector<FolderListing> listings = ListFolders(lister, level, first, count);
            for (qsizetype i = 0; i < count; ++i) {
                FolderListing& listing = listings[size_t(i)];
                walk.files += listing.found.files;
                walk.notRead += listing.found.notRead;
                walk.hiddenFolders += listing.found.hiddenFolders;
                next += listing.subfolders;
                if (listed)
                    listed->Keep(level[first + i], std::move(listing.names));
            }
        }
        level = std::move(next);
    }
    return walk;
}
