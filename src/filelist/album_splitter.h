#pragma once

#include "audio/cue_tracks.h"
#include "filelist/file_info_reader.h"
#include "planning/album_image.h"
#include "planning/file_info.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

class CListedFolders;
class CPropertyCacheFile;

// How album images are split into their tracks as files are added.
struct SheetOptions
{
    CueGapMode gaps = CueGapMode::ToPreviousTrack;
    QString encoding; // empty: each sheet's own, as its bytes say
};

// The gap mode a setting's number stands for; anything else: to the track before.
CueGapMode CueGapModeOf(int setting);

// An image whose sheet was found but could not split it, or a sheet that was added and could
// not be read: the path and why.
struct SheetProblem
{
    QString path;
    QString reason;
};

// Turns the rows of one adding into what the list shows: an album image with a cue sheet
// (beside it or inside it) becomes its tracks' rows, a .cue file the tracks of its image (or,
// for a sheet of several files, the tracks of each), and an image met twice (its sheet and
// itself, both found in a folder) gives its tracks once.
class CAlbumSplitter
{
public:
    // The folders in `listed`, when given, are not listed again to look for sheets.
    CAlbumSplitter(SheetOptions sheetOptions, CPropertyCacheFile* propertyCache,
                   const CListedFolders* listed = nullptr)
        : options(std::move(sheetOptions)), cache(propertyCache), listedFolders(listed)
    {
    }

    // The rows that stand for the record read from a path: itself, its tracks, or none.
    std::vector<std::unique_ptr<CFileInfo>> RowsOf(std::unique_ptr<CFileInfo> record);
    // Looks for the sheets of the records that may be album images on `threads` threads (0:
    // one a core), so that RowsOf finds them ready and a window waiting for an adding stays
    // alive: progress is called between, and a cancel stops the lookups. Returns how many of
    // the records, in order, RowsOf may now take without looking again (all but a cancel's).
    qsizetype FindSheets(const std::vector<std::unique_ptr<CFileInfo>>& records, int threads,
                         const ReadProgress& progress);
    const QList<SheetProblem>& Problems() const { return problems; }

private:
    std::vector<std::unique_ptr<CFileInfo>> RowsOfSheet(const QString& cuePath);
    // The sheet that splits the file, found as FindAlbumImageOfAudio finds it.
    // Safe on several threads once the file's folder is in foldersWithSheets (FindSheets).
    std::optional<AlbumImage> FindImage(const CFileInfo& file, QString* error) const;
    bool FolderHoldsSheets(const QString& folder);
    std::vector<std::unique_ptr<CFileInfo>> Split(std::unique_ptr<CFileInfo> image,
                                                  const AlbumImage& album);

    SheetOptions options;
    CPropertyCacheFile* cache = nullptr;
    const CListedFolders* listedFolders = nullptr;
    // Audio files of the formats images come in, given as rows or tracks already (resolved).
    QSet<QString> added;
    QHash<QString, bool> foldersWithSheets; // whether a folder holds any .cue file
    bool sheetsRead = false;                // a .cue file was added: paths are resolved
    QList<SheetProblem> problems;
    struct Lookup
    {
        std::optional<AlbumImage> album;
        QString error;
    };
    QHash<QString, Lookup> foundSheets; // by the record's path: what FindSheets found
};
