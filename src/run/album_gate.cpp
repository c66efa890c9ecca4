#include "run/album_gate.h"

#include "audio/result_check.h"
#include "run/run_files.h"
#include "tags/replay_gain.h"
#include "tags/tag_copy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

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

// A file of the album's folder with the album's title that none of the results came from: a
// source left out as up to date, or one not in the list. Values over part of an album are
// wrong for all of it. Files named like a result's source are taken for its earlier results.
QString MissingMember(const QString& album, const std::vector<CHeldResult>& results)
{
    if (results.empty())
        return {};
    QSet<QString> ours;
    QSet<QString> names;
    for (const CHeldResult& result : results) {
        if (result.album != album)
            continue;
        ours << QFileInfo(result.sourceFile).absoluteFilePath()
             << QFileInfo(result.outputFile).absoluteFilePath();
        names << QFileInfo(result.sourceFile).completeBaseName();
    }
    const QDir folder = QFileInfo(results.front().sourceFile).absoluteDir();
    for (const QFileInfo& file : folder.entryInfoList(QDir::Files, QDir::Name)) {
        const QString path = file.absoluteFilePath();
        if (ours.contains(path) || names.contains(file.completeBaseName()))
            continue;
        const bool audio =
            IsReadableAudioKind(path) || file.suffix().compare(u"wav"_s, Qt::CaseInsensitive) == 0;
        if (audio && ReadAlbumTitle(path) == album)
            return path;
    }
    return {};
}

void LeaveOutAlbumValues(const CHeldResult& result, const QString& missing,
                         QList<CReleaseFailure>& failures)
{
    const QString album = result.album.isEmpty() ? u"its folder's files without an album title"_s
                                                 : u"the album \"%1\""_s.arg(result.album);
    failures.append({result.process, true,
                     u"no album values: \"%1\", of %2, was not converted in this run; "
                     u"convert the whole album again to get them"_s.arg(missing, album)});
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
    QHash<QString, QString> missing;
    if (released.withAlbumValues) {
        for (const CHeldResult& result : released.results) {
            if (!missing.contains(result.album))
                missing.insert(result.album, MissingMember(result.album, released.results));
        }
    }
    for (const CHeldResult& result : released.results) {
        const QString member = missing.value(result.album);
        if (!member.isEmpty())
            LeaveOutAlbumValues(result, member, failures);
        else if (released.withAlbumValues && !released.incompleteAlbums.contains(result.album))
            WriteAlbumValues(result, albums.value(result.album), failures);
        Place(result, failures);
    }
    return failures;
}
