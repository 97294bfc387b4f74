#include "radio_story.h"

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

bool WaitForSkin(const testing::RadioProgram &radio, const testing::SkinImage &skin, const RECT &area,
                 DWORD timeoutMs)
{
    return testing::WaitUntil([&] { return ShowsSkin(radio, skin, area); }, timeoutMs);
}

} // namespace radio_test
