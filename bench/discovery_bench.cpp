// Codec discovery on a large program folder, and the MD5 throughput of HashFile next to the
// system's md5sum on the same files. bench/discovery.sh prints the ratio.

#include "codecs/codec_discovery.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

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

void BM_HashFile(benchmark::State& state)
{
    ProgramFolder& folder = Folder();
    for (auto _ : state) {
        for (const QString& path : std::as_const(folder.files)) {
            benchmark::DoNotOptimize(HashFile(path));
        }
    }
    state.SetBytesProcessed(state.iterations() * kCodecsExecutables * kExecutableSize);
}
BENCHMARK(BM_HashFile)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same files through the system's md5sum, one process per iteration.
void BM_Md5sum(benchmark::State& state)
{
    ProgramFolder& folder = Folder();
    for (auto _ : state) {
        QProcess md5sum;
        md5sum.start(u"md5sum"_s, folder.files);
        if (!md5sum.waitForFinished(-1) || md5sum.exitCode() != 0) {
            state.SkipWithError("md5sum failed");
            break;
        }
        benchmark::DoNotOptimize(md5sum.readAllStandardOutput());
    }
    state.SetBytesProcessed(state.iterations() * kCodecsExecutables * kExecutableSize);
}
BENCHMARK(BM_Md5sum)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
