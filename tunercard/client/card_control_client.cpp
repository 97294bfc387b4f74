#include "card_control_client.h"

namespace tunercard {

CardControlClient::~CardControlClient()
{
    Close();
}

bool CardControlClient::Open()
{
    Close();
    handle_ = CreateFileA(CARD_CONTROL_USER_PATH, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return IsOpen();
}

void CardControlClient::Close()
{
    if (IsOpen())
        CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
}

bool CardControlClient::RawRequest(uint32_t code, const void *input, DWORD inputSize, void *output,
                                   DWORD outputSize, DWORD *returned)
{
    DWORD ignored = 0;
    return IsOpen() && DeviceIoControl(handle_, code, const_cast<void *>(input), inputSize, output, outputSize,
                                       returned ? returned : &ignored, nullptr);
}

bool CardControlClient::Request(uint32_t code, const void *input, DWORD inputSize, void *output, DWORD outputSize)
{
    return RawRequest(code, input, inputSize, output, outputSize, nullptr);
}

bool CardControlClient::GetState(CardState *state)
{
    return Request(CARD_CTL_GET_STATE, nullptr, 0, state, sizeof(*state));
}

bool CardControlClient::Pull() { return Request(CARD_CTL_PULL); }
bool CardControlClient::Insert() { return Request(CARD_CTL_INSERT); }
bool CardControlClient::Reset() { return Request(CARD_CTL_RESET); }
bool CardControlClient::ClearLog() { return Request(CARD_CTL_CLEAR_LOG); }

bool CardControlClient::FailNext(uint32_t count)
{
    return Request(CARD_CTL_FAIL_NEXT, &count, sizeof(count));
}

bool CardControlClient::FailCode(uint32_t code, bool fail)
{
    CardFailCode plan = {code, fail ? 1u : 0u};
    return Request(CARD_CTL_FAIL_CODE, &plan, sizeof(plan));
}

bool CardControlClient::LoadScenario(const CardScenario &scenario)
{
    return Request(CARD_CTL_LOAD_SCENARIO, &scenario, sizeof(scenario));
}

bool CardControlClient::ReadLog(std::vector<CardLogEntry> *entries, uint64_t first)
{
    static CardLogPage page; // large; one reader at a time
    entries->clear();
    for (;;) {
        uint64_t from = first;
        if (!Request(CARD_CTL_READ_LOG, &from, sizeof(from), &page, sizeof(page)))
            return false;
        entries->insert(entries->end(), page.entries, page.entries + page.count);
        if (page.count == 0 || page.entries[page.count - 1].sequence + 1 >= page.total)
            return true;
        first = page.entries[page.count - 1].sequence + 1;
    }
}

} // namespace tunercard
