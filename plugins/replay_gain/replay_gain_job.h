#pragma once

#include "foundation/process.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <atomic>
#include <mutex>
#include <orvel/icore.h>
#include <thread>

// One ffmpeg run that decodes a file of any format the program reads into a temporary WAV
// for the meter (floating point, so that peaks above full scale stay as they are).
class CDecodeRun final : public CProcess
{
public:
    CDecodeRun(const QString& ffmpeg, const QString& source, const QString& wav);
    int GetKind() override { return 1; }
    const QString& Source() const { return source; }
    const QString& Wav() const { return wav; }

private:
    QString source;
    QString wav;
};

// The albums of a set of files: the files of one folder that share an album title (or have
// none) form one album, albums and files in the order first given. Duplicates are dropped.
QList<QStringList> GroupIntoAlbums(const QStringList& files);

// Adds ReplayGain values to files that exist, with the meter and the tag writer the
// conversions use: an album at a time, its files decoded in parallel on the plugin's core and
// measured in parallel, then each file tagged (on a copy that replaces it whole).
class CReplayGainJob
{
public:
    CReplayGainJob(ICore& core, QString ffmpeg);
    // Lets the album being tagged finish (for a minute at most).
    ~CReplayGainJob();
    CReplayGainJob(const CReplayGainJob&) = delete;
    CReplayGainJob& operator=(const CReplayGainJob&) = delete;

    bool HasTool() const { return !ffmpeg.isEmpty(); }
    QString Tool() const { return ffmpeg; }

    // Starts tagging the albums of files. False when a run is still going, the decoder is
    // missing or there is nothing to do.
    bool Start(const QStringList& files);
    bool IsRunning() const { return running; }
    // No further album starts; the one being tagged is finished.
    void Cancel() { cancelled = true; }
    // Cancels and waits up to timeoutMs for the album being tagged; true when it ended.
    bool Finish(int timeoutMs);

    int StartedAlbums() const { return startedAlbums; }
    int TotalAlbums() const { return totalAlbums; }
    // The files of the last run, and those that did not get ReplayGain values in it.
    QStringList Files() const { return files; }
    QStringList UntaggedFiles() const;

private:
    void Work(const QList<QStringList>& albums);
    void TagAlbum(const QStringList& album);

    ICore& core;
    QString ffmpeg;
    QStringList files;
    std::thread worker;
    std::atomic<bool> running{false};
    std::atomic<bool> cancelled{false};
    std::atomic<bool> stopped{false}; // the core was stopped in the middle of an album
    std::atomic<int> startedAlbums{0};
    std::atomic<int> totalAlbums{0};
    mutable std::mutex mutex;
    QSet<QString> tagged;
};
