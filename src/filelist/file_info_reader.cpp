#include "filelist/file_info_reader.h"

#include "filelist/property_cache.h"
#include "filelist/property_probe.h"
#include "filelist/work_tally.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace {

// Below this many files a helper's start (about 50 ms, the library's set-up included) costs
// more than it saves: measured, 128 files read faster on threads and 256 through helpers.
constexpr qsizetype kFewestForHelpers = 200;
// Paths handed to a helper at a time: few enough that a cancel is quick.
constexpr qsizetype kHelperBatch = 16;
// Files a helper may die on in one reading before the rest is read here.
constexpr int kHelperFailureLimit = 8;

// What the workers share: the next path to take, how many are finished, and the cancel flag.
struct ReadState
{
    const QStringList& paths;
    std::vector<std::unique_ptr<CFileInfo>>& records;
    // The texts and tags each record was made from, for the cache; entry i written by one
    // worker.
    std::vector<ProbeAnswer>& texts;
    std::atomic<qsizetype> next{0};
    std::atomic<bool> cancelled{false};
    CWorkTally tally{paths.size()};
};

std::unique_ptr<CFileInfo> Record(const QString& path, const ProbeAnswer& answer)
{
    auto record = std::make_unique<CFileInfo>();
    if (!record->LoadWithTexts(path, answer.text, answer.tags))
        return nullptr;
    return record;
}

std::unique_ptr<CFileInfo> Read(const QString& path, ProbeAnswer& answer)
{
    if (!FileCanBeOpened(path))
        return nullptr;
    answer.text = ReadPropertyTexts(path);
    answer.tags = ReadSourceTags(path);
    return Record(path, answer);
}

void Work(ReadState& state)
{
    const qsizetype total = state.paths.size();
    while (!state.cancelled.load()) {
        const qsizetype index = state.next.fetch_add(1);
        if (index >= total)
            return;
        state.records[size_t(index)] = Read(state.paths[index], state.texts[size_t(index)]);
        state.tally.Finished(1);
    }
}

// Reads stretches of paths through one helper. A file the helper dies on is listed without
// properties, as files the library does not know are; when no helper can be had, the rest
// is read here.
void WorkThroughHelper(ReadState& state, const QString& program)
{
    CPropertyProbe probe(program, CMediaInfoLibrary::Shared()->FileName());
    int failures = 0;
    const qsizetype total = state.paths.size();
    while (!state.cancelled.load()) {
        const qsizetype first = state.next.fetch_add(kHelperBatch);
        if (first >= total)
            return;
        const qsizetype end = std::min(first + kHelperBatch, total);
        for (qsizetype at = first; at < end;) {
            const bool helped = probe.Usable() && failures < kHelperFailureLimit;
            if (!helped) {
                state.records[size_t(at)] = Read(state.paths[at], state.texts[size_t(at)]);
                ++at;
                continue;
            }
            const auto answers = probe.Read(state.paths.mid(at, end - at));
            for (const auto& answer : answers) {
                state.records[size_t(at)] = Record(state.paths[at], answer);
                state.texts[size_t(at)] = answer;
                ++at;
            }
            if (at < end && probe.Usable()) {
                ++failures;
                state.records[size_t(at)] = Record(state.paths[at], {});
                ++at;
            }
        }
        state.tally.Finished(end - first);
    }
}

int ThreadCount(int requested, qsizetype paths)
{
    int count = requested > 0 ? requested : int(std::thread::hardware_concurrency());
    return int(std::clamp<qsizetype>(count, 1, std::max<qsizetype>(paths, 1)));
}

// Helpers for many files on several cores, when the program has them; threads otherwise.
QString HelperFor(qsizetype paths, int threads)
{
    if (paths < kFewestForHelpers || threads < 2)
        return {};
    return PropertyProbeProgram();
}

// Reads every path with the library (on threads or through helpers), keeping the texts read.
std::vector<std::unique_ptr<CFileInfo>> ReadUncached(const QStringList& paths, int threads,
                                                     const ReadProgress& progress,
                                                     std::vector<ProbeAnswer>& texts)
{
    std::vector<std::unique_ptr<CFileInfo>> records(size_t(paths.size()));
    texts.assign(size_t(paths.size()), {});
    if (paths.isEmpty())
        return records;
    ReadState state{paths, records, texts};
    const int count = ThreadCount(threads, paths.size());
    const QString helper = HelperFor(paths.size(), count);
    std::vector<std::thread> workers;
    if (!helper.isEmpty()) {
        for (int i = 0; i < count; ++i)
            workers.emplace_back(WorkThroughHelper, std::ref(state), std::cref(helper));
    } else {
        // The first file is read here: the library sets itself up once, on one thread.
        records[0] = Read(paths[0], texts[0]);
        state.next = 1;
        state.tally.Finished(1);
        for (int i = 0; i < count; ++i)
            workers.emplace_back(Work, std::ref(state));
    }

    const qsizetype total = paths.size();
    state.tally.Wait(state.cancelled,
                     [&](qsizetype done) { return !progress || progress(done, total); });
    for (std::thread& worker : workers)
        worker.join();
    // Paths are taken in order, so every path below `next` has been read.
    records.resize(size_t(std::min(state.next.load(), total)));
    if (progress && !state.cancelled.load())
        progress(total, total);
    return records;
}

// The records of the first `end` paths that the cache knows, made on several threads: each
// is still asked whether it may be read, and a list read again is mostly such files.
void RecordKnown(const QStringList& paths, const std::vector<CPropertyCache::Entry>& entries,
                 qsizetype end, std::vector<std::unique_ptr<CFileInfo>>& records, int threads,
                 bool readableKnown)
{
    const auto stripe = [&](int first) {
        for (qsizetype i = first; i < end; i += threads) {
            const CPropertyCache::Entry& entry = entries[size_t(i)];
            if (!entry.found)
                continue;
            auto record = std::make_unique<CFileInfo>();
            if (record->LoadKnown(paths[i], entry.answer.text, entry.answer.tags, entry.size,
                                  entry.modifiedNs, readableKnown))
                records[size_t(i)] = std::move(record);
        }
    };
    std::vector<std::thread> workers;
    for (int first = 1; first < threads; ++first)
        workers.emplace_back(stripe, first);
    stripe(0);
    for (std::thread& worker : workers)
        worker.join();
}

} // namespace

std::vector<std::unique_ptr<CFileInfo>> ReadFileInfos(const QStringList& paths, int threads,
                                                      const ReadProgress& progress,
                                                      CPropertyCacheFile* cacheFile,
                                                      bool readableKnown)
{
    std::vector<ProbeAnswer> texts;
    if (!cacheFile || paths.isEmpty())
        return ReadUncached(paths, threads, progress, texts);
    CPropertyCache cache(*cacheFile);
    if (!cache.Usable())
        return ReadUncached(paths, threads, progress, texts);

    // Files the cache knows as they are now are not read again; the rest is read as ever.
    const std::vector<CPropertyCache::Entry> entries = cache.Find(paths);
    QStringList missing;
    std::vector<qsizetype> missingAt;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        if (!entries[size_t(i)].found) {
            missing << paths[i];
            missingAt.push_back(i);
        }
    }
    const qsizetype known = paths.size() - missing.size();
    const ReadProgress counted = [&](qsizetype done, qsizetype) {
        return !progress || progress(known + done, paths.size());
    };
    std::vector<ProbeAnswer> readTexts;
    auto read = ReadUncached(missing, threads, progress ? counted : ReadProgress(), readTexts);

    std::vector<std::unique_ptr<CFileInfo>> records(size_t(paths.size()));
    texts.assign(size_t(paths.size()), {});
    // A cancel keeps the records up to the first path that was not read.
    qsizetype end = paths.size();
    if (read.size() < missingAt.size())
        end = missingAt[read.size()];
    for (size_t k = 0; k < read.size(); ++k) {
        records[size_t(missingAt[k])] = std::move(read[k]);
        texts[size_t(missingAt[k])] = readTexts[k];
    }
    RecordKnown(paths, entries, end, records, ThreadCount(threads, known), readableKnown);
    records.resize(size_t(end));
    cache.Store(paths, entries, texts);
    if (progress && missing.isEmpty())
        progress(paths.size(), paths.size());
    return records;
}
