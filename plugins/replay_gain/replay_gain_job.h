#pragma once

#include "foundation/process.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <orvel/icore.h>
#include <vector>

// One metaflac run that computes and writes the ReplayGain values of one album.
class CAlbumRun final : public CProcess
{
public:
    CAlbumRun(const QString& metaflac, const QStringList& albumFiles);
    int GetKind() override { return 0; }
    const QStringList& Files() const { return files; }

private:
    QStringList files;
};

// The albums of a set of FLAC files: the files of one folder form one album, albums and
// files in the order first given. Duplicates are dropped.
QList<QStringList> GroupIntoAlbums(const QStringList& files);

// Tags FLAC files with ReplayGain values, one album per run, the albums running in parallel on
// the plugin's core.
class CReplayGainJob
{
public:
    CReplayGainJob(ICore& core, QString metaflac);
    // Lets the albums being tagged finish: a killed metaflac could leave a damaged file.
    ~CReplayGainJob();
    CReplayGainJob(const CReplayGainJob&) = delete;
    CReplayGainJob& operator=(const CReplayGainJob&) = delete;

    bool HasTool() const { return !metaflac.isEmpty(); }
    QString Tool() const { return metaflac; }

    // Queues the albums of files and starts the core. False when a run is still going, the
    // tool is missing or there is nothing to do.
    bool Start(const QStringList& files);
    bool IsRunning() const { return core.IsRunning(); }
    // No further album starts; those being tagged are finished.
    void Cancel();
    // Cancels and waits up to timeoutMs for the running albums; true when they ended.
    bool Finish(int timeoutMs);

    int StartedAlbums() const { return core.GetStartedCount(); }
    int TotalAlbums() const { return core.GetTotalCount(); }
    // The files of the last run, and those that carry no ReplayGain values after it.
    QStringList Files() const { return files; }
    QStringList UntaggedFiles() const;

private:
    ICore& core;
    QString metaflac;
    QStringList files;
    // The core refers to the runs while it works: they are only replaced once it is idle.
    std::vector<std::unique_ptr<CAlbumRun>> runs;
};
