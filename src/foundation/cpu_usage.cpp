#include "foundation/cpu_usage.h"

#include "foundation/os.h"

#include <algorithm>

double MeasureCpuUsage(CpuUsageSample& sample, quint32 processId)
{
    // A process that is gone reads as all ones, so the next difference is negative and
    // clamps to 0.
    quint64 processTime = 0;
    if (!os::ReadProcessCpuTime(processId, &processTime))
        processTime = ~quint64(0);
    const quint64 timestamp = os::MonotonicTimestamp100ns();

    if (sample.first) {
        sample.first = false;
        sample.lastProcessTime = processTime;
        sample.lastTimestamp = timestamp;
        return 0.0;
    }

    const auto timeDelta = static_cast<qint64>(processTime - sample.lastProcessTime);
    const auto elapsed = static_cast<qint64>(timestamp - sample.lastTimestamp);
    sample.lastProcessTime = processTime;
    sample.lastTimestamp = timestamp;
    if (elapsed <= 0)
        return 0.0; // two readings in the same clock tick: nothing to divide by
    const double usage = static_cast<double>(timeDelta) / static_cast<double>(elapsed) * 100.0;
    return std::clamp(usage, 0.0, 100.0);
}
