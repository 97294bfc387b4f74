// The preset table and its six labels at the radio's places, read back from
// the screen; the band comes from the application's setting, passed in.
#include <doctest.h>

#include <string>

#include "preset_bank.h"
#include "widget_screen.h"

using namespace widgets_test;

namespace {

constexpr POINT Labels[PresetBank::SlotCount] = {{85, 154}, {184, 154}, {85, 183}, {184, 183}, {85, 211}, {184, 211}};
constexpr int LabelWidth = 45;
constexpr int LabelHeight = 9;

struct BankScreen {
    explicit BankScreen(int32_t system) : radioSystem(system)
    {
        window.Fill(background);
        // The window's defaults, group 3 first so that group 1 ends up current.
        bank.SetGroupPresets(3, 1000, 1010, 1020, 1030, 1040, 1050);
        bank.SetGroupPresets(2, 940, 950, 960, 970, 980, 990);
        bank.SetGroupPresets(1, 880, 890, 900, 910, 920, 930);
        setup = bank.Setup(window.Handle(), background.Dc(), Labels, radioSystem);
    }
    std::string Label(unsigned slot) const
    {
        const POINT at = Labels[slot - 1];
        return ReadReadout(window, LabelLook, at.x, at.y, Pattern);
    }
    // The six labels in slot order, joined by '|'.
    std::string AllLabels() const
    {
        std::string all = Label(1);
        for (unsigned slot = 2; slot <= PresetBank::SlotCount; ++slot)
            all += "|" + Label(slot);
        return all;
    }

    int32_t radioSystem;
    TestWindow window;
    MemorySurface background{Pattern};
    PresetBank bank;
    int setup = 0;
};

std::string Six(const std::string &label)
{
    std::string all = label;
    for (unsigned slot = 2; slot <= PresetBank::SlotCount; ++slot)
        all += "|" + label;
    return all;
}

} // namespace

TEST_CASE("Setup takes the band of the radio system and mends a stored 0 or a value above 3")
{
    SUBCASE("0 is USA, and the setting becomes 1")
    {
        BankScreen screen(0);
        CHECK(screen.setup == 1);
        CHECK(screen.radioSystem == 1);
        screen.bank.SetGroupPresets(1, 870, 900, 1100, 0, 1080, 955);
        CHECK(screen.bank.DrawLabels(0) == 1);
        CHECK(screen.AllLabels() == " 88.0| 90.0|108.0| 88.0|108.0| 95.5");
    }
    SUBCASE("Japan clamps group 2's defaults to 91.0 on screen only")
    {
        BankScreen screen(3);
        CHECK(screen.radioSystem == 3);
        screen.bank.SelectGroup(2);
        screen.bank.DrawLabels(0);
        CHECK(screen.AllLabels() == Six(" 91.0"));
        for (unsigned slot = 1; slot <= 6; ++slot)
            CHECK(screen.bank.GetPreset(2, slot) == static_cast<int>(930 + 10 * slot));
    }
    SUBCASE("Europe")
    {
        BankScreen screen(2);
        CHECK(screen.radioSystem == 2);
        screen.bank.SetPreset(1, 1, 870);
        screen.bank.DrawLabels(1);
        CHECK(screen.Label(1) == " 87.5");
    }
    SUBCASE("above 3 the setting becomes 1 but the labels get no band")
    {
        BankScreen screen(7);
        CHECK(screen.radioSystem == 1);
        screen.bank.DrawLabels(0);
        CHECK(screen.AllLabels() == Six("  0.0"));
    }
}

TEST_CASE("Setup without a window does nothing")
{
    TestWindow window;
    PresetBank bank;
    int32_t radioSystem = 0;
    CHECK(bank.Setup(nullptr, nullptr, Labels, radioSystem) == 0);
    CHECK(radioSystem == 0);
}

TEST_CASE("groups and slots outside 1-3 and 1-6 read 0 and store nothing")
{
    BankScreen screen(1);
    PresetBank &bank = screen.bank;
    CHECK(bank.GetPreset(0, 1) == 0);
    CHECK(bank.GetPreset(4, 1) == 0);
    CHECK(bank.GetPreset(1, 0) == 0);
    CHECK(bank.GetPreset(1, 7) == 0);
    bank.SetPreset(0, 1, 999);
    bank.SetPreset(4, 1, 999);
    bank.SetPreset(1, 0, 999);
    bank.SetPreset(1, 7, 999);
    bank.SetGroupPresets(4, 999, 999, 999, 999, 999, 999);
    bank.SelectGroup(0);
    bank.SelectGroup(4);
    CHECK(bank.GetGroup() == 1);
    for (unsigned group = 1; group <= 3; ++group)
        for (unsigned slot = 1; slot <= 6; ++slot)
            CHECK(bank.GetPreset(group, slot) == static_cast<int>(810 + 60 * group + 10 * slot)); // the defaults
}

TEST_CASE("storing a whole group makes it current; selecting switches the labels")
{
    BankScreen screen(1);
    CHECK(screen.bank.GetGroup() == 1);
    screen.bank.SetGroupPresets(2, 1001, 1002, 1003, 1004, 1005, 1006);
    CHECK(screen.bank.GetGroup() == 2);
    screen.bank.DrawLabels(0);
    CHECK(screen.AllLabels() == "100.1|100.2|100.3|100.4|100.5|100.6");
    screen.bank.SelectGroup(3);
    screen.bank.DrawLabels(0);
    CHECK(screen.AllLabels() == "100.0|101.0|102.0|103.0|104.0|105.0");
}

TEST_CASE("DrawLabels prints one label for 1-6 and all six for anything else")
{
    BankScreen screen(1);
    screen.bank.DrawLabels(0);
    screen.bank.SetPreset(1, 3, 1075);
    const Snapshot before(screen.window);
    screen.bank.DrawLabels(3);
    const Snapshot after(screen.window);
    const POINT third = Labels[2];
    const RECT label = {third.x, third.y, third.x + LabelWidth, third.y + LabelHeight};
    CHECK(before.ChangedPixels(after, {0, 0, ClientWidth, ClientHeight}) == before.ChangedPixels(after, label));
    CHECK(screen.Label(3) == "107.5");

    screen.window.Fill(screen.background);
    screen.bank.DrawLabels(7);
    CHECK(screen.AllLabels() == " 88.0| 89.0|107.5| 91.0| 92.0| 93.0");
}

TEST_CASE("a new band shows at the next DrawLabels")
{
    BankScreen screen(1);
    screen.bank.SelectGroup(3);
    screen.bank.SetRange(760, 910);
    screen.bank.DrawLabels(0);
    CHECK(screen.AllLabels() == Six(" 91.0"));
    CHECK(screen.bank.GetPreset(3, 1) == 1000);
}

TEST_CASE("before any group is selected the labels show the band's floor")
{
    TestWindow window;
    MemorySurface background(Pattern);
    window.Fill(background);
    PresetBank bank;
    int32_t radioSystem = 1;
    REQUIRE(bank.Setup(window.Handle(), background.Dc(), Labels, radioSystem) == 1);
    CHECK(bank.GetGroup() == 0);
    CHECK(bank.DrawLabels(0) == 1);
    for (const POINT &at : Labels)
        CHECK(ReadReadout(window, LabelLook, at.x, at.y, Pattern) == " 88.0");
}
