#include "tuner_discovery.h"

#include <setupapi.h>

#include <cstdlib>

// The records' fixed sizes in this build's own layout: packed in the 32-bit
// build (5 and 28 bytes), naturally aligned in the 64-bit one.
#if defined(__i386__)
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == 5, "32-bit detail record");
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == 28, "32-bit interface record");
#elif defined(__x86_64__)
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == 8, "64-bit detail record");
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == 32, "64-bit interface record");
#endif

HANDLE open_tuner_interface(const GUID &interfaceClass, uint32_t memberIndex)
{
    HDEVINFO set = SetupDiGetClassDevsA(&interfaceClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE)
        return nullptr;

    SP_DEVICE_INTERFACE_DATA iface = {};
    iface.cbSize = sizeof(iface);
    if (!SetupDiEnumDeviceInterfaces(set, nullptr, &interfaceClass, memberIndex, &iface)) {
        SetupDiDestroyDeviceInfoList(set);
        return nullptr;
    }

    // The first query only reports the size; it fails for lack of room.
    // When it fails for another reason (the card pulled meanwhile) the size
    // stays unset, and a smaller block could not even hold the record's
    // size field.
    DWORD required = 0;
    SetupDiGetDeviceInterfaceDetailA(set, &iface, nullptr, 0, &required, nullptr);
    if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
        SetupDiDestroyDeviceInfoList(set);
        return nullptr;
    }
    auto *detail = static_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A *>(std::malloc(required));
    if (!detail) {
        SetupDiDestroyDeviceInfoList(set);
        return nullptr;
    }
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!SetupDiGetDeviceInterfaceDetailA(set, &iface, detail, required, nullptr, nullptr)) {
        SetupDiDestroyDeviceInfoList(set);
        std::free(detail);
        return nullptr;
    }

    HANDLE handle = CreateFileA(detail->DevicePath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    std::free(detail);
    SetupDiDestroyDeviceInfoList(set);
    return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}
