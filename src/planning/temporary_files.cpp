#include "planning/temporary_files.h"

#include "foundation/instance_session.h"
#include "foundation/os.h"
#include "foundation/path_helpers.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <functional>
#include <mutex>

using namespace Qt::StringLiterals;

namespace {

// Attempts at finding an unused temporary name before giving up; with 2^32 names a clash is
// already rare, many in a row mean the folder is unusable.
constexpr int kTempNameAttempts = 64;

std::mutex tempNamesMutex;
QSet<QString> tempNamesHandedOut;

// Room kept free in a memory-backed folder beyond the WAVs themselves.
constexpr qint64 kRuntimeFolderReserve = qint64(64) << 20;
// Decoders write at most 32-bit samples (some widen 24-bit sources to 32, or write floats).
constexpr int kWidestSampleBytes = 4;

// The first of a few names, each made of eight random hex digits, that is no file and was not
// handed out before; listed by `record` and handed out from now on. Empty when none is.
QString FreshName(const std::function<QString(const QString&)>& nameOf,
                  void (*record)(const QString&))
{
    std::lock_guard lock(tempNamesMutex);
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
        const QString name =
            nameOf(u"%1"_s.arg(qulonglong(os::SecureRandom32()), 8, 16, QChar(u'0')).toUpper());
        const QFileInfo info(name);
        if (info.exists() || info.isSymLink() || tempNamesHandedOut.contains(name))
            continue;
        tempNamesHandedOut.insert(name);
        record(name);
        return name;
    }
    return QString();
}

} // namespace

qint64 EstimatedWavBytes(const CFileInfo& file)
{
    if (file.duration <= 0 || file.sampleRate <= 0 || file.channels <= 0)
        return -1;
    // Lossy sources name no resolution: their decoders may write floats.
    const int sampleBytes = file.resolution > 0 && file.resolution <= 16 ? 2 : kWidestSampleBytes;
    // Opus decodes at 48 kHz whatever rate the source names.
    const qint64 rate = std::max(file.sampleRate, 48000);
    // A track's WAV is cut from its image's, and every track's waits beside it for its coder.
    const qint64 duration =
        file.track ? file.track->imageDurationMs + file.duration : file.duration;
    const qint64 samples = (duration * rate + 999) / 1000;
    return samples * file.channels * sampleBytes + 4096;
}

bool HoldsLargestWavs(qint64 freeBytes, QList<qint64> wavBytes, int slots)
{
    if (freeBytes <= 0 || wavBytes.contains(-1))
        return false;
    std::sort(wavBytes.begin(), wavBytes.end(), std::greater<>());
    // A finished decoder's WAV may wait for its coder while the next decoder writes: one more
    // WAV than there are slots, and a quarter on top.
    qint64 needed = 0;
    for (qsizetype i = 0; i < wavBytes.size() && i <= slots; ++i)
        needed += wavBytes[i];
    return needed + needed / 4 + kRuntimeFolderReserve <= freeBytes;
}

QString ChooseTempFolder(const QList<const CFileInfo*>& files, int slots)
{
    const QString runtime = os::RuntimeFolder();
    bool useRuntime = false;
    if (!runtime.isEmpty()) {
        QList<qint64> sizes;
        for (const CFileInfo* file : files)
            sizes << EstimatedWavBytes(*file);
        useRuntime = HoldsLargestWavs(os::FreeSpace(runtime), sizes, std::max(slots, 1));
    }
    return useRuntime ? runtime : os::TemporaryFolder();
}

QString MakeTempFileName(const QString& folder, const QString& extension)
{
    const QString dottedExtension =
        extension.startsWith(u'.') || extension.isEmpty() ? extension : u'.' + extension;
    // Listed before any program can write it, so a start after a crash finds it.
    return FreshName(
        [&](const QString& number) {
            return CleanedPath(
                AppendPath(folder, QString::fromUtf16(kTempFilePrefix) + number + dottedExtension));
        },
        RecordTemporaryFile);
}

QString MakeTemporaryOutputName(const QString& outputPath)
{
    if (outputPath.isEmpty())
        return QString();
    const QFileInfo output(outputPath);
    const QString suffix = output.suffix();
    const QString extension = suffix.isEmpty() ? QString() : u'.' + suffix;
    const QString folder = output.absolutePath();
    return FreshName(
        [&](const QString& number) {
            return QDir::cleanPath(folder + os::kPathSeparator + u".orv"_s + number + extension);
        },
        RecordTemporaryOutput);
}
