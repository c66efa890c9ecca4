#include "filelist/file_list.h"

#include "filelist/folder_walk.h"
#include "foundation/listed_folders.h"
#include "foundation/os.h"
#include "foundation/path_helpers.h"
#include "foundation/text_file.h"
#include "foundation/whole_file_writer.h"
#include "settings/settings_set.h"

#include <QUrl>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// Only the platform's separator: elsewhere "\\" is an ordinary file-name character.
bool IsFoldedSeparator(QChar c)
{
    return c == os::kPathSeparator;
}

constexpr QStringView kFileUrlScheme = u"file://";

// A name that a line cannot carry as it is: a line break would split it, and white space at
// either end is trimmed when the line is read.
bool NeedsUrlLine(const QString& path)
{
    const bool controls = std::any_of(path.cbegin(), path.cend(),
                                      [](QChar c) { return c.unicode() < 0x20 || c == u'\x7F'; });
    return controls || path != TrimWhiteSpace(path) || path.startsWith(kFileUrlScheme);
}

} // namespace

QString PlaylistLineOf(const QString& path)
{
    if (!NeedsUrlLine(path))
        return path;
    return QString::fromLatin1(QUrl::fromLocalFile(path).toEncoded());
}

QString PathOfPlaylistLine(const QString& line)
{
    if (!line.startsWith(kFileUrlScheme))
        return line;
    const QUrl url(line, QUrl::StrictMode);
    return url.isValid() && url.isLocalFile() ? url.toLocalFile() : line;
}

CFileList::~CFileList() = default;

bool CFileList::Add(const QString& path)
{
    // Through the reader, which asks the properties cache first.
    // Through the reader, which asks the properties cache first.
    auto read = ReadFileInfos({path}, 1, {}, propertyCache);
    if (read.empty() || !read.front())
        return false;
    return AddRows(std::move(read.front()), nullptr) > 0;
}

qsizetype CFileList::AddRows(std::unique_ptr<CFileInfo> record, CAlbumSplitter* splitter)
{
    CAlbumSplitter own(sheetOptions, propertyCache);
    std::vector<std::unique_ptr<CFileInfo>> rows =
        (splitter ? *splitter : own).RowsOf(std::move(record));
    for (auto& row : rows)
        entries.push_back(std::move(row));
    if (!splitter)
        sheetProblems << own.Problems();
    return qsizetype(rows.size());
}

bool CFileList::RemoveAt(qsizetype index)
{
    if (index < 0 || index >= Count())
        return false;
    entries.erase(entries.begin() + index);
    return true;
}

void CFileList::RemoveAll()
{
    entries.clear();
    entries.shrink_to_fit();
}

CFileInfo* CFileList::At(qsizetype index) const
{
    if (index < 0 || index >= Count())
        return nullptr;
    return entries[size_t(index)].get();
}

qsizetype CFileList::AddPaths(const QStringList& paths, const ReadProgress& progress,
                              QStringList* notOpened)
{
    return Append(paths, progress, notOpened, false);
}

qsizetype CFileList::AddWalkedPaths(const QStringList& paths, const ReadProgress& progress,
                                    QStringList* notOpened, const CListedFolders* listed)
{
    return Append(paths, progress, notOpened, true, listed);
}

qsizetype CFileList::Append(const QStringList& paths, const ReadProgress& progress,
                            QStringList* notOpened, bool readableKnown,
                            const CListedFolders* listed)
{
    qsizetype added = 0;
    qsizetype index = 0;
    CAlbumSplitter splitter(sheetOptions, propertyCache, listed);
    auto records = ReadFileInfos(paths, readThreads, progress, propertyCache, readableKnown);
    // A cancel while sheets are looked for keeps the files before it, as one while reading.
    records.resize(size_t(splitter.FindSheets(records, readThreads, progress)));
    for (auto& record : records) {
        if (record)
            added += AddRows(std::move(record), &splitter);
        else if (notOpened)
            notOpened->append(paths[index]);
        ++index;
    }
    sheetProblems << splitter.Problems();
    return added;
}

bool CFileList::LoadFromM3U(const QString& path, const ReadProgress& progress)
{
    RemoveAll();
    QStringList paths;
    const bool complete = ReadPlaylist(path, paths);
    AddPaths(paths, progress);
    return complete;
}

bool ReadPlaylist(const QString& path, QStringList& paths)
{
    paths.clear();
    try {
        CTextFileRead playlist(path);
        QByteArray line;
        while (playlist.ReadLine(line)) {
            // No comment syntax: "#EXTM3U" and the like name no file and are dropped by Add.
            const QString entryPath = PathOfPlaylistLine(TrimWhiteSpace(NarrowToWide(line)));
            if (!entryPath.isEmpty())
                paths.append(entryPath);
        }
    } catch (const CTextFileException&) {
        return false;
    }
    return true;
}

bool CFileList::SaveToM3U(const QString& path, QString* errorText) const
{
    QByteArray text;
    for (const auto& entry : entries)
        text += WideToNarrow(PlaylistLineOf(entry->path)) + "\r\n";
    return WriteWholeFile(path, text, errorText);
}

QString FoldDoubledSeparators(const QString& path)
{
    constexpr QChar kDoubled[] = {os::kPathSeparator, os::kPathSeparator};
    if (!path.contains(QStringView(kDoubled, 2)))
        return path;
    QString folded;
    folded.reserve(path.size());
    for (qsizetype i = 0; i < path.size(); ++i) {
        folded += path[i];
        if (IsFoldedSeparator(path[i]) && i + 1 < path.size() && path[i + 1] == path[i])
            ++i;
    }
    return folded;
}

bool CFileList::AddPath(const QString& path, bool addOnlyExists)
{
    const QString folded = FoldDoubledSeparators(path);
    if (addOnlyExists && !FileCanBeOpened(folded))
        return false;
    return Add(folded);
}

qsizetype CFileList::AddFolder(const QString& folder, bool addOnlyExists,
                               const ReadProgress& progress)
{
    // Opening a file is part of reading it, so addOnlyExists changes nothing for found files.
    Q_UNUSED(addOnlyExists);
    CListedFolders listed;
    QStringList files = WalkFolder(folder, {}, &listed).files;
    for (QString& file : files)
        file = FoldDoubledSeparators(file);
    return AddWalkedPaths(files, progress, nullptr, &listed);
}

QStringList ListFilesBelow(const QString& folder, const std::function<bool()>& keepListing)
{
    return WalkFolder(folder, keepListing).files;
}

QList<qsizetype> CFileList::RemoveDeadEntries()
{
    QList<qsizetype> removed;
    for (qsizetype i = Count() - 1; i >= 0; --i) {
        if (!PathExists(CleanedPath(entries[size_t(i)]->path))) {
            RemoveAt(i);
            removed.append(i);
        }
    }
    return removed;
}

QString RememberedFileListPath(const QString& programFolder)
{
    return AppendPath(programFolder, QString::fromUtf16(CFileList::kRememberedFileName));
}

bool LoadRememberedFileList(CFileList& list, const QString& programFolder,
                            const CSettingsSet& settings, const ReadProgress& progress)
{
    if (settings.general.rememberFileList == 0)
        return false;
    const QString path = CleanedPath(RememberedFileListPath(programFolder));
    if (!PathExists(path))
        return false;
    list.LoadFromM3U(path, progress);
    return true;
}

bool SaveRememberedFileList(const CFileList& list, const QString& programFolder, QString* errorText)
{
    return list.SaveToM3U(RememberedFileListPath(programFolder), errorText);
}
