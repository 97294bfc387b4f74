#include "process_probe.h"

#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <cstring>
#include <vector>

#include "radio_program.h"

namespace testing {

namespace {

// One entry of the GDI handle table as Wine (and Windows) lay it out: the
// same 24 bytes on 32-bit and 64-bit builds. Wine keeps the type of a freed
// entry; its object field then links the free list.
struct GdiHandleEntry {
    uint64_t object;
    uint32_t owner;
    uint8_t type;
    uint8_t flags;
    uint16_t padding;
    uint64_t userPointer;
};
static_assert(sizeof(GdiHandleEntry) == 24, "GDI handle table entry");
constexpr size_t GdiHandleCount = 0x10000;

// Where the process environment block keeps the table's address.
#ifdef _WIN64
constexpr size_t GdiTableField = 0xF8;
#else
constexpr size_t GdiTableField = 0x94;
#endif

using QueryProcess = LONG(WINAPI *)(HANDLE, ULONG, PVOID, ULONG, PULONG);
using QuerySystem = LONG(WINAPI *)(ULONG, PVOID, ULONG, PULONG);

// The system's handle list (SystemHandleInformation, class 16), one entry
// per open handle of every process.
struct SystemHandleEntry {
    ULONG ownerProcessId;
    UCHAR objectType;
    UCHAR flags;
    USHORT handle;
    PVOID object;
    ACCESS_MASK access;
};
constexpr ULONG SystemHandleInformationClass = 16;
constexpr LONG StatusInfoLengthMismatch = static_cast<LONG>(0xC0000004u);

FARPROC ntdll_function(const char *name)
{
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), name);
}

double seconds(const FILETIME &time)
{
    return static_cast<double>(static_cast<uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime) / 1e7;
}

} // namespace

ProcessProbe::ProcessProbe(DWORD processId)
    : id(processId), process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId))
{
}

ProcessProbe::~ProcessProbe()
{
    if (process)
        CloseHandle(process);
}

int ProcessProbe::GdiObjects() const
{
    auto query = reinterpret_cast<QueryProcess>(reinterpret_cast<void *>(ntdll_function("NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic = {};
    if (!process || !query || query(process, ProcessBasicInformation, &basic, sizeof(basic), nullptr) != 0)
        return -1;
    void *table = nullptr;
    SIZE_T read = 0;
    if (!ReadProcessMemory(process, reinterpret_cast<const char *>(basic.PebBaseAddress) + GdiTableField, &table,
                           sizeof(table), &read) ||
        !table)
        return -1;
    std::vector<GdiHandleEntry> entries(GdiHandleCount);
    if (!ReadProcessMemory(process, table, entries.data(), entries.size() * sizeof(GdiHandleEntry), &read))
        return -1;
    // A freed entry links to the next free one: its object is then null or
    // an address inside the table itself.
    const auto first = reinterpret_cast<uint64_t>(table);
    const uint64_t end = first + GdiHandleCount * sizeof(GdiHandleEntry);
    int live = 0;
    for (const GdiHandleEntry &entry : entries)
        live += entry.type != 0 && entry.object != 0 && (entry.object < first || entry.object >= end);
    return live;
}

int ProcessProbe::Windows() const
{
    return CountProcessWindows(id).all;
}

double ProcessProbe::CpuSeconds() const
{
    // Wine gives the process's own times only to itself, but any thread's
    // times to anyone: the sum over its threads.
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    double total = 0;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != id)
            continue;
        HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID);
        FILETIME created, ended, kernel, user;
        if (thread && GetThreadTimes(thread, &created, &ended, &kernel, &user))
            total += seconds(kernel) + seconds(user);
        if (thread)
            CloseHandle(thread);
    }
    CloseHandle(snapshot);
    return total;
}

int ProcessProbe::Handles() const
{
    // Wine answers GetProcessHandleCount for the caller only; the system's
    // handle list names every handle's owner.
    DWORD own = 0;
    if (process && GetProcessHandleCount(process, &own) && own)
        return static_cast<int>(own);
    auto query = reinterpret_cast<QuerySystem>(reinterpret_cast<void *>(ntdll_function("NtQuerySystemInformation")));
    if (!query)
        return -1;
    std::vector<uint8_t> buffer(1 << 20);
    ULONG needed = 0;
    LONG status;
    while ((status = query(SystemHandleInformationClass, buffer.data(), static_cast<ULONG>(buffer.size()),
                           &needed)) == StatusInfoLengthMismatch)
        buffer.resize(buffer.size() * 2);
    if (status != 0)
        return -1;
    ULONG count = 0;
    std::memcpy(&count, buffer.data(), sizeof(count));
    const size_t first = sizeof(ULONG_PTR); // the count, padded to the entries' alignment
    int owned = 0;
    for (ULONG at = 0; at < count && first + (at + 1) * sizeof(SystemHandleEntry) <= buffer.size(); ++at) {
        SystemHandleEntry entry;
        std::memcpy(&entry, buffer.data() + first + at * sizeof(SystemHandleEntry), sizeof(entry));
        owned += entry.ownerProcessId == id;
    }
    return owned;
}

ProcessFigures ProcessProbe::Read() const
{
    ProcessFigures figures;
    if (!process)
        return figures;
    figures.gdiObjects = GdiObjects();
    figures.windows = Windows();
    figures.handles = Handles();
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof(memory);
    // Wine may leave PrivateUsage 0 for another process; the commit charge
    // (PagefileUsage) is the same figure on Windows.
    if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS *>(&memory), sizeof(memory)))
        figures.privateBytes =
            static_cast<int64_t>(memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage);
    figures.cpuSeconds = CpuSeconds();
    return figures;
}

} // namespace testing
