#include "virtual_card.h"

#include <doctest.h>

#include <cstring>

#include "scenario_file.h"
#include "tuner_discovery.h"
#include "device/tuner_protocol.h"

namespace testing {

std::string BinDirectory()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string directory(path, length);
    return directory.substr(0, directory.find_last_of("\\/"));
}

bool WaitDiscoverable(bool present, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        HANDLE handle = open_tuner_interface(TunerInterfaceGuid, 0);
        if (handle)
            CloseHandle(handle);
        if ((handle != nullptr) == present)
            return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(20);
    }
}

VirtualCard::VirtualCard()
{
    REQUIRE_MESSAGE(control_.Open(), "the virtual card's driver is not loaded");
    REQUIRE(control_.Reset());
    REQUIRE(control_.Insert());
    REQUIRE(control_.ClearLog());
    REQUIRE(WaitDiscoverable(true));
}

VirtualCard::~VirtualCard()
{
    control_.Reset();
    control_.Insert();
}

CardState VirtualCard::State()
{
    CardState state = {};
    REQUIRE(control_.GetState(&state));
    return state;
}

std::vector<CardLogEntry> VirtualCard::Log()
{
    std::vector<CardLogEntry> entries;
    REQUIRE(control_.ReadLog(&entries));
    return entries;
}

std::vector<CardLogEntry> VirtualCard::LogOf(uint32_t code)
{
    std::vector<CardLogEntry> matching;
    for (const CardLogEntry &entry : Log())
        if (entry.code == code)
            matching.push_back(entry);
    return matching;
}

void VirtualCard::ClearLog()
{
    REQUIRE(control_.ClearLog());
}

void VirtualCard::Pull()
{
    REQUIRE(control_.Pull());
    REQUIRE(WaitDiscoverable(false));
}

void VirtualCard::Insert()
{
    REQUIRE(control_.Insert());
    REQUIRE(WaitDiscoverable(true));
}

void VirtualCard::LoadScenario(const std::string &text)
{
    static CardScenario scenario;
    std::string error;
    REQUIRE_MESSAGE(tunercard::ParseScenario(text, &scenario, &error), error);
    REQUIRE(control_.LoadScenario(scenario));
}

bool SendRequest(HANDLE handle, uint32_t code, const void *input, DWORD inputSize, void *output, DWORD outputSize,
                 DWORD *returned)
{
    DWORD ignored = 0;
    return DeviceIoControl(handle, code, const_cast<void *>(input), inputSize, output, outputSize,
                           returned ? returned : &ignored, nullptr) != FALSE;
}

uint32_t LoggedWord(const CardLogEntry &entry, size_t offset)
{
    uint32_t word = 0;
    std::memcpy(&word, entry.input + offset, sizeof(word));
    return word;
}

} // namespace testing
