#pragma once

#include "run/run_result.h"

#include <QString>

class IProcess;

// Puts the source's bytes, exactly, at the result's name, as a program's result would land:
// written under a hidden name beside it and moved over the name in one step, so no partial
// copy ever carries it. No tags are written (they are the source's already) and no check is
// needed: the size of what landed is compared with the source's. The run's outcome says how
// it ended; `process` is the file's planned run, for identity only.
RunResult CopySourceAsIs(IProcess* process, const QString& source, const QString& result);
