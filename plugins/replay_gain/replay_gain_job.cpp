#include "replay_gain_job.h"

#include "foundation/command_line.h"
#include "foundation/os.h"
#include "loudness/loudness.h"
#include "planning/job_planning.h"
#include "run/run_files.h"
#include "tags/replay_gain.h"
#include "tags/tag_copy.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QThread>
#include <algorithm>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr int kPollMs = 20;

struct Measured
{
    CTrackLoudness loudness;
    bool ok = false;
};

// Measures the WAVs on as many threads as there are processors, deleting each once read.
std::vector<Measured> MeasureAll(const std::vector<std::unique_ptr<CDecodeRun>>& runs)
{
    std::vector<Measured> measured(runs.size());
    std::atomic<size_t> next{0};
    const auto measureNext = [&] {
        for (size_t i = next++; i < runs.size(); i = next++) {
            measured[i].ok = MeasureWavLoudness(runs[i]->Wav(), measured[i].loudness, nullptr);
            QFile::remove(runs[i]->Wav());
        }
    };
    std::vector<std::thread> threads;
    for (int i = 1; i < os::ProcessorCount() && size_t(i) < runs.size(); ++i)
        threads.emplace_back(measureNext);
    measureNext();
    for (std::thread& thread : threads)
        thread.join();
    return measured;
}

// Tags a copy beside the file and moves it over the file: a crash while the tags are written
// leaves the file as it was.
bool WriteValues(const QString& file, const ReplayGainValues& values)
{
    const QString target = QFileInfo(file).canonicalFilePath();
    const QString copy = target.isEmpty() ? QString() : MakeTemporaryOutputName(target);
    if (copy.isEmpty() || !QFile::copy(target, copy))
        return false;
    const bool written = CopyTags(QString(), copy, nullptr, &values) && PlaceResult(copy, target);
    if (!written)
        QFile::remove(copy);
    return written;
}

} // namespace

CDecodeRun::CDecodeRun(const QString& ffmpeg, const QString& sourceFile, const QString& wavFile)
    : source(sourceFile), wav(wavFile)
{
    SetExecutable(ffmpeg);
    SetParameters(u"-nostdin -v error -y -i %1 -map 0:a:0 -c:a pcm_f32le -f wav %2"_s.arg(
        QuoteArgument(source), QuoteArgument(wav)));
    SetShowWindow(false);
}

QList<QStringList> GroupIntoAlbums(const QStringList& files)
{
    QList<QStringList> albums;
    QHash<QString, qsizetype> albumOfKey;
    QSet<QString> seen;
    for (const QString& file : files) {
        if (seen.contains(file))
            continue;
        seen.insert(file);
        const QString key = QFileInfo(file).absolutePath() + u'\n' + ReadAlbumTitle(file);
        if (const auto found = albumOfKey.constFind(key); found != albumOfKey.cend()) {
            albums[*found].append(file);
            continue;
        }
        albumOfKey.insert(key, albums.size());
        albums.append(QStringList{file});
    }
    return albums;
}

CReplayGainJob::CReplayGainJob(ICore& pluginCore, QString tool)
    : core(pluginCore), ffmpeg(std::move(tool))
{
    // The core is ours alone: decode as many files at once as there are processors.
    core.SetThreadsCount(os::ProcessorCount());
}

CReplayGainJob::~CReplayGainJob()
{
    // A decoder that hangs must not hold the program up for ever: after a minute it is
    // stopped, and its album is left as it was.
    if (!Finish(60000)) {
        stopped = true;
        core.Stop();
    }
    if (worker.joinable())
        worker.join();
}

bool CReplayGainJob::Start(const QStringList& newFiles)
{
    if (running || !HasTool())
        return false;
    const QList<QStringList> albums = GroupIntoAlbums(newFiles);
    if (albums.isEmpty())
        return false;
    if (worker.joinable())
        worker.join();
    files.clear();
    for (const QStringList& album : albums)
        files += album;
    {
        std::lock_guard lock(mutex);
        tagged.clear();
    }
    cancelled = false;
    startedAlbums = 0;
    totalAlbums = int(albums.size());
    running = true;
    worker = std::thread(&CReplayGainJob::Work, this, albums);
    return true;
}

bool CReplayGainJob::Finish(int timeoutMs)
{
    Cancel();
    QElapsedTimer timer;
    timer.start();
    while (running) {
        if (timer.hasExpired(timeoutMs))
            return false;
        QThread::msleep(kPollMs);
    }
    return true;
}

QStringList CReplayGainJob::UntaggedFiles() const
{
    std::lock_guard lock(mutex);
    QStringList untagged;
    for (const QString& file : files) {
        if (!tagged.contains(file))
            untagged.append(file);
    }
    return untagged;
}

void CReplayGainJob::Work(const QList<QStringList>& albums)
{
    for (const QStringList& album : albums) {
        if (cancelled)
            break;
        ++startedAlbums;
        TagAlbum(album);
    }
    running = false;
}

void CReplayGainJob::TagAlbum(const QStringList& album)
{
    std::vector<std::unique_ptr<CDecodeRun>> runs;
    core.ClearQueue();
    for (const QString& file : album) {
        runs.push_back(std::make_unique<CDecodeRun>(
            ffmpeg, file, MakeTempFileName(os::TemporaryFolder(), u".wav"_s)));
        core.AddProcess(runs.back().get());
    }
    core.Start();
    while (core.IsRunning())
        QThread::msleep(kPollMs);

    // Stopped decoders leave part of their audio: measured, it would give wrong values.
    if (stopped) {
        for (const auto& run : runs)
            QFile::remove(run->Wav());
        return;
    }
    const std::vector<Measured> measured = MeasureAll(runs);
    std::vector<const CTrackLoudness*> tracks;
    for (const Measured& item : measured)
        tracks.push_back(&item.loudness);
    // As in a conversion: an album with a file that could not be measured gets no album values.
    const bool wholeAlbum =
        std::all_of(measured.begin(), measured.end(), [](const Measured& item) { return item.ok; });
    const CAlbumLoudness albumValues = MeasureAlbum(tracks);
    for (size_t i = 0; i < runs.size(); ++i) {
        if (!measured[i].ok)
            continue;
        const ReplayGainValues values =
            ReplayGainValuesOf(measured[i].loudness, wholeAlbum ? &albumValues : nullptr);
        if (WriteValues(runs[i]->Source(), values)) {
            std::lock_guard lock(mutex);
            tagged.insert(runs[i]->Source());
        }
    }
}
