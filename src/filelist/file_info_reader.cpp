#include "filelist/file_info_reader.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

constexpr auto kProgressInterval = std::chrono::milliseconds(100);

// What the workers share: the next path to take, how many are finished, and the cancel flag.
struct ReadState
{
    const QStringList& paths;
    std::vector<std::unique_ptr<CFileInfo>>& records;
    std::atomic<qsizetype> next{0};
    std::atomic<bool> cancelled{false};
    std::mutex mutex;
    std::condition_variable changed;
    qsizetype done = 0; // under mutex
};

std::unique_ptr<CFileInfo> Read(const QString& path)
{
    auto record = std::make_unique<CFileInfo>();
    if (!record->Load(path))
        return nullptr;
    return record;
}

void Work(ReadState& state)
{
    const qsizetype total = state.paths.size();
    while (!state.cancelled.load()) {
        const qsizetype index = state.next.fetch_add(1);
        if (index >= total)
            return;
        state.records[size_t(index)] = Read(state.paths[index]);
        std::lock_guard lock(state.mutex);
        if (++state.done == total)
            state.changed.notify_one();
    }
}

int ThreadCount(int requested, qsizetype paths)
{
    int count = requested > 0 ? requested : int(std::thread::hardware_concurrency());
    return int(std::clamp<qsizetype>(count, 1, std::max<qsizetype>(paths, 1)));
}

} // namespace

std::vector<std::unique_ptr<CFileInfo>> ReadFileInfos(const QStringList& paths, int threads,
                                                      const ReadProgress& progress)
{
    std::vector<std::unique_ptr<CFileInfo>> records(size_t(paths.size()));
    if (paths.isEmpty())
        return records;
    ReadState state{paths, records};
    // The first file is read here: the library sets itself up once, on one thread.
    records[0] = Read(paths[0]);
    state.next = 1;
    state.done = 1;
    std::vector<std::thread> workers;
    const int count = ThreadCount(threads, paths.size());
    for (int i = 0; i < count; ++i)
        workers.emplace_back(Work, std::ref(state));

    const qsizetype total = paths.size();
    std::unique_lock lock(state.mutex);
    while (state.done < total && !state.cancelled.load()) {
        state.changed.wait_for(lock, kProgressInterval, [&] { return state.done >= total; });
        const qsizetype done = state.done;
        lock.unlock();
        if (progress && !progress(done, total))
            state.cancelled.store(true);
        lock.lock();
    }
    lock.unlock();
    for (std::thread& worker : workers)
        worker.join();
    // Paths are taken in order, so every path below `next` has been read.
    records.resize(size_t(std::min(state.next.load(), total)));
    if (progress && !state.cancelled.load())
        progress(total, total);
    return records;
}
