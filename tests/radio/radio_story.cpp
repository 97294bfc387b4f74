#include "radio_story.h"

#include <doctest.h>

namespace radio_test {

RECT ScaleThumb(int value, int low, int high)
{
    const float scale = static_cast<float>(240 - 22) / static_cast<float>(high - low);
    const int offset = static_cast<int>(static_cast<double>(value - low) * static_cast<double>(scale));
    return {offset, 79, offset + 22, 101};
}

RadioStory::RadioStory()
{
    settings.PlaceWindow(WindowLeft, WindowTop);
}

void RadioStory::AwaitFirstWatchTick()
{
    REQUIRE(AwaitRequests(TUNER_SET_FREQUENCY, 2).size() >= 2);
}

void RadioStory::StartListening()
{
    AwaitFirstWatchTick();
    card.ClearLog();
}

int64_t RadioStory::Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double RadioStory::Since(int64_t start, const CardLogEntry &entry)
{
    return static_cast<double>(entry.timestamp - start) * 1000.0 / static_cast<double>(Ticks());
}

std::vector<CardLogEntry> RadioStory::AwaitRequests(uint32_t code, size_t count, DWORD timeoutMs)
{
    std::vector<CardLogEntry> found;
    testing::WaitUntil([&] { return (found = testing::Only(card.Log(), code)).size() >= count; }, timeoutMs);
    return found;
}

std::vector<CardLogEntry> RadioStory::AwaitRequestsWith(uint32_t code, int32_t word, size_t count, DWORD timeoutMs)
{
    std::vector<CardLogEntry> found;
    testing::WaitUntil([&] { return (found = testing::Only(card.Log(), code, word)).size() >= count; },
                       timeoutMs);
    return found;
}

bool WaitForSkin(const testing::RadioProgram &radio, const testing::SkinImage &skin, const RECT &area,
                 DWORD timeoutMs)
{
    return testing::WaitUntil([&] { return ShowsSkin(radio, skin, area); }, timeoutMs);
}

} // namespace radio_test

namespace radio_test {

void StartActive(testing::RadioProgram &radio)
{
    REQUIRE(radio.Window());
    REQUIRE(radio.Activate());
}

} // namespace radio_test
