#include "filelist/work_tally.h"

void CWorkTally::Finished(qsizetype count)
{
    std::lock_guard lock(mutex);
    done += count;
    if (done >= total)
        changed.notify_one();
}

void CWorkTally::Wait(std::atomic<bool>& cancelled,
                      const std::function<bool(qsizetype done)>& progress)
{
    std::unique_lock lock(mutex);
    while (done < total && !cancelled.load()) {
        changed.wait_for(lock, kInterval, [&] { return done >= total; });
        const qsizetype now = done;
        lock.unlock();
        if (progress && !progress(now))
            cancelled.store(true);
        lock.lock();
    }
}
