// The radio through a screen reader, from a second process: the tree of the
// drawn controls with their names, roles, states, values and places; keys,
// default actions and the card changing it, each heard as an event; the RDS
// button coming and going; hit tests; the RDS window's text; and nothing of
// it loaded before a reader asks. (The dialogs' hidden labels are checked
// with their templates.)
#include <doctest.h>

#include "screen_reader.h"
// After windows.h, which it needs.
#include <tlhelp32.h>

#include "tests/dialogs/dialog_story.h"

using namespace radio_test;
using reader::Element;
using reader::FirstPresetId;
using reader::HeardEvent;
using reader::MutedId;
using reader::MuteId;
using reader::RdsId;
using reader::ReadoutId;
using reader::ScaleId;
using reader::StereoId;
using reader::TuneUpId;
using reader::VolumeId;
using testing::RadioProgram;

namespace {

// What the reader prints at start: group 1 of the presets below, 88.0 MHz,
// no station there.
const char *const TreeAtStart = R"(0 client "Tavolin" [focused, focusable] at 0,0 240x268
1 static text "Frequency" = "88.0 MHz" at 120,40 98x21
2 slider "Tuning dial" = "88.0 MHz" at 0,79 240x22
3 slider "Volume" = "79%" key Up, Down at 22,160 16x56
4 push button "Tune down" key Left does Press at 43,107 95x38
5 push button "Tune up" key Right does Press at 139,107 96x38
6 check button "AUTO" key A does Switch at 0,107 42x38
7 check button "MUTE" key M does Switch at 0,237 38x29
8 check button "MONO" key S does Switch at 3,57 31x19
9 push button "Preset 1" = "89.1 MHz" key 1 does Press at 43,147 41x23
10 push button "Preset 2" = "empty" key 2 does Press at 138,147 41x23
11 push button "Preset 3" = "101.7 MHz" key 3 does Press at 43,176 41x23
12 push button "Preset 4" = "105.3 MHz" key 4 does Press at 138,176 41x23
13 push button "Preset 5" = "90.0 MHz" key 5 does Press at 43,204 41x23
14 push button "Preset 6" = "107.5 MHz" key 6 does Press at 138,204 41x23
15 radio button "Group 1" [checked] key Ctrl+1 does Select at 45,238 50x17
16 radio button "Group 2" key Ctrl+2 does Select at 96,238 50x17
17 radio button "Group 3" key Ctrl+3 does Select at 147,238 50x17
18 push button "Power" key P does Press at 3,37 31x19
19 push button "Hide" key Z does Press at 207,239 21x21
20 indicator "Stereo" at 86,42 19x12
21 indicator "Muted" at 56,35 26x26
)";

std::string print(const std::vector<Element> &tree)
{
    std::string printed;
    for (const Element &element : tree)
        printed += reader::Line(element) + "\n";
    return printed;
}

// An event about `child`, resolved by the reader to `check`.
std::function<bool(const HeardEvent &)> heard(DWORD event, long child,
                                              const std::function<bool(const Element &)> &check = nullptr)
{
    return [=](const HeardEvent &what) {
        return what.event == event && what.child == child && (!check || check(what.element));
    };
}

std::function<bool(const Element &)> valued(const std::string &name, const std::string &value)
{
    return [=](const Element &element) { return element.name == name && element.value == value; };
}

std::function<bool(const Element &)> stated(const std::string &name, long state)
{
    return [=](const Element &element) { return element.name == name && element.state == state; };
}

bool module_loaded(DWORD processId, const char *name)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, processId);
    REQUIRE(snapshot != INVALID_HANDLE_VALUE);
    MODULEENTRY32 module = {};
    module.dwSize = sizeof(module);
    bool found = false;
    for (BOOL more = Module32First(snapshot, &module); more && !found; more = Module32Next(snapshot, &module))
        found = lstrcmpiA(module.szModule, name) == 0;
    CloseHandle(snapshot);
    return found;
}

class ReaderStory : public RadioStory {
public:
    ReaderStory()
    {
        // Group 1: 89.1 (stereo, RDS), empty, 101.7, 105.3, 90.0, 107.5.
        settings.SetNumber("Group", 1);
        settings.SetNumber("CurrentFrequency", 880);
        settings.Set("PresetChannel", REG_BINARY,
                     testing::Bytes({891, 0, 1017, 1053, 900, 1075, 940, 950, 960, 970, 980, 990, 1000, 1010, 1020,
                                     1030, 1040, 1050}));
    }
    ~ReaderStory() override = default;
};

} // namespace

TEST_CASE("the reader's IID_IAccessible is the GUID, not liboleacc's import thunk")
{
    const GUID accessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
    CHECK(IsEqualGUID(IID_IAccessible, accessible));
    CHECK(IsEqualGUID(__uuidof(IAccessible), accessible));
}

TEST_CASE_FIXTURE(ReaderStory, "a listener reads and works the radio")
{
    RadioProgram radio;
    StartActive(radio);
    StartListening();
    // Nothing for readers is loaded until one asks.
    CHECK_FALSE(module_loaded(radio.ProcessId(), "oleacc.dll"));

    reader::ScreenReader screenReader;
    REQUIRE(screenReader.Open(radio.Window()) == S_OK);
    CHECK(module_loaded(radio.ProcessId(), "oleacc.dll"));
    CHECK(print(screenReader.ReadTree()) == TreeAtStart);
    CHECK(screenReader.Read(FirstPresetId).description ==
          "Tunes to the station stored here; hold it for a second to store the station playing");
    reader::EventListener listener(radio.Window());
    REQUIRE(listener.Hooked());

    // A key tunes up: the read-out's value says so, and so does an event.
    radio.Tap(VK_RIGHT);
    CHECK(AwaitRequestsWith(TUNER_SET_FREQUENCY, 881, 1).size() == 1);
    CHECK_MESSAGE(listener.WaitFor(heard(EVENT_OBJECT_VALUECHANGE, ReadoutId, valued("Frequency", "88.1 MHz"))),
                  listener.Story());
    CHECK(listener.WaitFor(heard(EVENT_OBJECT_VALUECHANGE, ScaleId, valued("Tuning dial", "88.1 MHz"))));
    CHECK(screenReader.Read(ReadoutId).value == "88.1 MHz");

    // Activating preset 1 recalls it as a click does, and stores nothing.
    card.ClearLog();
    listener.Forget();
    CHECK(screenReader.DoDefaultAction(FirstPresetId) == S_OK);
    REQUIRE(AwaitRequestsWith(TUNER_SET_MUTE, 0, 1).size() == 1);
    CHECK(Commands() ==
          std::vector<std::string>{"set_mute(1)", "set_frequency(889)", "set_frequency(891)", "set_mute(0)"});
    CHECK_MESSAGE(listener.WaitFor(heard(EVENT_OBJECT_VALUECHANGE, ReadoutId, valued("Frequency", "89.1 MHz"))),
                  listener.Story());
    CHECK(screenReader.Read(FirstPresetId).value == "89.1 MHz");

    // 89.1 sends RDS: the RDS button comes in, as the last child.
    CHECK_MESSAGE(listener.WaitFor(heard(EVENT_OBJECT_CREATE, RdsId, valued("RDS", "")), 4000), listener.Story());
    CHECK(listener.WaitFor(heard(EVENT_OBJECT_REORDER, CHILDID_SELF)));
    CHECK(screenReader.ChildCount() == 22);
    CHECK(reader::Line(screenReader.Read(RdsId)) == "22 push button \"RDS\" key R does Press at 0,0 39x23");
    // A stereo station: the lamp lights.
    CHECK(listener.WaitFor(heard(EVENT_OBJECT_STATECHANGE, StereoId, stated("Stereo", STATE_SYSTEM_CHECKED))));

    // Under a button's middle lies that button; between them, the window.
    CHECK(screenReader.HitTest(radio.ToScreen(Middle(Rds).x, Middle(Rds).y)) == RdsId);
    CHECK(screenReader.HitTest(radio.ToScreen(Middle(TuneUp).x, Middle(TuneUp).y)) == TuneUpId);
    CHECK(screenReader.HitTest(radio.ToScreen(Middle(Presets[1]).x, Middle(Presets[1]).y)) == FirstPresetId + 1);
    CHECK(screenReader.HitTest(radio.ToScreen(Middle(Volume).x, Middle(Volume).y)) == VolumeId);
    CHECK(screenReader.HitTest(radio.ToScreen(200, 12)) == CHILDID_SELF);
    CHECK(screenReader.HitTest(radio.ToScreen(-40, 12)) == -1);

    // Activating MUTE mutes the card; its state, the mute lamp's and the
    // stereo lamp's are heard.
    card.ClearLog();
    listener.Forget();
    CHECK(screenReader.DoDefaultAction(MuteId) == S_OK);
    CHECK(AwaitRequestsWith(TUNER_SET_MUTE, 1, 1).size() == 1);
    CHECK(listener.WaitFor(heard(EVENT_OBJECT_STATECHANGE, MuteId, stated("MUTE", STATE_SYSTEM_CHECKED))));
    CHECK(listener.WaitFor(heard(EVENT_OBJECT_STATECHANGE, MutedId, stated("Muted", STATE_SYSTEM_CHECKED))));
    CHECK(listener.WaitFor(heard(EVENT_OBJECT_STATECHANGE, StereoId, stated("Stereo", 0))));
    CHECK(Commands() == std::vector<std::string>{"set_mute(1)"});
    // The lamps have no action; there is no child 23.
    CHECK(screenReader.DoDefaultAction(MutedId) == DISP_E_MEMBERNOTFOUND);
    CHECK(screenReader.DoDefaultAction(RdsId + 1) == E_INVALIDARG);

    // The RDS window the RDS button opens: its text is the edit's value.
    CHECK(screenReader.DoDefaultAction(RdsId) == S_OK);
    HWND rds = dialog_test::WaitForDialog(radio, "RDS");
    REQUIRE(rds);
    HWND text = GetDlgItem(rds, RdsTextControl);
    REQUIRE(testing::WaitUntil([&] { return !testing::WindowText(text).empty(); }));
    reader::ScreenReader textReader;
    REQUIRE(textReader.Open(text) == S_OK);
    CHECK(textReader.Read(CHILDID_SELF).name == "RDS text");
    CHECK(testing::WaitUntil([&] { return textReader.Read(CHILDID_SELF).value == testing::WindowText(text); }));
    SendMessageA(rds, WM_COMMAND, IDCANCEL, 0);
    REQUIRE(dialog_test::WaitGone(rds));

    // Tuned away from 89.1: the RDS button goes; the others keep their ids.
    listener.Forget();
    radio.Activate();
    radio.Tap(VK_RIGHT);
    CHECK_MESSAGE(listener.WaitFor(heard(EVENT_OBJECT_DESTROY, RdsId), 4000), listener.Story());
    CHECK(listener.WaitFor(heard(EVENT_OBJECT_REORDER, CHILDID_SELF)));
    CHECK(screenReader.ChildCount() == 21);
    CHECK(screenReader.Read(RdsId).name.empty());
    CHECK(screenReader.Read(MutedId).name == "Muted");
    CHECK(screenReader.Read(ReadoutId).value == "89.2 MHz");

    // The radio closes as ever; the presets are as they were.
    REQUIRE(radio.Close());
    CHECK(settings.Numbers("PresetChannel").at(0) == 891);
    CHECK(settings.Numbers("PresetChannel").at(1) == 0);
}
