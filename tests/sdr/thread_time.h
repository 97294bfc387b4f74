// The calling thread's own CPU time, so that a benchmark's share of a core
// does not count other work on a loaded machine.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <ctime>
#endif

#include <cstdint>

namespace sdrtest {

inline double thread_seconds()
{
#ifdef _WIN32
    FILETIME created, ended, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &ended, &kernel, &user);
    auto seconds = [](const FILETIME &t) {
        return static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) * 1e-7;
    };
    return seconds(kernel) + seconds(user);
#else
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
#endif
}

} // namespace sdrtest
