#pragma once

#include <sys/resource.h>

// Processor time of this process (the core's threads) and of its reaped programs, in seconds:
// unlike the wall time, it hardly moves with what else runs on the machine.
inline double ProcessorSeconds()
{
    double seconds = 0.0;
    for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        getrusage(who, &usage);
        seconds += double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    return seconds;
}
