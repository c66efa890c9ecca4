#include "filelist/folder_walk.h"

#include "foundation/listed_folders.h"
#include "foundation/os.h"
#include "foundation/path_helpers.h"

#include <QStringDecoder>
#include <algorithm>

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

class CWalker
{
public:
    FolderWalk walk;
    CListedFolders* listed = nullptr;

    void List(const QString& folder, QStringList& subfolders)
    {
        QList<os::FolderEntry> entries;
        int error = 0;
        if (!os::ReadFolder(folder, entries, &error)) {
            walk.notRead.append({folder, u"folder cannot be listed: "_s + os::ErrorText(error)});
            return;
        }
        QStringList files;
        for (const os::FolderEntry& entry : std::as_const(entries))
            Sort(folder, entry, files, subfolders);
        if (listed) {
            QList<QByteArray> names;
            names.reserve(entries.size());
            for (const os::FolderEntry& entry : std::as_const(entries))
                names.append(entry.name);
            listed->Keep(folder, std::move(names));
        }
        std::sort(files.begin(), files.end(), LessInListingOrder);
        walk.files += files;
    }

private:
    void Sort(const QString& folder, const os::FolderEntry& entry, QStringList& files,
              QStringList& subfolders)
    {
        const QString prefix = folder.endsWith(u'/') ? folder : folder + u'/';
        QString name;
        if (!DecodeName(entry.name, name)) {
            walk.notRead.append(
                {prefix + EscapedName(entry.name), u"its name is not valid UTF-8"_s});
            return;
        }
        const QString path = prefix + name;
        // A UTF-16 unit takes at most three bytes of UTF-8: most paths need no encoding here.
        if (path.size() * 3 >= os::PathLengthLimit() &&
            path.toUtf8().size() >= os::PathLengthLimit()) {
            walk.notRead.append(
                {path, u"its path is longer than the system allows (%1 bytes)"_s.arg(
                           os::PathLengthLimit())});
            return;
        }
        if (entry.type == os::FolderEntry::Type::Folder) {
            // One that cannot be read says so when it is listed.
            (name.startsWith(u'.') ? walk.hiddenFolders : subfolders).append(path);
            return;
        }
        const QString reason = ReasonFor(entry);
        if (!reason.isEmpty())
            walk.notRead.append({path, reason});
        else
            files.append(path);
    }
};

} // namespace

FolderWalk WalkFolder(const QString& folder, const std::function<bool()>& keepListing,
                      CListedFolders* listed)
{
    CWalker walker;
    walker.listed = listed;
    QStringList folders{folder};
    // The work list grows while it is walked: that makes the walk breadth-first.
    for (qsizetype next = 0; next < folders.size(); ++next) {
        if (keepListing && !keepListing())
            break;
        QStringList subfolders;
        walker.List(folders[next], subfolders);
        std::sort(subfolders.begin(), subfolders.end(), LessInListingOrder);
        folders += subfolders;
    }
    return walker.walk;
}
