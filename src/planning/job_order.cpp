#include "planning/job_order.h"

#include <algorithm>
#include <orvel/icore.h>

QList<CFileInfo*> OrderForStart(const QList<CFileInfo*>& files, bool longFilesFirst)
{
    QList<CFileInfo*> ordered = files;
    if (!longFilesFirst)
        return ordered;
    // Stable: equal and unknown durations keep their list order; 0 (unknown) sorts last.
    std::stable_sort(ordered.begin(), ordered.end(), [](const CFileInfo* a, const CFileInfo* b) {
        return a->duration > b->duration;
    });
    return ordered;
}

int QueueFiles(ICore& core, const QList<CFileInfo*>& files)
{
    int queued = 0;
    for (CFileInfo* file : files) {
        // A track's coder may read the WAV of another track's decoder, which runs instead.
        const bool ownDecoder = !file->coder || file->coder->decoder == file->decoder.get();
        if (file->decoder && ownDecoder && core.AddProcess(file->decoder.get()))
            ++queued;
        if (file->coder && core.AddProcess(file->coder.get()))
            ++queued;
    }
    return queued;
}
