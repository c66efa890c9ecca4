#pragma once

#include <QtGlobal>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

// The count of the items a list's workers have finished, which the thread that started them
// waits on while it tells the progress: a cancel there keeps the workers from taking more.
class CWorkTally
{
public:
    explicit CWorkTally(qsizetype items) : total(items) {}

    // From a worker: more items are finished; the last one wakes the waiting thread.
    void Finished(qsizetype count);
    // Until every item is finished or cancelled is set: progress(done) every interval, and a
    // false from it sets cancelled.
    void Wait(std::atomic<bool>& cancelled, const std::function<bool(qsizetype done)>& progress);

private:
    static constexpr std::chrono::milliseconds kInterval{100};

    const qsizetype total;
    std::mutex mutex;
    std::condition_variable changed;
    qsizetype done = 0; // under mutex
};
