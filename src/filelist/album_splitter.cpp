#include "filelist/album_splitter.h"

#include "audio/embedded_cue_sheet.h"
#include "filelist/file_info_reader.h"
#include "filelist/work_tally.h"
#include "foundation/listed_folders.h"
#include "foundation/os.h"
#include "foundation/path_helpers.h"
#include "planning/album_image.h"
#include "planning/album_tracks.h"

#include <QDir>
#include <algorithm>
#include <atomic>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

// How often a window waiting for the lookups gets its events.

// The formats that albums are ripped to as one image.
bool MayBeImage(const CFileInfo& file)
{
    return file.fileType == kSourceFlac || file.fileType == kSourceApe ||
           file.fileType == kSourceWv || file.fileType == kSourceWav || file.fileType == kSourceTta;
}

bool IsSheet(const QString& path)
{
    return ExtensionPart(CleanedPath(path)).compare(u"cue"_s, Qt::CaseInsensitive) == 0;
}

std::vector<std::unique_ptr<CFileInfo>> Only(std::unique_ptr<CFileInfo> row)
{
    std::vector<std::unique_ptr<CFileInfo>> rows;
    rows.push_back(std::move(row));
    return rows;
}

} // namespace

CueGapMode CueGapModeOf(int setting)
{
    switch (setting) {
    case 1:
        return CueGapMode::ToOwnTrack;
    case 2:
        return CueGapMode::LeftOut;
    default:
        return CueGapMode::ToPreviousTrack;
    }
}

std::vector<std::unique_ptr<CFileInfo>> CAlbumSplitter::RowsOf(std::unique_ptr<CFileInfo> record)
{
    if (IsSheet(record->path))
        return RowsOfSheet(record->path);
    if (!MayBeImage(*record))
        return Only(std::move(record));
    // Resolving links looks at every folder of the path: done only where a sheet may name the
    // image by another path, not for each file of a library without sheets.
    const bool sheetsAround = sheetsRead || FolderHoldsSheets(record->folder);
    const QString key = sheetsAround ? ResolvedPath(record->path) : record->path;
    if (added.contains(key))
        return {};
    added.insert(key);
    QString error;
    std::optional<AlbumImage> album;
    if (auto found = foundSheets.find(record->path); found != foundSheets.end()) {
        album = std::move(found->album);
        error = found->error;
        foundSheets.erase(found);
    } else {
        album = FindImage(*record, &error);
    }
    if (!album) {
        // A damaged sheet beside it: the image is still a file of its own.
        if (!error.isEmpty())
            problems.append({record->path, error});
        return Only(std::move(record));
    }
    // A file of several a sheet names holds the tracks that start in it.
    if (album->sheet.Files().size() == 1 && !IsSameFile(album->Image(), record->path))
        return Only(std::move(record));
    return Split(std::move(record), *album);
}

bool CAlbumSplitter::FolderHoldsSheets(const QString& folder)
{
    // A folder of ten thousand files is listed once for its sheets, not once a file.
    auto known = foldersWithSheets.constFind(folder);
    if (known == foldersWithSheets.cend()) {
        const QList<QByteArray> names =
            listedFolders ? listedFolders->NamesIn(folder) : os::FolderNames(folder);
        const bool sheets = std::any_of(names.cbegin(), names.cend(), [](const QByteArray& name) {
            return name.size() > 4 && name.right(4).toLower() == ".cue";
        });
        known = foldersWithSheets.insert(folder, sheets);
    }
    return *known;
}

std::optional<AlbumImage> CAlbumSplitter::FindImage(const CFileInfo& file, QString* error) const
{
    if (foldersWithSheets.value(file.folder))
        return FindAlbumImageOfAudio(file.path, error, options.encoding);
    // Without a sheet beside it only one inside it splits the file, and a WAV carries none.
    if (file.fileType == kSourceWav)
        return std::nullopt;
    std::optional<CueSheet> sheet = ReadEmbeddedCueSheet(file.path, error, options.encoding);
    if (!sheet)
        return std::nullopt;
    const QString name = sheet->Files().value(0);
    return AlbumImage{{}, *sheet, {{name, file.path}}};
}

std::vector<std::unique_ptr<CFileInfo>> CAlbumSplitter::RowsOfSheet(const QString& cuePath)
{
    QString error;
    const std::optional<AlbumImage> album = ReadAlbumImageSheet(cuePath, &error, options.encoding);
    if (!album) {
        problems.append({cuePath, error});
        return {};
    }
    // The audio files the sheet names, each once in this adding (the folder holds them too).
    sheetsRead = true;
    QStringList named;
    for (const QString& name : album->sheet.Files()) {
        const QString path = album->files.value(name);
        if (!added.contains(ResolvedPath(path)))
            named << path;
        added.insert(ResolvedPath(path));
    }
    auto read = ReadFileInfos(named, 1, {}, cache);
    std::vector<std::unique_ptr<CFileInfo>> rows;
    for (qsizetype i = 0; i < named.size(); ++i) {
        if (!read[size_t(i)]) {
            problems.append({cuePath, u"its audio file %1 cannot be read"_s.arg(named[i])});
            continue;
        }
        for (auto& row : Split(std::move(read[size_t(i)]), *album))
            rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<std::unique_ptr<CFileInfo>> CAlbumSplitter::Split(std::unique_ptr<CFileInfo> image,
                                                              const AlbumImage& album)
{
    QString error;
    auto rows = TrackRowsOf(*image, album, options.gaps, &error);
    if (rows.empty()) {
        // The sheet cannot split it: the image is converted whole, and the user told why.
        problems.append({album.sheetPath.isEmpty() ? image->path : album.sheetPath, error});
        return Only(std::move(image));
    }
    return rows;
}

qsizetype CAlbumSplitter::FindSheets(const std::vector<std::unique_ptr<CFileInfo>>& records,
                                     int threads, const ReadProgress& progress)
{
    std::vector<const CFileInfo*> images;
    std::vector<qsizetype> imageAt;
    for (size_t i = 0; i < records.size(); ++i) {
        const CFileInfo* record = records[i].get();
        if (!record || IsSheet(record->path) || !MayBeImage(*record) ||
            foundSheets.contains(record->path))
            continue;
        // Listed here, once a folder, so that the lookups below only read the map. A WAV
        // carries no sheet inside: without one beside it, there is nothing to look up.
        if (!FolderHoldsSheets(record->folder) && record->fileType == kSourceWav)
            continue;
        images.push_back(record);
        imageAt.push_back(qsizetype(i));
    }
    if (images.empty())
        return qsizetype(records.size());

    std::vector<Lookup> found(images.size());
    std::vector<char> looked(images.size(), 0); // entry k written by one worker, read after
    std::atomic<size_t> next{0};
    std::atomic<bool> cancelled{false};
    CWorkTally tally(qsizetype(images.size()));
    const auto work = [&] {
        for (size_t k = next.fetch_add(1); k < images.size() && !cancelled.load();
             k = next.fetch_add(1)) {
            found[k].album = FindImage(*images[k], &found[k].error);
            looked[k] = 1;
            tally.Finished(1);
        }
    };
    const int wanted = threads > 0 ? threads : int(std::thread::hardware_concurrency());
    const size_t count = std::clamp<size_t>(size_t(std::max(wanted, 1)), 1, images.size());
    std::vector<std::thread> workers;
    for (size_t i = 0; i < count; ++i)
        workers.emplace_back(work);
    // The files are all read: the bar stays full while their sheets are looked for.
    const qsizetype all = qsizetype(records.size());
    tally.Wait(cancelled, [&](qsizetype) { return !progress || progress(all, all); });
    for (std::thread& worker : workers)
        worker.join();

    qsizetype usable = qsizetype(records.size());
    for (size_t k = 0; k < images.size(); ++k) {
        if (looked[k])
            foundSheets.insert(images[k]->path, std::move(found[k]));
        else
            usable = std::min(usable, imageAt[k]);
    }
    return usable;
}
