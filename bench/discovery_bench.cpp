// Codec discovery on a large program folder, and the MD5 throughput of HashFile next to the
// system's md5sum on the same files. bench/discovery.sh prints the ratio.

#include "codecs/codec_discovery.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <ctime>

using namespace Qt::StringLiterals;

namespace {

constexpr int kCoderFolders = 200;
constexpr int kCodecsExecutables = 20;
constexpr qint64 kExecutableSize = 4 * 1024 * 1024;

void Write(const QString& path, const QByteArray& bytes, bool executable = false)
{
    QDir().mkpath(path.section(u'/', 0, -2));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        qFatal("cannot write %s", qPrintable(path));
    }
    file.close();
    if (executable) {
        file.setPermissions(file.permissions() | QFile::ExeOwner | QFile::ExeGroup);
    }
}

QByteArray RandomBytes(qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(42);
    generator.fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    return bytes;
}

// The program folder every benchmark works on, built once.
struct ProgramFolder
{
    ProgramFolder()
    {
        QString xml = u"<db Date=\"bench\">\n"_s;
        for (int i = 0; i < kCoderFolders; ++i) {
            const QString folder =
                u"%1/Coders/Coder %2/"_s.arg(dir.path()).arg(i, 3, 10, QChar(u'0'));
            Write(folder + u"enc"_s, "#!/bin/sh\n", true);
            Write(folder + u"enc.name"_s, "Coder");
            Write(folder + u"Info.txt"_s, "Description\nFormat\nDate\n");
            Write(folder + u"Presets.ini"_s, "Fast\n-q 1 %in% %out%\nBest\n-q 9 %in% %out%\n");
            Write(folder + u"Extensions.ini"_s, "ext\next\n");
        }
        for (int i = 0; i < kCodecsExecutables; ++i) {
            QByteArray content = RandomBytes(kExecutableSize);
            content[0] = static_cast<char>(i);
            const QString path = u"%1/Codecs/exe%2"_s.arg(dir.path()).arg(i);
            Write(path, content, true);
            files.append(path);
            const QString hash = QString::fromLatin1(
                QCryptographicHash::hash(content, QCryptographicHash::Md5).toHex().toUpper());
            xml += u"<e Hash=\"%1\" Description=\"exe%2\"><c Extension=\"x\" Type=\"Coding\"/>"
                   u"<c Extension=\"x\" Type=\"Decoding\"/></e>\n"_s.arg(hash)
                       .arg(i);
        }
        Write(dir.path() + u"/Base.xml"_s, (xml + u"</db>\n"_s).toUtf8());
        if (!LoadDatabase(database, dir.path() + u"/Base.xml"_s)) {
            qFatal("Base.xml did not load");
        }
    }

    QTemporaryDir dir;
    QStringList files;
    ExecutableDatabase database;
};

ProgramFolder& Folder()
{
    static ProgramFolder folder;
    return folder;
}

void BM_DiscoverCodecs(benchmark::State& state)
{
    ProgramFolder& folder = Folder();
    for (auto _ : state) {
        CoderList coders;
        DecoderList decoders;
        DiscoverCodecs(folder.dir.path(), folder.database, coders, decoders, false, u"WAV"_s);
        if (coders.size() != kCoderFolders + kCodecsExecutables + 1) {
            state.SkipWithError("unexpected coder list");
        }
        benchmark::DoNotOptimize(decoders.data());
    }
}
BENCHMARK(BM_DiscoverCodecs)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ScanCoderFolders(benchmark::State& state)
{
    ProgramFolder& folder = Folder();
    for (auto _ : state) {
        CoderList coders;
        ScanCoderFolders(folder.dir.path() + u"/Coders"_s, coders);
        benchmark::DoNotOptimize(coders.data());
    }
}
BENCHMARK(BM_ScanCoderFolders)->Unit(benchmark::kMillisecond)->UseRealTime();

// Wall-clock and processor seconds of one pass over the files.
// One pass hashes every file of "Codecs" this many times: long enough that time(1)'s
// hundredths of a second, which it truncates, barely bias md5sum's processor time.
constexpr int kRoundsPerPass = 5;
constexpr double kMiBPerPass =
    kRoundsPerPass * kCodecsExecutables * kExecutableSize / (1024.0 * 1024.0);

struct Pass
{
    double wall = 0;
    double cpu = 0;
};

double SecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

Pass HashPass(const QStringList& files)
{
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    for (int round = 0; round < kRoundsPerPass; ++round) {
        for (const QString& path : files) {
            benchmark::DoNotOptimize(HashFile(path));
        }
    }
    return {SecondsSince(start), double(std::clock() - cpuStart) / CLOCKS_PER_SEC};
}

// The same files through the system's md5sum, one process per pass, run under time(1) for its
// processor seconds. A wall time below zero means it failed.
Pass Md5sumPass(const QStringList& files)
{
    QStringList arguments = {u"-f"_s, u"%U %S"_s, u"md5sum"_s};
    for (int round = 0; round < kRoundsPerPass; ++round) {
        arguments += files;
    }
    const auto start = std::chrono::steady_clock::now();
    QProcess md5sum;
    md5sum.start(u"/usr/bin/time"_s, arguments);
    if (!md5sum.waitForFinished(-1) || md5sum.exitCode() != 0) {
        return {-1, -1};
    }
    const double wall = SecondsSince(start);
    const QStringList times =
        QString::fromLatin1(md5sum.readAllStandardError()).trimmed().split(u' ');
    return {wall, times.value(0).toDouble() + times.value(1).toDouble()};
}

// HashFile and md5sum take turns on the same files, so a busy machine slows both alike.
// Wall-clock: the best pass of each; processor time: the sum over all passes.
void BM_HashFileVsMd5sum(benchmark::State& state)
{
    ProgramFolder& folder = Folder();
    double bestHashWall = 1e9;
    double bestMd5sumWall = 1e9;
    double hashCpu = 0;
    double md5sumCpu = 0;
    for (auto _ : state) {
        const Pass hash = HashPass(folder.files);
        const Pass md5sum = Md5sumPass(folder.files);
        if (md5sum.wall < 0) {
            state.SkipWithError("md5sum failed (needs /usr/bin/time)");
            return;
        }
        bestHashWall = std::min(bestHashWall, hash.wall);
        bestMd5sumWall = std::min(bestMd5sumWall, md5sum.wall);
        hashCpu += hash.cpu;
        md5sumCpu += md5sum.cpu;
        state.SetIterationTime(hash.wall);
    }
    const auto passes = static_cast<double>(state.iterations());
    state.counters["HashFile_MiBps"] = kMiBPerPass / bestHashWall;
    state.counters["md5sum_MiBps"] = kMiBPerPass / bestMd5sumWall;
    state.counters["HashFile_cpu_MiBps"] = kMiBPerPass * passes / hashCpu;
    state.counters["md5sum_cpu_MiBps"] = kMiBPerPass * passes / md5sumCpu;
}
BENCHMARK(BM_HashFileVsMd5sum)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(4);

} // namespace

BENCHMARK_MAIN();
