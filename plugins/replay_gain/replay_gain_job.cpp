#include "replay_gain_job.h"

#include "flac_tags.h"
#include "foundation/command_line.h"
#include "foundation/os.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSet>
#include <QThread>

using namespace Qt::StringLiterals;

CAlbumRun::CAlbumRun(const QString& metaflac, const QStringList& albumFiles) : files(albumFiles)
{
    SetExecutable(metaflac);
    QString arguments = u"--add-replay-gain"_s;
    for (const QString& file : files)
        arguments += u' ' + QuoteArgument(file);
    SetParameters(arguments);
    SetShowWindow(false);
}

QList<QStringList> GroupIntoAlbums(const QStringList& files)
{
    QList<QStringList> albums;
    QStringList folders;
    QSet<QString> seen;
    for (const QString& file : files) {
        if (seen.contains(file))
            continue;
        seen.insert(file);
        const QString folder = QFileInfo(file).absolutePath();
        const qsizetype index = folders.indexOf(folder);
        if (index >= 0) {
            albums[index].append(file);
            continue;
        }
        folders.append(folder);
        albums.append(QStringList{file});
    }
    return albums;
}

CReplayGainJob::CReplayGainJob(ICore& pluginCore, QString tool)
    : core(pluginCore), metaflac(std::move(tool))
{
    // The core is ours alone: measure as many albums at once as there are processors.
    core.SetThreadsCount(os::ProcessorCount());
}

CReplayGainJob::~CReplayGainJob()
{
    if (!Finish(60000)) {
        // Workers may still hold the runs: leaving them allocated is the lesser harm.
        for (std::unique_ptr<CAlbumRun>& run : runs)
            run.release();
    }
}

bool CReplayGainJob::Start(const QStringList& newFiles)
{
    if (core.IsRunning() || !HasTool())
        return false;
    const QList<QStringList> albums = GroupIntoAlbums(newFiles);
    if (albums.isEmpty())
        return false;
    core.ClearQueue();
    runs.clear();
    files.clear();
    for (const QStringList& album : albums) {
        runs.push_back(std::make_unique<CAlbumRun>(metaflac, album));
        core.AddProcess(runs.back().get());
        files += album;
    }
    return core.Start();
}

void CReplayGainJob::Cancel()
{
    core.ClearQueue();
}

bool CReplayGainJob::Finish(int timeoutMs)
{
    Cancel();
    QElapsedTimer timer;
    timer.start();
    while (core.IsRunning()) {
        if (timer.hasExpired(timeoutMs))
            return false;
        QThread::msleep(20);
    }
    return true;
}

QStringList CReplayGainJob::UntaggedFiles() const
{
    QStringList untagged;
    for (const QString& file : files) {
        if (!HasReplayGainTags(file))
            untagged.append(file);
    }
    return untagged;
}
