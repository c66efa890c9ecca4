#pragma once

#include "planning/file_info.h"

#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class CPropertyCacheFile;

// Told how many of how many files are read; answering false cancels the reading. Called on
// the thread that reads, a few times a second, so a window may process its events inside it.
using ReadProgress = std::function<bool(qsizetype done, qsizetype total)>;

// Loads a record per path on a bounded pool of threads (each MediaInfo handle stays on its
// thread). Entry i belongs to path i and is null when that file cannot be opened. After a
// cancel only the records of the first paths come back: the list order is kept, never a gap.
// threads <= 0 means one per processor. Files the cache knows as they are now are not read
// again; without a cache every file is read. readableKnown: a folder walk has just found each
// path a file we may read, and a file the cache knows is not asked again.
std::vector<std::unique_ptr<CFileInfo>> ReadFileInfos(const QStringList& paths, int threads,
                                                      const ReadProgress& progress = {},
                                                      CPropertyCacheFile* cache = nullptr,
                                                      bool readableKnown = false);
