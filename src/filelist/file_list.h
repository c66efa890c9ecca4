#pragma once

#include "filelist/album_splitter.h"
#include "filelist/file_info_reader.h"
#include "planning/file_info.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class CSettingsSet;

// The ordered list of source files gathered for conversion; row i of the main window's list
// is entry i. The list owns its entries and, through them, their planned runs.
class CFileList
{
public:
    static constexpr char16_t kRememberedFileName[] = u"FileList.m3u";

    CFileList() = default;
    CFileList(const CFileList&) = delete;
    CFileList& operator=(const CFileList&) = delete;
    virtual ~CFileList();

    // Appends an entry loaded from the file; false (and nothing added) when the file cannot
    // be opened. The path is kept as given.
    bool Add(const QString& path);
    // Appends the files that can be opened, in the order given, reading their properties on
    // all cores; an album image with a cue sheet, or the sheet, appends the image's tracks. Returns
    // the number of entries added; a cancel keeps those of the first paths. notOpened, when given,
    // receives the paths read that could not be opened.
    qsizetype AddPaths(const QStringList& paths, const ReadProgress& progress = {},
                       QStringList* notOpened = nullptr);
    // The same for the files a folder walk has just found readable (WalkFolder); the folders
    // it kept, when given, are not listed again for sheets.
    qsizetype AddWalkedPaths(const QStringList& paths, const ReadProgress& progress = {},
                             QStringList* notOpened = nullptr,
                             const CListedFolders* listed = nullptr);
    // Threads that read properties; 0 (the default) means one per processor.
    void SetReadThreads(int count) { readThreads = count; }
    // The cache of properties read before; null (as it starts): every file is read.
    void SetPropertyCache(CPropertyCacheFile* cache) { propertyCache = cache; }
    // How album images are split into their tracks from now on.
    void SetSheetOptions(const SheetOptions& options) { sheetOptions = options; }
    // The sheets that could not split their images since the last call, with the reasons.
    QList<SheetProblem> TakeSheetProblems() { return std::exchange(sheetProblems, {}); }
    // False for an index that is not in the list; nothing is removed then.
    bool RemoveAt(qsizetype index);
    void RemoveAll();

    qsizetype Count() const { return qsizetype(entries.size()); }
    // Null for an index that is not in the list.
    CFileInfo* At(qsizetype index) const;

    // Replaces the list with the files that the playlist names (ReadPlaylist); lines that
    // name no openable file are dropped. A playlist that cannot be opened leaves the list
    // empty and still succeeds; false only when reading it failed part way (the entries read
    // until then stay).
    bool LoadFromM3U(const QString& path, const ReadProgress& progress = {});
    // Writes one path per line, CR LF after each, UTF-8 without a byte-order mark, replacing
    // the file in one go; on failure the previous file is left as it was.
    bool SaveToM3U(const QString& path, QString* errorText = nullptr) const;

    // A path that comes from the user: doubled platform separators folded ("//" to "/"),
    // then, with addOnlyExists, only a file that can be opened is added.
    bool AddPath(const QString& path, bool addOnlyExists);
    // Every file that ListFilesBelow finds, through AddPath. Returns the number of entries
    // added.
    qsizetype AddFolder(const QString& folder, bool addOnlyExists,
                        const ReadProgress& progress = {});
    // Removes every entry whose path no longer exists and returns the removed indices, from
    // the highest to the lowest, so a view can delete the same rows in that order.
    QList<qsizetype> RemoveDeadEntries();

private:
    qsizetype Append(const QStringList& paths, const ReadProgress& progress, QStringList* notOpened,
                     bool readableKnown, const CListedFolders* listed = nullptr);
    // Appends the rows that stand for a record read: itself, or its image's tracks. The
    // splitter of a whole adding gives each image's tracks once; null: one of its own.
    qsizetype AddRows(std::unique_ptr<CFileInfo> record, CAlbumSplitter* splitter);

    std::vector<std::unique_ptr<CFileInfo>> entries;
    int readThreads = 0;
    CPropertyCacheFile* propertyCache = nullptr;
    SheetOptions sheetOptions;
    QList<SheetProblem> sheetProblems;
};

// The files AddFolder adds, in its order: every file of the folder and of the folders below
// it, breadth-first, each level in listing order; links to folders and hidden folders are not
// descended. keepListing, when given, is asked before each few folders are listed; false ends the
// walk with the files found so far.
QStringList ListFilesBelow(const QString& folder, const std::function<bool()>& keepListing = {});

// The paths a playlist names, in LoadFromM3U's reading: one per line, trimmed, blank lines
// dropped. A playlist that cannot be opened names nothing and still succeeds; false only when
// reading failed part way (the paths read until then stay).
bool ReadPlaylist(const QString& path, QStringList& paths);

// How a playlist line carries a path: as it is, or as a "file://" URL where the path holds a
// line break or another control character, or white space at either end, which a plain line
// loses. Reading takes back either form.
QString PlaylistLineOf(const QString& path);
QString PathOfPlaylistLine(const QString& line);

// The doubled-separator folding of AddPath.
QString FoldDoubledSeparators(const QString& path);

// "FileList.m3u" in the program folder.
QString RememberedFileListPath(const QString& programFolder);

// Start-up: when RememberFileList is set and the remembered list exists, the list is replaced
// by it. True when it was read, so the caller rebuilds its view.
bool LoadRememberedFileList(CFileList& list, const QString& programFolder,
                            const CSettingsSet& settings, const ReadProgress& progress = {});

// Close: the list is written to the remembered list every time, whatever RememberFileList
// says; false (with the reason) when it could not be written.
bool SaveRememberedFileList(const CFileList& list, const QString& programFolder,
                            QString* errorText = nullptr);
