// Discovery as both programs use it: the first card of the class, opened for
// reading and writing, and nothing left behind by repeated calls.
#include <doctest.h>

#include <windows.h>
#include <setupapi.h>

#include <cstring>

#include "device/tuner_discovery.h"
#include "device/tuner_protocol.h"
#include "virtual_card.h"

using testing::SendRequest;
using testing::VirtualCard;

namespace {

// Bytes in use on every heap of the process.
size_t heap_bytes_in_use()
{
    HANDLE heaps[64];
    DWORD count = GetProcessHeaps(64, heaps);
    size_t used = 0;
    for (DWORD i = 0; i < count && i < 64; ++i) {
        PROCESS_HEAP_ENTRY entry = {};
        HeapLock(heaps[i]);
        while (HeapWalk(heaps[i], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
                used += entry.cbData;
        HeapUnlock(heaps[i]);
    }
    return used;
}

// The value the next new handle gets. Handle slots are reused lowest first,
// so a handle leaked in between moves it. (Wine reports no handle count.)
uintptr_t next_handle_value()
{
    HANDLE probe = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    uintptr_t value = reinterpret_cast<uintptr_t>(probe);
    CloseHandle(probe);
    return value;
}

const GUID kOtherClass = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};

// Points this program's import of one function at another while it lives:
// the code under test still calls through its real import slot.
class ImportHook {
public:
    ImportHook(const char *dll, const char *function, void *replacement)
    {
        auto *base = reinterpret_cast<BYTE *>(GetModuleHandleA(nullptr));
        auto *headers = reinterpret_cast<IMAGE_NT_HEADERS *>(base + reinterpret_cast<IMAGE_DOS_HEADER *>(base)->e_lfanew);
        const IMAGE_DATA_DIRECTORY &directory = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        auto *module = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR *>(base + directory.VirtualAddress);
        for (; module->Name && !slot_; ++module) {
            if (lstrcmpiA(reinterpret_cast<const char *>(base + module->Name), dll) != 0)
                continue;
            auto *name = reinterpret_cast<IMAGE_THUNK_DATA *>(base + module->OriginalFirstThunk);
            auto *slot = reinterpret_cast<IMAGE_THUNK_DATA *>(base + module->FirstThunk);
            for (; name->u1.AddressOfData; ++name, ++slot) {
                if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal))
                    continue;
                auto *byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME *>(base + name->u1.AddressOfData);
                if (std::strcmp(reinterpret_cast<const char *>(byName->Name), function) == 0) {
                    slot_ = &slot->u1.Function;
                    break;
                }
            }
        }
        if (slot_) {
            original_ = *slot_;
            Write(static_cast<Slot>(reinterpret_cast<uintptr_t>(replacement)));
        }
    }
    virtual ~ImportHook()
    {
        if (slot_)
            Write(original_);
    }
    bool Installed() const { return slot_ != nullptr; }
    void *Original() const { return reinterpret_cast<void *>(static_cast<uintptr_t>(original_)); }

private:
    using Slot = decltype(IMAGE_THUNK_DATA::u1.Function);
    void Write(Slot value)
    {
        DWORD protection = 0;
        VirtualProtect(slot_, sizeof(Slot), PAGE_READWRITE, &protection);
        *slot_ = value;
        VirtualProtect(slot_, sizeof(Slot), protection, &protection);
    }
    Slot *slot_ = nullptr;
    Slot original_ = 0;
};

using DetailQuery = BOOL(WINAPI *)(HDEVINFO, PSP_DEVICE_INTERFACE_DATA, PSP_DEVICE_INTERFACE_DETAIL_DATA_A, DWORD,
                                   PDWORD, PSP_DEVINFO_DATA);

// What the detail query answers while hooked, and what discovery handed it.
struct DetailFault {
    enum Kind { None, SizeQueryFails, SizeTooSmall } kind;
    DetailQuery real;
    int calls;
    int recordCalls;      // calls with a detail record to fill
    DWORD smallestRecord; // the smallest block handed over for one
};
DetailFault fault;

BOOL WINAPI FaultyDetailQuery(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA iface, PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail,
                              DWORD size, PDWORD required, PSP_DEVINFO_DATA device)
{
    ++fault.calls;
    if (detail) {
        ++fault.recordCalls;
        if (size < fault.smallestRecord)
            fault.smallestRecord = size;
    } else if (fault.kind == DetailFault::SizeQueryFails) {
        // As when the card goes between enumeration and this query: an
        // error other than the short buffer, and no size.
        SetLastError(ERROR_NO_SUCH_DEVINST);
        return FALSE;
    } else if (fault.kind == DetailFault::SizeTooSmall) {
        if (required)
            *required = 3;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    return fault.real(set, iface, detail, size, required, device);
}

} // namespace

TEST_CASE("discovery yields the card while inserted and none otherwise")
{
    VirtualCard card;
    HANDLE first = open_tuner_interface(TunerInterfaceGuid, 0);
    REQUIRE(first != nullptr);
    CHECK(first != INVALID_HANDLE_VALUE);

    // A second opener while the first holds the card (the radio and the agent).
    HANDLE second = open_tuner_interface(TunerInterfaceGuid, 0);
    REQUIRE(second != nullptr);
    uint32_t word = 0;
    CHECK(SendRequest(first, TUNER_POLL_CARD, &word, 4, &word, 4));
    CHECK(SendRequest(second, TUNER_POLL_CARD, &word, 4, &word, 4));

    CHECK(open_tuner_interface(TunerInterfaceGuid, 1) == nullptr);
    CHECK(open_tuner_interface(kOtherClass, 0) == nullptr);

    card.Pull();
    CHECK(open_tuner_interface(TunerInterfaceGuid, 0) == nullptr);
    card.Insert();
    HANDLE third = open_tuner_interface(TunerInterfaceGuid, 0);
    CHECK(third != nullptr);
    for (HANDLE handle : {first, second, third})
        if (handle)
            CloseHandle(handle);
}

TEST_CASE("thousands of discoveries leave no handle, set or record behind")
{
    VirtualCard card;
    auto run = [](int calls) {
        for (int i = 0; i < calls; ++i) {
            HANDLE handle = open_tuner_interface(TunerInterfaceGuid, 0);
            REQUIRE(handle);
            CloseHandle(handle);
            CHECK(open_tuner_interface(TunerInterfaceGuid, 1) == nullptr);
        }
    };
    run(50); // let the libraries settle their one-time allocations
    uintptr_t handlesBefore = next_handle_value();
    size_t heapBefore = heap_bytes_in_use();
    run(1000);
    card.Pull();
    for (int i = 0; i < 1000; ++i)
        CHECK(open_tuner_interface(TunerInterfaceGuid, 0) == nullptr);
    card.Insert();
    uintptr_t handlesAfter = next_handle_value();
    size_t heapAfter = heap_bytes_in_use();
    MESSAGE("next handle " << handlesBefore << " -> " << handlesAfter << ", heap bytes " << heapBefore << " -> "
                       << heapAfter);
    CHECK(handlesAfter == handlesBefore);
    // One leaked set or detail record per call would add well over 100 KB here.
    CHECK(heapAfter < heapBefore + 16 * 1024);
}

TEST_CASE("a detail query that reports no usable size fails the discovery without writing past its block")
{
    VirtualCard card;
    ImportHook hook("setupapi.dll", "SetupDiGetDeviceInterfaceDetailA", reinterpret_cast<void *>(FaultyDetailQuery));
    REQUIRE(hook.Installed());
    const DWORD fixedPart = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    auto run = [&](DetailFault::Kind kind) {
        fault = {kind, reinterpret_cast<DetailQuery>(hook.Original()), 0, 0, 0xFFFFFFFF};
        return open_tuner_interface(TunerInterfaceGuid, 0);
    };

    // Passed through, the hooked query still finds the card: both queries go
    // through the hook.
    HANDLE handle = run(DetailFault::None);
    CHECK(handle != nullptr);
    CHECK(fault.calls == 2);
    CHECK(fault.recordCalls == 1);
    CHECK(fault.smallestRecord > fixedPart);
    if (handle)
        CloseHandle(handle);

    for (DetailFault::Kind kind : {DetailFault::SizeQueryFails, DetailFault::SizeTooSmall}) {
        CAPTURE(kind);
        CHECK(run(kind) == nullptr);
        CHECK(fault.calls == 1);
        CHECK(fault.recordCalls == 0); // no block smaller than the record's size field
    }
}
