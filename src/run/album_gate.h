#pragma once

#include "loudness/loudness.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <mutex>
#include <optional>
#include <vector>

class IProcess;

// A finished result kept under its hidden name until its album's values are known.
struct CHeldResult
{
    IProcess* process = nullptr;
    QString sourceFile;
    QString writtenFile; // the hidden name, or the output itself when it has none
    QString outputFile;
    QString album; // the source's album title
    CTrackLoudness loudness;
};

// Results released together: an album's files (to get album values), or what is left when a
// run ends or a folder had a failure (placed with their track values only).
struct CReleasedResults
{
    std::vector<CHeldResult> results;
    bool withAlbumValues = false;
    // Album titles of the folder that lost a file: their results get track values only.
    QSet<QString> incompleteAlbums;
};

// Holds each folder's results until every coder of that folder has ended: only then are its
// albums whole and their loudness known. A result becomes visible under its own name only
// once it carries its album values, so a crash at any moment leaves no result half-tagged.
class CAlbumGate
{
public:
    // A new run: one entry per queued coder, the folder of its source.
    void Begin(quint64 generation, const QStringList& sourceFolders);
    // A coder of the run has ended, with its result when it succeeded, else the album title of
    // its source. Gives back the folder's results once its last coder has ended, with album
    // values for the albums that lost no file.
    CReleasedResults Account(quint64 generation, const QString& sourceFolder,
                             std::optional<CHeldResult> result, const QString& failedAlbum = {});
    // Everything still held (a run that ended or was stopped): no album values.
    CReleasedResults TakeAll();
    int HeldCount();

private:
    struct Folder
    {
        int pending = 0;
        QSet<QString> failedAlbums;
        std::vector<CHeldResult> held;
    };

    std::mutex mutex;
    quint64 generation = 0;
    QHash<QString, Folder> folders;
};

// A released result that could not be finished.
struct CReleaseFailure
{
    IProcess* process = nullptr;
    bool placed = false; // false: the result is gone (its hidden file could not be moved)
    QString reason;
};

// Gives each result, one at a time, its album's values when asked (an album being the results
// of one album title) and moves it to its own name. Returns what went wrong, per result.
QList<CReleaseFailure> ReleaseResults(const CReleasedResults& released);
