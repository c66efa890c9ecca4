// Adding a folder of 10,000 small WAV and FLAC files to the file list with the real MediaInfo
// library: files added per second (wall clock and processor time), and the heap each entry
// holds once added, reading on one thread and on two. MediaInfo's parse is most of the cost;
// the FLAC files carry tags, and the tags of the same files read alone tell what reading them
// adds. bench/file_list.sh prints the ratios.

#include "filelist/file_list.h"
#include "filelist/property_probe.h"
#include "support/wav_bytes.h"
#include "tags/source_tags.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <ctime>
#include <malloc.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int kFiles = 10000;
constexpr int kFolders = 20;

// 0.1 s of a 441 Hz square wave, 16-bit mono at 22050 Hz.
QByteArray SmallWav()
{
    constexpr quint32 kRate = 22050;
    return WavBytes(kRate, kRate / 10, false);
}

void Write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

// Half WAV, half FLAC (encoded once by the real flac program), in kFolders folders.
struct MusicFolder
{
    MusicFolder()
    {
        const QByteArray wav = SmallWav();
        const QString sample = dir.filePath(u"sample.wav"_s);
        Write(sample, wav);
        const QString encoded = dir.filePath(u"sample.flac"_s);
        if (QProcess::execute(u"flac"_s, {u"-s"_s, u"-f"_s, u"-o"_s, encoded, sample}) != 0 ||
            QProcess::execute(u"metaflac"_s,
                              {u"--set-tag=ARTIST=Artist"_s, u"--set-tag=ALBUM=Album"_s,
                               u"--set-tag=TITLE=Title"_s, u"--set-tag=TRACKNUMBER=3"_s,
                               u"--set-tag=DATE=2001"_s, encoded}) != 0)
            qFatal("flac could not encode and tag the sample");
        QFile flacFile(encoded);
        if (!flacFile.open(QIODevice::ReadOnly))
            qFatal("no encoded sample");
        const QByteArray flac = flacFile.readAll();

        root = dir.filePath(u"music"_s);
        for (int i = 0; i < kFiles; ++i) {
            const QString folder = u"%1/Album %2"_s.arg(root).arg(i % kFolders, 2, 10, QChar(u'0'));
            QDir().mkpath(folder);
            const bool isFlac = i % 2 != 0;
            Write(u"%1/Track %2.%3"_s.arg(folder)
                      .arg(i, 5, 10, QChar(u'0'))
                      .arg(isFlac ? u"flac"_s : u"wav"_s),
                  isFlac ? flac : wav);
        }
        SetPropertyProbeProgram(QString::fromUtf8(ORVEL_PROBE_PROGRAM));
        // The library is loaded on the first file; that is not what is measured.
        CFileList warmUp;
        warmUp.Add(sample);
        if (warmUp.Count() != 1 || warmUp.At(0)->sampleRate != 22050)
            qFatal("MediaInfo did not read the sample");
    }

    QTemporaryDir dir;
    QString root;
};

MusicFolder& Music()
{
    static MusicFolder music;
    return music;
}

// The argument is the number of threads that read the files' properties.
void BM_AddFolder(benchmark::State& state)
{
    const QString root = Music().root;
    const QStringList walk = ListFilesBelow(root); // the order every run must keep
    qsizetype added = 0;
    double heapPerEntry = 0;
    double cpuSeconds = 0;
    for (auto _ : state) {
        CFileList list;
        list.SetReadThreads(int(state.range(0)));
        const size_t heapBefore = mallinfo2().uordblks;
        const std::clock_t cpuBefore = std::clock();
        added = list.AddFolder(root, true);
        cpuSeconds += double(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
        const size_t heapAfter = mallinfo2().uordblks;
        heapPerEntry = double(heapAfter - heapBefore) / double(added);
        state.PauseTiming();
        for (qsizetype i = 0; i < list.Count(); ++i) {
            if (list.At(i)->path != walk[i])
                state.SkipWithError("the list is not in the walk's order");
        }
        list.RemoveAll();
        state.ResumeTiming();
    }
    if (added != kFiles)
        state.SkipWithError("not every file was added");
    state.counters["files_per_second"] =
        benchmark::Counter(double(added) * double(state.iterations()), benchmark::Counter::kIsRate);
    // On a shared machine the wall clock also counts other programs' turns on the processor.
    state.counters["files_per_cpu_second"] =
        double(added) * double(state.iterations()) / cpuSeconds;
    state.counters["heap_bytes_per_entry"] = heapPerEntry;
}
// The tags alone of the same files, on one thread: what adding spends on them.
void BM_ReadTags(benchmark::State& state)
{
    const QStringList walk = ListFilesBelow(Music().root);
    qsizetype tagged = 0;
    for (auto _ : state) {
        tagged = 0;
        for (const QString& path : walk)
            tagged += ReadSourceTags(path).track == 3 ? 1 : 0;
    }
    if (tagged != kFiles / 2)
        state.SkipWithError("the FLAC files' tags were not read");
    state.counters["files_per_second"] = benchmark::Counter(
        double(walk.size()) * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReadTags)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

BENCHMARK(BM_AddFolder)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

} // namespace

BENCHMARK_MAIN();
