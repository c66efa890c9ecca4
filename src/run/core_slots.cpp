#include "run/active_run.h"
#include "run/core.h"

#include <algorithm>

// The core's slots: how many programs may run at once, and which holds each. Every function
// here runs under the core's mutex, or takes it.

void CCore::SetThreadsCount(int count)
{
    std::lock_guard lock(mutex);
    if (running)
        return;
    // No slot at all would leave a started run waiting forever; a count no machine has would
    // take all memory for slots.
    threadsCount = std::clamp(count, 1, kMaxThreadsCount);
    ResizeSlots(threadsCount);
}

void CCore::GetRunningProcesses(QList<IProcess*>& processes)
{
    std::lock_guard lock(mutex);
    processes.clear();
    for (IProcess* process : slots) {
        if (process == idleMarker.get())
            continue;
        // A slot is held from launch on; the program is listed once it exists.
        const ActiveRun* run = FindActive(process);
        if (run && run->pid > 0)
            processes.append(process);
    }
    for (const auto& run : active) {
        if (run->slotHandedOn && run->pid > 0)
            processes.append(run->process);
    }
}

bool CCore::HasFreeSlot() const
{
    return std::find(slots.begin(), slots.end(), idleMarker.get()) != slots.end();
}

void CCore::FreeSlot(IProcess* process)
{
    const auto slot = std::find(slots.begin(), slots.end(), process);
    if (slot == slots.end())
        return;
    // Slots beyond a count lowered while runs were winding down go away as they free up.
    if (int(slots.size()) > threadsCount)
        slots.erase(slot);
    else
        *slot = idleMarker.get();
}

void CCore::ResizeSlots(int count)
{
    // Slots still held by runs that are winding down are kept until they free up.
    std::vector<IProcess*> resized;
    for (IProcess* process : slots) {
        if (process != idleMarker.get())
            resized.push_back(process);
    }
    while (int(resized.size()) < count)
        resized.push_back(idleMarker.get());
    slots = std::move(resized);
}
