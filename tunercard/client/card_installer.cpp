#include "card_installer.h"

#include <windows.h>
#include <setupapi.h>
#include <newdev.h>

#include <cstring>

#include "../card_control.h"

namespace tunercard {

namespace {

std::string describe(const char *what)
{
    return std::string(what) + " failed (error " + std::to_string(GetLastError()) + ")";
}

// Finds the card's device node among all devices; the caller destroys the set.
bool find_card(HDEVINFO set, SP_DEVINFO_DATA *device)
{
    char id[200]; // instance ids are at most 200 characters
    device->cbSize = sizeof(*device);
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, device); ++i) {
        if (SetupDiGetDeviceInstanceIdA(set, device, id, sizeof(id), nullptr) &&
            lstrcmpiA(id, CARD_INSTANCE_ID) == 0)
            return true;
    }
    return false;
}

// The class comes from the INF once the driver is installed.
const GUID kNoClass = {};

void stop_service()
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager)
        return;
    if (SC_HANDLE service = OpenServiceA(manager, CARD_SERVICE_NAME, SERVICE_STOP)) {
        SERVICE_STATUS status;
        ControlService(service, SERVICE_CONTROL_STOP, &status);
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
}

} // namespace

bool CardInstaller::IsInstalled()
{
    HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
    if (set == INVALID_HANDLE_VALUE)
        return false;
    SP_DEVINFO_DATA device;
    bool found = find_card(set, &device);
    SetupDiDestroyDeviceInfoList(set);
    return found;
}

InstallResult CardInstaller::Install(const std::string &infPath)
{
    if (GetFileAttributesA(infPath.c_str()) == INVALID_FILE_ATTRIBUTES)
        return {false, "driver INF not found: " + infPath};

    if (!IsInstalled()) {
        HDEVINFO set = SetupDiCreateDeviceInfoList(nullptr, nullptr);
        if (set == INVALID_HANDLE_VALUE)
            return {false, describe("SetupDiCreateDeviceInfoList")};
        SP_DEVINFO_DATA device = {};
        device.cbSize = sizeof(device);
        // The hardware id property is a list of strings, ended by an empty one.
        static const char hardwareIds[] = CARD_HARDWARE_ID "\0";
        InstallResult result = {true, ""};
        if (!SetupDiCreateDeviceInfoA(set, CARD_INSTANCE_ID, &kNoClass, nullptr, nullptr, 0, &device))
            result = {false, describe("SetupDiCreateDeviceInfo")};
        else if (!SetupDiSetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID,
                                                    reinterpret_cast<const BYTE *>(hardwareIds),
                                                    sizeof(hardwareIds)))
            result = {false, describe("setting the hardware id")};
        else if (!SetupDiCallClassInstaller(DIF_REGISTERDEVICE, set, &device))
            result = {false, describe("registering the device")};
        SetupDiDestroyDeviceInfoList(set);
        if (!result.ok)
            return result;
    }

    BOOL reboot = FALSE;
    if (!UpdateDriverForPlugAndPlayDevicesA(nullptr, CARD_HARDWARE_ID, infPath.c_str(), INSTALLFLAG_FORCE, &reboot))
        return {false, describe("installing the driver")};
    return {true, "card installed"};
}

InstallResult CardInstaller::Uninstall()
{
    HDEVINFO set = SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
    if (set == INVALID_HANDLE_VALUE)
        return {false, describe("SetupDiGetClassDevs")};
    SP_DEVINFO_DATA device;
    InstallResult result = {false, "the card is not installed"};
    if (find_card(set, &device)) {
        if (SetupDiCallClassInstaller(DIF_REMOVE, set, &device))
            result = {true, "card uninstalled"};
        else
            result = {false, describe("removing the device")};
    }
    SetupDiDestroyDeviceInfoList(set);
    if (result.ok)
        stop_service(); // unloads the driver, and with it the control device
    return result;
}

} // namespace tunercard
