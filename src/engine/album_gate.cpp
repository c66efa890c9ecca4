#include "engine/album_gate.h"

#include "engine/replay_gain.h"
#include "engine/tag_copy.h"

#include <QFile>
#include <algorithm>
#include <filesystem>

using namespace Qt::StringLiterals;

namespace {

bool MoveIntoPlace(const QString& written, const QString& output)
{
    std::error_code error;
    std::filesystem::rename(QFile::encodeName(written).toStdString(),
                            QFile::encodeName(output).toStdString(), error);
    return !error;
}

// The album values of one album title's results.
void WriteAlbum(const std::vector<const CHeldResult*>& album, QList<CReleaseFailure>& failures)
{
    std::vector<const CTrackLoudness*> tracks;
    double albumPeak = 0.0;
    for (const CHeldResult* result : album) {
        tracks.push_back(&result->loudness);
        albumPeak = std::max(albumPeak, result->loudness.truePeak);
    }
    const double albumLoudness = GatedLoudness(tracks);
    for (const CHeldResult* result : album) {
        ReplayGainValues values;
        values.trackLoudness = result->loudness.Loudness();
        values.trackPeak = result->loudness.truePeak;
        values.hasAlbum = true;
        values.albumLoudness = albumLoudness;
        values.albumPeak = albumPeak;
        QString error;
        if (!CopyTags(QString(), result->writtenFile, &error, &values))
            failures.append({result->process, true, error});
    }
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
                                     std::optional<CHeldResult> result)
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
        folder.failed = true; // an album missing a file gets no album values
    if (--folder.pending > 0)
        return released;
    released.results = std::move(folder.held);
    released.withAlbumValues = !folder.failed;
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
    if (released.withAlbumValues) {
        QHash<QString, std::vector<const CHeldResult*>> albums;
        for (const CHeldResult& result : released.results)
            albums[result.album].push_back(&result);
        for (const auto& album : std::as_const(albums))
            WriteAlbum(album, failures);
    }
    for (const CHeldResult& result : released.results) {
        if (result.writtenFile == result.outputFile)
            continue;
        if (!MoveIntoPlace(result.writtenFile, result.outputFile)) {
            QFile::remove(result.writtenFile);
            failures.append({result.process, false,
                             u"\"%1\" could not be moved to its name"_s.arg(result.outputFile)});
        }
    }
    return failures;
}
