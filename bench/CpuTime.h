// Processor time for the benchmark drivers, in milliseconds: the calling thread's by default, or
// the whole process's with CLOCK_PROCESS_CPUTIME_ID.
#pragma once

#include <ctime>

inline double cpuMs(clockid_t clock = CLOCK_THREAD_CPUTIME_ID) {
    timespec t{};
    ::clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}
