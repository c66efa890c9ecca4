#include "codecs/codec_discovery.h"

#include "foundation/os.h"
#include "foundation/path_helpers.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

constexpr QStringView kAllPattern = u"*";
constexpr QStringView kExecutablePattern = u"*.exe";
constexpr QStringView kCodingType = u"Coding";
constexpr QStringView kDecodingType = u"Decoding";

bool IsHiddenName(const QString& name)
{
    return name.startsWith(u'.');
}

// A folder the scans descend into: a real directory, never a link to one, so a link loop
// cannot trap a traversal.
bool IsPlainFolder(const QFileInfo& info)
{
    return info.isDir() && !info.isSymLink() && !IsHiddenName(info.fileName());
}

bool IsExecutable(const QFileInfo& info)
{
    constexpr QFile::Permissions kAnyExecuteBit =
        QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;
    return info.isFile() && !IsHiddenName(info.fileName()) &&
           (info.permissions() & kAnyExecuteBit) != 0;
}

enum class ListKind
{
    Folders,
    Files
};

bool ListEntries(const QString& folder, QStringView pattern, ListKind kind, QStringList& result)
{
    result.clear();
    QString prefix = folder;
    if (!prefix.endsWith(os::kPathSeparator)) {
        prefix += os::kPathSeparator;
    }
    const QFileInfo folderInfo(prefix);
    if (!folderInfo.isDir() || !folderInfo.isReadable()) {
        return false;
    }

    QDir dir(prefix);
    const bool executablesOnly = pattern == kExecutablePattern;
    if (!executablesOnly && pattern != kAllPattern) {
        dir.setNameFilters({pattern.toString()});
    }
    // Without QDir::System: no FIFOs, sockets, devices or dangling links, which a caller that
    // opens each listed file could block on or would only fail to open.
    const QFileInfoList infos =
        dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::NoSort);

    // "*" always matches something (the folder's own entries), as the listing it stands for does.
    bool matched = pattern == kAllPattern;
    QStringList names;
    for (const QFileInfo& info : infos) {
        if (executablesOnly && !IsExecutable(info)) {
            continue;
        }
        matched = true;
        if (IsPlainFolder(info) == (kind == ListKind::Folders)) {
            names.append(info.fileName());
        }
    }
    if (!matched) {
        return false;
    }
    std::sort(names.begin(), names.end(), LessInListingOrder);
    for (const QString& name : std::as_const(names)) {
        result.append(prefix + name);
    }
    return true;
}

// A folder without an executable is skipped, for decoders too: ending the scan there would hide
// every decoder listed after it, all for one program that is not installed.
template <typename Codec>
bool ScanFolders(const QString& root, std::vector<std::unique_ptr<Codec>>& list)
{
    QStringList subfolders;
    if (!ListFolders(root, kAllPattern.toString(), subfolders)) {
        return false;
    }
    for (const QString& subfolder : std::as_const(subfolders)) {
        QStringList executables;
        if (!ListFiles(subfolder, kExecutablePattern.toString(), executables)) {
            continue;
        }
        for (const QString& executable : std::as_const(executables)) {
            auto codec = std::make_unique<Codec>();
            if (codec->Load(executable)) {
                list.push_back(std::move(codec));
            }
        }
    }
    return true;
}

const ExecutableEntry* FindEntry(const ExecutableDatabase& database, const QString& path,
                                 const QString& hash, bool findByFileName)
{
    const ExecutableEntry* entry = FindEntryByHash(database, hash);
    if (entry == nullptr && findByFileName) {
        // The database holds bare file names: the same encoder's binary differs from one
        // distribution build to the next, its name does not.
        entry = FindEntryByFileName(database, FileNamePart(path));
    }
    return entry;
}

template <typename Codec>
std::unique_ptr<Codec> BuildFromEntry(const ExecutableEntry& entry, const QString& path,
                                      QStringView type)
{
    auto codec = std::make_unique<Codec>();
    codec->SetExecutable(path);
    codec->fileSize = FileSize32(path);
    codec->date = entry.Date;
    codec->format = entry.Format;
    codec->description = entry.Description;
    codec->name = entry.Description;
    for (const CommandLineEntry& commandLine : entry.commandLines) {
        if (commandLine.Type != type) {
            continue;
        }
        codec->GetEntries().append(
            CodecEntry{commandLine.CommandLine, commandLine.Extension, commandLine.Description});
    }
    return codec;
}

// The digests of the discovery under way; null when none is.
std::mutex hashesMutex;
QHash<QString, QString>* discoveryHashes = nullptr;

QString HashOnce(const QString& path)
{
    {
        std::lock_guard lock(hashesMutex);
        if (discoveryHashes == nullptr) {
            return HashFile(path);
        }
        const auto found = discoveryHashes->constFind(path);
        if (found != discoveryHashes->cend()) {
            return *found;
        }
    }
    const QString hash = HashFile(path);
    std::lock_guard lock(hashesMutex);
    if (discoveryHashes != nullptr) {
        discoveryHashes->insert(path, hash);
    }
    return hash;
}

// Hashes the files on all processors ahead of a scan, so HashOnce finds their digests. Only
// while a discovery keeps them; otherwise the scan hashes one file after another.
void HashAheadOnAllProcessors(const QStringList& paths)
{
    {
        std::lock_guard lock(hashesMutex);
        if (discoveryHashes == nullptr) {
            return;
        }
    }
    std::atomic<qsizetype> next{0};
    const auto work = [&] {
        for (qsizetype i = next++; i < paths.size(); i = next++) {
            HashOnce(paths[i]);
        }
    };
    const int count = int(qMin<qsizetype>(os::ProcessorCount(), paths.size()));
    std::vector<std::thread> workers;
    for (int i = 1; i < count; ++i) {
        workers.emplace_back(work);
    }
    work();
    for (std::thread& worker : workers) {
        worker.join();
    }
}

template <typename Codec>
void ScanCodecs(const ExecutableDatabase& database, const QString& root,
                std::vector<std::unique_ptr<Codec>>& list, bool findByFileName, QStringView type)
{
    QStringList paths;
    ListFiles(root, kExecutablePattern.toString(), paths);
    HashAheadOnAllProcessors(paths);
    for (const QString& path : std::as_const(paths)) {
        const QString hash = HashOnce(path);
        if (hash.isEmpty()) {
            continue; // cannot be read, so it cannot be identified either
        }
        const ExecutableEntry* entry = FindEntry(database, path, hash, findByFileName);
        if (entry == nullptr) {
            continue;
        }
        auto codec = BuildFromEntry<Codec>(*entry, path, type);
        if (!codec->GetEntries().isEmpty()) {
            list.push_back(std::move(codec));
        }
    }
}

void AppendDecodeOnlyEntry(CoderList& coders, const QString& decodeOnlyName)
{
    auto decodeOnly = std::make_unique<CCoder>();
    decodeOnly->SetName(decodeOnlyName);
    coders.push_back(std::move(decodeOnly));
}

void AppendCoders(const QString& programFolder, const ExecutableDatabase& database,
                  CoderList& coders, bool findByFileName, const QString& decodeOnlyName)
{
    ScanCoderFolders(AppendPath(programFolder, u"Coders"_s), coders);
    ScanCodecsForCoders(database, AppendPath(programFolder, u"Codecs"_s), coders, findByFileName);
    AppendDecodeOnlyEntry(coders, decodeOnlyName);
}

void AppendDecoders(const QString& programFolder, const ExecutableDatabase& database,
                    DecoderList& decoders, bool findByFileName)
{
    ScanDecoderFolders(AppendPath(programFolder, u"Decoders"_s), decoders);
    ScanCodecsForDecoders(database, AppendPath(programFolder, u"Codecs"_s), decoders,
                          findByFileName);
}

} // namespace

bool ListFolders(const QString& folder, const QString& pattern, QStringList& result)
{
    return ListEntries(folder, pattern, ListKind::Folders, result);
}

bool ListFiles(const QString& folder, const QString& pattern, QStringList& result)
{
    return ListEntries(folder, pattern, ListKind::Files, result);
}

bool ScanCoderFolders(const QString& root, CoderList& coders)
{
    return ScanFolders(root, coders);
}

bool ScanDecoderFolders(const QString& root, DecoderList& decoders)
{
    return ScanFolders(root, decoders);
}

bool ScanCodecsForCoders(const ExecutableDatabase& database, const QString& root, CoderList& coders,
                         bool findByFileName)
{
    ScanCodecs(database, root, coders, findByFileName, kCodingType);
    return true;
}

bool ScanCodecsForDecoders(const ExecutableDatabase& database, const QString& root,
                           DecoderList& decoders, bool findByFileName)
{
    ScanCodecs(database, root, decoders, findByFileName, kDecodingType);
    return true;
}

CDiscoveryHashes::CDiscoveryHashes()
{
    std::lock_guard lock(hashesMutex);
    if (discoveryHashes == nullptr) {
        discoveryHashes = &hashes;
    }
}

CDiscoveryHashes::~CDiscoveryHashes()
{
    std::lock_guard lock(hashesMutex);
    if (discoveryHashes == &hashes) {
        discoveryHashes = nullptr;
    }
}

void DiscoverCodecs(const QString& programFolder, const ExecutableDatabase& database,
                    CoderList& coders, DecoderList& decoders, bool findByFileName,
                    const QString& decodeOnlyName)
{
    const CDiscoveryHashes hashesOfThisDiscovery;
    AppendCoders(programFolder, database, coders, findByFileName, decodeOnlyName);
    AppendDecoders(programFolder, database, decoders, findByFileName);
}

void RescanCoders(const QString& programFolder, const ExecutableDatabase& database,
                  CoderList& coders, bool findByFileName, const QString& decodeOnlyName)
{
    coders.clear();
    AppendCoders(programFolder, database, coders, findByFileName, decodeOnlyName);
}

void RescanDecoders(const QString& programFolder, const ExecutableDatabase& database,
                    DecoderList& decoders, bool findByFileName)
{
    decoders.clear();
    AppendDecoders(programFolder, database, decoders, findByFileName);
}
