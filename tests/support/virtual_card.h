// Test access to the virtual tuner card: each test starts from a reset,
// inserted card with an empty log, scripts it, and reads back what the
// programs sent.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "card_control_client.h"

namespace testing {

// The folder of the test program, where the built programs and driver are.
std::string BinDirectory();

// Waits until discovery finds the card (present) or no longer does.
bool WaitDiscoverable(bool present, DWORD timeoutMs = 10000);

class VirtualCard {
public:
    VirtualCard();
    virtual ~VirtualCard();

    tunercard::CardControlClient &Control() { return control_; }
    CardState State();
    std::vector<CardLogEntry> Log();
    std::vector<CardLogEntry> LogOf(uint32_t code);
    void ClearLog();
    void Pull();   // and wait until discovery no longer finds it
    void Insert(); // and wait until discovery finds it again
    // Loads a scenario in the tunercard text form; fails the test when refused.
    void LoadScenario(const std::string &text);

private:
    tunercard::CardControlClient control_;
};

// One buffered request on an open tuner handle.
bool SendRequest(HANDLE handle, uint32_t code, const void *input, DWORD inputSize, void *output, DWORD outputSize,
                 DWORD *returned = nullptr);

uint32_t LoggedWord(const CardLogEntry &entry, size_t offset = 0);

} // namespace testing
