#include "reliability_story.h"

#include <doctest.h>

#include "scripted_actions.h"

namespace reliability_test {

void ExpectOrderlyEnd(radio_test::RadioStory &story, testing::RadioProgram &radio)
{
    REQUIRE(radio.Running());
    CHECK(radio_test::Sync(radio.Window()));
    PostMessageA(radio.Window(), WM_CLOSE, 0, 0);
    CHECK(radio.WaitExit(15000) == 0);
    const int32_t frequency = story.settings.Number("CurrentFrequency");
    CHECK(frequency >= 880);
    CHECK(frequency <= 1080);
    const int32_t volume = story.settings.Number("CurrentVolume");
    CHECK(volume >= 40);
    CHECK(volume <= 79);
}

int32_t StoredPreset(const testing::RadioSettings &settings, int slot)
{
    const std::vector<int32_t> presets = settings.Numbers("PresetChannel");
    return slot >= 1 && static_cast<size_t>(slot) <= presets.size() ? presets[static_cast<size_t>(slot - 1)] : -1;
}

} // namespace reliability_test
