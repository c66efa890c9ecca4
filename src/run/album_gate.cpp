#include "run/album_gate.h"

#include "run/run_files.h"
#include "tags/replay_gain.h"
#include "tags/tag_copy.h"

using namespace Qt::StringLiterals;

namespace {

// Each album title's values, over all of its results.
QHash<QString, CAlbumLoudness> MeasureAlbums(const std::vector<CHeldResult>& results)
{
    QHash<QString, std::vector<const CTrackLoudness*>> tracks;
    for (const CHeldResult& result : results)
        tracks[result.album].push_back(&result.loudness);
    QHash<QString, CAlbumLoudness> albums;
    for (auto album = tracks.cbegin(); album != tracks.cend(); ++album)
        albums.insert(album.key(), MeasureAlbum(album.value()));
    return albums;
}

void WriteAlbumValues(const CHeldResult& result, const CAlbumLoudness& album,
                      QList<CReleaseFailure>& failures)
{
    const ReplayGainValues values = ReplayGainValuesOf(result.loudness, &album);
    QString error;
    if (!CopyTags(QString(), result.writtenFile, &error, &values))
        failures.append({result.process, true, error});
}

void Place(const CHeldResult& result, QList<CReleaseFailure>& failures)
{
    if (!PlaceOrDiscard(result.writtenFile, result.outputFile))
        failures.append({result.process, false,
                         u"\"%1\" could not be moved to its name"_s.arg(result.outputFile)});
}

} // namespace

void CAlbumGate::Begin(quint64 runGeneration, const QStringList& sourceFolders)
{
    std::lock_guard lock(mutex);
    generation = runGeneration;
    folders.clear();
    for (const QString& folder : sourceFolders)
        ++folders[folder].pending;
}

CReleasedResults CAlbumGate::Account(quint64 runGeneration, const QString& sourceFolder,
                                     std::optional<CHeldResult> result, const QString& failedAlbum)
{
    CReleasedResults released;
    std::lock_guard lock(mutex);
    const auto found = folders.find(sourceFolder);
    // A straggler of an earlier run, or a folder the gate does not know: nothing to wait for.
    if (runGeneration != generation || found == folders.end()) {
        if (result)
            released.results.push_back(std::move(*result));
        return released;
    }
    Folder& folder = *found;
    if (result)
        folder.held.push_back(std::move(*result));
    else
        folder.failedAlbums.insert(failedAlbum); // an album missing a file gets no album values
    if (--folder.pending > 0)
        return released;
    released.results = std::move(folder.held);
    released.withAlbumValues = true;
    released.incompleteAlbums = std::move(folder.failedAlbums);
    folders.erase(found);
    return released;
}

CReleasedResults CAlbumGate::TakeAll()
{
    CReleasedResults released;
    std::lock_guard lock(mutex);
    for (Folder& folder : folders) {
        for (CHeldResult& result : folder.held)
            released.results.push_back(std::move(result));
    }
    folders.clear();
    return released;
}

int CAlbumGate::HeldCount()
{
    std::lock_guard lock(mutex);
    int count = 0;
    for (const Folder& folder : std::as_const(folders))
        count += int(folder.held.size());
    return count;
}

QList<CReleaseFailure> ReleaseResults(const CReleasedResults& released)
{
    QList<CReleaseFailure> failures;
    const QHash<QString, CAlbumLoudness> albums = released.withAlbumValues
                                                      ? MeasureAlbums(released.results)
                                                      : QHash<QString, CAlbumLoudness>();
    // One result at a time, tagged and then moved to its name: a crash part-way leaves the ones
    // done at their names, whole, and the others hidden.
    for (const CHeldResult& result : released.results) {
        if (released.withAlbumValues && !released.incompleteAlbums.contains(result.album))
            WriteAlbumValues(result, albums.value(result.album), failures);
        Place(result, failures);
    }
    return failures;
}
