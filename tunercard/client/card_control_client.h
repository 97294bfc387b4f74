// User-mode client of the virtual card's control device: pull and insert
// the card, script it, and read back every request it received.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "../card_control.h"

namespace tunercard {

class CardControlClient {
public:
    CardControlClient() = default;
    CardControlClient(const CardControlClient &) = delete;
    CardControlClient &operator=(const CardControlClient &) = delete;
    virtual ~CardControlClient();

    // Opens the control device; false when the driver is not loaded.
    bool Open();
    bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
    void Close();

    bool GetState(CardState *state);
    bool Pull();
    bool Insert();
    bool Reset();
    bool ClearLog();
    bool FailNext(uint32_t count);
    bool FailCode(uint32_t code, bool fail);
    bool LoadScenario(const CardScenario &scenario);
    // Every entry still held from sequence `first` on.
    bool ReadLog(std::vector<CardLogEntry> *entries, uint64_t first = 0);
    // Any control code with raw buffers, for robustness tests.
    bool RawRequest(uint32_t code, const void *input, DWORD inputSize, void *output, DWORD outputSize,
                    DWORD *returned);

private:
    bool Request(uint32_t code, const void *input = nullptr, DWORD inputSize = 0, void *output = nullptr,
                 DWORD outputSize = 0);
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

} // namespace tunercard
