// Clocks for the receiver's tests and benchmarks: the wall's, the calling
// thread's own CPU time, and that of the threads a part started, so that a
// share of a core does not count other work on a loaded machine.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <ctime>
#endif

#include <cstdint>
#include <vector>

#ifdef _WIN32
#include <tlhelp32.h>
#endif

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

#ifdef _WIN32
inline double seconds_now()
{
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

inline std::vector<DWORD> process_thread_ids()
{
    std::vector<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId())
            ids.push_back(entry.th32ThreadID);
    CloseHandle(snapshot);
    return ids;
}

// The process's threads that are not among `before`, opened to read their times.
inline std::vector<HANDLE> threads_added_since(const std::vector<DWORD> &before)
{
    std::vector<HANDLE> added;
    for (DWORD id : process_thread_ids()) {
        bool known = false;
        for (DWORD old : before)
            known = known || old == id;
        if (!known)
            added.push_back(OpenThread(THREAD_QUERY_INFORMATION, FALSE, id));
    }
    return added;
}

inline double threads_cpu_seconds(const std::vector<HANDLE> &threads)
{
    double total = 0;
    for (HANDLE thread : threads) {
        FILETIME created, ended, kernel, user;
        if (!GetThreadTimes(thread, &created, &ended, &kernel, &user))
            continue;
        for (const FILETIME *time : {&kernel, &user})
            total += static_cast<double>(static_cast<uint64_t>(time->dwHighDateTime) << 32 | time->dwLowDateTime) * 1e-7;
    }
    return total;
}
#endif

} // namespace sdrtest
