// The radio on a local rtl_tcp server (the kit's, the demonstration band in
// real time): how soon a start is heard, from the program started to the
// first sound at the card, and what the radio costs while it plays, thread by
// thread: the receiver's own (the chain), the window's, and the rest (the
// sound's way out through Wine). Prints lines beginning "figure:", which
// scripts/bench.sh collects; never fails on them.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <doctest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "radio_sound.h"
#include "radio_story.h"

using namespace radio_test;
using testing::RadioProgram;

namespace {

const char *build_name()
{
    return sizeof(void *) == 4 ? "i686" : "x86_64";
}

int setting(const char *name, int fallback)
{
    char value[32] = {};
    return GetEnvironmentVariableA(name, value, sizeof value) ? std::atoi(value) : fallback;
}

double seconds_now()
{
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The modules of another process: where each lies, [base, base + size).
struct Module {
    std::string name;
    uintptr_t base;
    uintptr_t size;
};

std::vector<Module> modules_of(DWORD processId)
{
    std::vector<Module> found;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (!process)
        return found;
    HMODULE modules[512];
    DWORD needed = 0;
    if (EnumProcessModules(process, modules, sizeof modules, &needed))
        for (DWORD i = 0; i < needed / sizeof(HMODULE) && i < 512; ++i) {
            char base[MAX_PATH] = {};
            MODULEINFO info = {};
            if (GetModuleBaseNameA(process, modules[i], base, sizeof base) &&
                GetModuleInformation(process, modules[i], &info, sizeof info))
                found.push_back({base, reinterpret_cast<uintptr_t>(info.lpBaseOfDll), info.SizeOfImage});
        }
    CloseHandle(process);
    return found;
}

// The module a thread started in, or "?".
std::string module_at(const std::vector<Module> &modules, uintptr_t address)
{
    for (const Module &module : modules)
        if (address - module.base < module.size)
            return module.name;
    return "?";
}

// One thread of the radio: where it started and the CPU it has used.
struct ThreadTime {
    DWORD id;
    uintptr_t start;
    double seconds;
};

std::vector<ThreadTime> thread_times(DWORD processId)
{
    using QueryThread = LONG(WINAPI *)(HANDLE, ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<QueryThread>(
        reinterpret_cast<void *>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationThread")));
    constexpr ULONG StartAddress = 9; // ThreadQuerySetWin32StartAddress
    std::vector<ThreadTime> times;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != processId)
            continue;
        HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID);
        if (!thread)
            continue;
        ThreadTime time = {entry.th32ThreadID, 0, 0};
        FILETIME created, ended, kernel, user;
        if (GetThreadTimes(thread, &created, &ended, &kernel, &user))
            for (const FILETIME *part : {&kernel, &user})
                time.seconds +=
                    static_cast<double>(static_cast<uint64_t>(part->dwHighDateTime) << 32 | part->dwLowDateTime) * 1e-7;
        void *start = nullptr;
        if (query && query(thread, StartAddress, &start, sizeof start, nullptr) == 0)
            time.start = reinterpret_cast<uintptr_t>(start);
        CloseHandle(thread);
        times.push_back(time);
    }
    CloseHandle(snapshot);
    return times;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

TEST_CASE_FIXTURE(RadioStory, "benchmark: the radio on a local server, from its start to the first sound")
{
    DemoServer demo(settings, 913);

    std::vector<double> windows, sounds;
    const int runs = setting("BENCH_RADIO_STARTS", 5);
    for (int run = 0; run < runs; ++run) {
        SoundToCapture sound; // a fresh capture for each start
        REQUIRE(sound.Ready());
        const double started = seconds_now();
        RadioProgram radio;
        REQUIRE(radio.Window());
        const double window = seconds_now() - started;
        if (sound.AwaitSound(0, 10000) != SIZE_MAX) {
            windows.push_back(window);
            sounds.push_back(seconds_now() - started);
        }
        REQUIRE(radio.Close());
        // The server serves one client: the next start finds it free.
        REQUIRE(demo.server.WaitForNoClient(5000));
    }
    std::printf("figure: start %s | %zu of %d | %.0f ms | %.0f ms (median), %.0f ms at most\n", build_name(),
                sounds.size(), runs, median(windows) * 1000, median(sounds) * 1000,
                sounds.empty() ? 0.0 : *std::max_element(sounds.begin(), sounds.end()) * 1000);
    std::fflush(stdout);
    CHECK(!sounds.empty()); // measured at all: a radio that never plays has no figures
}

TEST_CASE_FIXTURE(RadioStory, "benchmark: the radio playing a stereo station, its CPU thread by thread")
{
    DemoServer demo(settings, 913);
    SoundToCapture sound;
    REQUIRE(sound.Ready());
    RadioProgram radio;
    REQUIRE(radio.Window());
    REQUIRE(sound.AwaitSound(0, 10000) != SIZE_MAX);
    REQUIRE(WaitForSkin(radio, lit, StereoLamp, 10000));
    REQUIRE(sound.AwaitFrames(sound.Frames() + 48000, 10000)); // playing for a while

    const std::vector<Module> modules = modules_of(radio.ProcessId());
    const DWORD windowThread = GetWindowThreadProcessId(radio.Window(), nullptr);
    const std::vector<ThreadTime> before = thread_times(radio.ProcessId());
    const double wallStart = seconds_now();
    Sleep(static_cast<DWORD>(setting("TAVOLIN_BENCH_SECONDS", 10)) * 1000); // the measured stretch of playing
    const std::vector<ThreadTime> after = thread_times(radio.ProcessId());
    const double wall = seconds_now() - wallStart;

    // By where each thread started: the receiver's library (the chain), the
    // window's thread, and the rest by module (the sound's way out).
    double chain = 0, window = 0, rest = 0;
    int chainThreads = 0;
    std::string others;
    for (const ThreadTime &now : after) {
        double used = now.seconds;
        for (const ThreadTime &then : before)
            if (then.id == now.id)
                used -= then.seconds;
        const std::string module = module_at(modules, now.start);
        if (now.id == windowThread) {
            window += used;
        } else if (lstrcmpiA(module.c_str(), "TavolinReceiver.dll") == 0) {
            chain += used;
            ++chainThreads;
        } else {
            rest += used;
            char part[96];
            std::snprintf(part, sizeof part, "%s%s %.2f %%", others.empty() ? "" : ", ", module.c_str(),
                          100 * used / wall);
            others += part;
        }
    }
    const double total = chain + window + rest;
    std::printf("figure: playing %s | 91.3 MHz, stereo, RDS | %.2f %% over %.0f s | %.2f %% (%d threads) | %.2f %% | "
                "%.2f %% (%s) | %.2f %%\n",
                build_name(), 100 * total / wall, wall, 100 * chain / wall, chainThreads, 100 * window / wall,
                100 * rest / wall, others.c_str(), 100 * (total - chain) / wall);
    std::fflush(stdout);
    REQUIRE(radio.Close());
    CHECK(chainThreads > 0); // the receiver's threads were found: without them the figures mean nothing
}
