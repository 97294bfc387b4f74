// Settings damaged while the radio was not running: every value with the
// wrong type, too short, too long or out of range. The radio starts, plays a
// frequency of its band, takes a fine step (or seeks), and at exit writes every value
// back in its proper type and size, each in its range.
#include <doctest.h>

#include <functional>
#include <string>

#include "reliability_story.h"
#include "scripted_actions.h"

using namespace radio_test;
using testing::RadioProgram;

namespace {

struct StoredValue {
    const char *name;
    DWORD size; // as the radio writes it
    DWORD type;
};

const StoredValue Values[] = {
    {"AudioOutputType", 4, REG_DWORD}, {"AudioOutput", 4, REG_DWORD},    {"SearchLevel", 4, REG_DWORD},
    {"CurrentFrequency", 4, REG_DWORD}, {"CurrentVolume", 4, REG_DWORD}, {"AutoSearch", 4, REG_DWORD},
    {"Group", 4, REG_DWORD},            {"PresetChannel", 72, REG_BINARY}, {"WindowPos", 8, REG_BINARY},
    {"StereoNoiseCancel", 4, REG_DWORD}, {"RadioSystem", 4, REG_DWORD},
};

std::vector<uint8_t> filled(size_t size, uint8_t byte)
{
    return std::vector<uint8_t>(size, byte);
}

// Numbers far outside every range, a different one per value.
std::vector<uint8_t> out_of_range(const StoredValue &value, int variant)
{
    const int32_t extremes[] = {-1, 0x7FFFFFFF, static_cast<int32_t>(0x80000000u), 5000, -880, 255, 1000000};
    std::vector<int32_t> numbers(value.size / 4);
    for (size_t at = 0; at < numbers.size(); ++at)
        numbers[at] = extremes[(at + static_cast<size_t>(variant)) % (sizeof(extremes) / sizeof(extremes[0]))];
    return testing::Bytes(numbers);
}

} // namespace

TEST_CASE_FIXTURE(RadioStory, "damaged settings")
{
    struct Damage {
        const char *what;
        std::function<void(testing::RadioSettings &, const StoredValue &, int)> apply;
    };
    const Damage damages[] = {
        {"wrong type (text of the right size)",
         [](testing::RadioSettings &key, const StoredValue &value, int) {
             key.Set(value.name, REG_SZ, filled(value.size, 'z'));
         }},
        {"too short (one byte)",
         [](testing::RadioSettings &key, const StoredValue &value, int) {
             key.Set(value.name, REG_BINARY, filled(1, 0x7F));
         }},
        {"too long (four bytes more)",
         [](testing::RadioSettings &key, const StoredValue &value, int) {
             key.Set(value.name, value.type, filled(value.size + 4, 0x7F));
         }},
        {"out of range, first set", [](testing::RadioSettings &key, const StoredValue &value,
                                       int index) { key.Set(value.name, value.type, out_of_range(value, index)); }},
        {"out of range, second set",
         [](testing::RadioSettings &key, const StoredValue &value, int index) {
             key.Set(value.name, value.type, out_of_range(value, index + 3));
         }},
        {"empty",
         [](testing::RadioSettings &key, const StoredValue &value, int) {
             key.Set(value.name, value.type, std::vector<uint8_t>());
         }},
    };
    for (const Damage &damage : damages) {
        const std::string what = damage.what;
        CAPTURE(what);
        settings.Create();
        int index = 0;
        for (const StoredValue &value : Values)
            damage.apply(settings, value, index++);
        // On screen, so the window can be found; its place is tested below.
        if (what.find("range") == std::string::npos)
            settings.PlaceWindow(WindowLeft, WindowTop);
        card.ClearLog();
        {
            RadioProgram radio;
            REQUIRE(radio.Started());
            HWND window = nullptr;
            REQUIRE(testing::WaitUntil(
                [&] { return (window = FindWindowA(testing::RadioWindowClass, nullptr)) != nullptr; }, 15000));
            // The card plays a frequency of some band.
            REQUIRE(AwaitRequests(TUNER_SET_FREQUENCY, 2).size() >= 2);
            const int32_t tuned = card.State().frequency;
            CHECK(tuned >= 760);
            CHECK(tuned <= 1080);
            card.ClearLog();
            SendTap(window, VK_RIGHT);
            SendTap(window, VK_LEFT);
            CHECK(Sync(window));
            // A fine step, or a seek where the damage turned auto search on.
            CHECK(card.LogOf(TUNER_SET_FREQUENCY).size() + card.LogOf(TUNER_SEEK).size() >= 1);
            // A window placed far away is moved to the middle of the screen
            // when it lies beyond the right or the bottom edge.
            RECT rect = {};
            GetWindowRect(window, &rect);
            CHECK(rect.left < GetSystemMetrics(SM_CXSCREEN));
            CHECK(rect.top < GetSystemMetrics(SM_CYSCREEN));
            PostMessageA(window, WM_CLOSE, 0, 0);
            CHECK(radio.WaitExit(15000) == 0);
        }
        for (const StoredValue &value : Values) {
            const std::string name = value.name;
            CAPTURE(name);
            const testing::RegistryValue stored = settings.Get(value.name);
            CHECK(stored.present);
            CHECK(stored.type == value.type);
            CHECK(stored.data.size() == value.size);
        }
        const int32_t frequency = settings.Number("CurrentFrequency");
        CHECK(frequency >= 760);
        CHECK(frequency <= 1080);
        CHECK(settings.Number("CurrentVolume") >= 40);
        CHECK(settings.Number("CurrentVolume") <= 79);
        CHECK(settings.Number("RadioSystem") >= 1);
        CHECK(settings.Number("RadioSystem") <= 3);
        REQUIRE(settings.Exists());
    }
}
