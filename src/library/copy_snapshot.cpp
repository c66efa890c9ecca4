#include "library/copy_snapshot.h"

#include "foundation/os.h"

#include <QFileInfo>

CopySnapshot ReadCopySnapshot(const QString& copyFolder)
{
    CopySnapshot snapshot;
    if (!QFileInfo::exists(copyFolder + QString::fromLatin1(CCopyRecord::kFileName)))
        return snapshot;
    QString error;
    const std::unique_ptr<CCopyRecord> record = CCopyRecord::Open(copyFolder, &error);
    if (!record)
        return snapshot;
    snapshot.roots = record->Roots();
    snapshot.entries = record->Entries();
    snapshot.read = record->LastError().isEmpty();
    snapshot.results.reserve(snapshot.entries.size());
    for (const CopyEntry& entry : std::as_const(snapshot.entries))
        snapshot.results.insert(entry.result, StampOfResult(copyFolder + entry.result));
    return snapshot;
}

std::optional<FoundResult> StampOfResult(const QString& path)
{
    FoundResult found;
    bool isLink = false;
    if (!os::OwnFileStamp(path, found.size, found.timeNs, isLink))
        return std::nullopt;
    if (isLink)
        return FoundResult{-1, 0};
    return found;
}
