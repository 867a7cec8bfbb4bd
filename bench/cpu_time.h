#pragma once

// Processor time for the benches' CPU figures.
#include <sys/resource.h>

namespace fw::bench {

// User and system seconds used so far by the process (RUSAGE_SELF) or the calling thread
// (RUSAGE_THREAD).
inline double cpuSeconds(int who = RUSAGE_SELF) {
    rusage ru{};
    getrusage(who, &ru);
    return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

} // namespace fw::bench
