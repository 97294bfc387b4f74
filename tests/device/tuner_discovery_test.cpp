// Discovery as both programs use it: the first card of the class, opened for
// reading and writing, and nothing left behind by repeated calls.
#include <doctest.h>

#include <windows.h>

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
