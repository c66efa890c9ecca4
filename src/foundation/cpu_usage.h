#pragma once

#include <QtGlobal>

// Processor time of an external process, sampled between calls.
struct CpuUsageSample
{
    bool first = true;
    quint64 lastProcessTime = 0; // 100-ns units
    quint64 lastTimestamp = 0;   // 100-ns units
};

// Percent of one processor used by the process since the previous call, 0 to 100; the first
// call returns 0. Updates the sample.
double MeasureCpuUsage(CpuUsageSample& sample, quint32 processId);
