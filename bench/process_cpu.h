#pragma once

#include <sys/resource.h>

// The CPU time this process has used so far, user and system, in milliseconds: every thread of
// ours counts, the bots (other processes) do not. Any thread.
inline double ProcessCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_usec) / 1000.0;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}
