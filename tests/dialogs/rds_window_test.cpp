// The RDS text window: opened by the menu, the button and "R", one at a
// time, glued to the radio's right edge; its one-second tick with the
// "Receiving" animation and the 300-character rule; read-only text; closing
// and reopening; and the card or the radio going away while it is open.
#include <doctest.h>

#include <cstdio>
#include <memory>

#include "dialog_story.h"

using namespace dialog_test;
using namespace radio_test;
using testing::RadioProgram;

namespace {

constexpr int RdsStation = 891;

// 400 characters: "Piece 00, Piece 01, ..., Piece 39, ".
std::string pieces(int first, int last)
{
    std::string text;
    for (int piece = first; piece <= last; ++piece) {
        char part[16];
        std::snprintf(part, sizeof(part), "Piece %02d, ", piece);
        text += part;
    }
    return text;
}

std::string frame(int dots)
{
    return "Receiving" + std::string(static_cast<size_t>(dots), '.');
}

class RdsStory : public RadioStory {
public:
    // The station sends 100 characters a tick, the whole text once, or over
    // and over when `repeat`.
    explicit RdsStory(bool repeat = false)
    {
        card.LoadScenario("rds_chunk 100\nrds_repeat " + std::string(repeat ? "1" : "0") + "\nstation " +
                          std::to_string(RdsStation) + " stereo rds text " + pieces(0, 39) + "\n");
        settings.SetNumber("CurrentFrequency", RdsStation);
    }
    ~RdsStory() override = default;

    // Starts the radio and waits until the RDS rule has lit the button.
    void Start()
    {
        radio.reset(new RadioProgram());
        REQUIRE(radio->Window());
        REQUIRE(WaitForSkin(*radio, lit, Rds, 5000));
    }

    HWND WaitOpen() { return WaitForDialog(*radio, "RDS"); }

    std::unique_ptr<RadioProgram> radio;
};

class RepeatingRdsStory : public RdsStory {
public:
    RepeatingRdsStory() : RdsStory(true) {}
    ~RepeatingRdsStory() override = default;
};

void check_glued(HWND rds, HWND main)
{
    RECT mainRect = {};
    RECT rdsRect = {};
    GetWindowRect(main, &mainRect);
    GetWindowRect(rds, &rdsRect);
    CHECK(rdsRect.left == mainRect.right);
    CHECK(rdsRect.top == mainRect.top);
    CHECK(rdsRect.right - rdsRect.left == mainRect.right - mainRect.left);
    CHECK(rdsRect.bottom - rdsRect.top == mainRect.bottom - mainRect.top);
}

POINT close_box(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    const POINT box = {rect.right - GetSystemMetrics(SM_CXFIXEDFRAME) - GetSystemMetrics(SM_CXSIZE) / 2,
                       rect.top + GetSystemMetrics(SM_CYFIXEDFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2};
    REQUIRE(SendMessageA(window, WM_NCHITTEST, 0, MAKELPARAM(box.x, box.y)) == HTCLOSE);
    return box;
}

} // namespace

TEST_CASE_FIXTURE(RdsStory, "one RDS window, glued to the radio's right edge")
{
    Start();
    ChooseMenuItem(*radio, 0); // "RDS" heads the menu while RDS is received
    HWND rds = WaitOpen();
    REQUIRE(rds);
    CHECK(GetWindow(rds, GW_OWNER) == radio->Window());
    check_glued(rds, radio->Window());
    // The text covers the client area, its border just outside the top-left.
    RECT client = {};
    GetClientRect(rds, &client);
    RECT edit = {};
    GetWindowRect(GetDlgItem(rds, RdsText), &edit);
    MapWindowPoints(nullptr, rds, reinterpret_cast<POINT *>(&edit), 2);
    CHECK(edit.left == -1);
    CHECK(edit.top == -1);
    CHECK(edit.right == client.right);
    CHECK(edit.bottom == client.bottom + 1);

    // The button asks again: nothing new opens.
    const testing::WindowCensus open = testing::CountProcessWindows(radio->ProcessId());
    radio->Click(Middle(Rds).x, Middle(Rds).y);
    radio->Settle();
    CHECK(testing::CountProcessWindows(radio->ProcessId()).topLevel == open.topLevel);
    CHECK(testing::FindProcessDialog(radio->ProcessId(), "RDS") == rds);

    // Dragged by its title bar, the radio takes the RDS window along.
    RECT before = {};
    GetWindowRect(radio->Window(), &before);
    const int caption = GetSystemMetrics(SM_CYMENU) + GetSystemMetrics(SM_CYCAPTION) / 2 + 1;
    radio->Press(60, -caption);
    radio->MoveTo(100, 40 - caption);
    radio->MoveTo(140, 80 - caption);
    radio->Release();
    radio->Settle();
    RECT after = {};
    GetWindowRect(radio->Window(), &after);
    CHECK(after.left > before.left);
    CHECK(after.top > before.top);
    check_glued(rds, radio->Window());
}

TEST_CASE_FIXTURE(RdsStory, "the animation, then the last 300 characters, and nothing typed gets in")
{
    Start();
    card.ClearLog();
    radio->Click(Middle(Rds).x, Middle(Rds).y);
    HWND rds = WaitOpen();
    REQUIRE(rds);
    CHECK(ControlText(rds, RdsText).empty());

    // 100 characters a tick: exactly 300 are not enough; the text shows at
    // the tick after it passed them, and stays, as nothing more arrives.
    const std::vector<std::string> texts = RdsTextsAfterReads(rds, 7);
    const std::vector<std::string> expected = {frame(0), frame(1), frame(2), frame(3),
                                               pieces(10, 39), pieces(10, 39), pieces(10, 39)};
    CHECK(texts == expected);
    const std::vector<CardLogEntry> reads = testing::Only(card.Log(), TUNER_READ_RDS_TEXT);
    REQUIRE(reads.size() >= 7);
    for (size_t tick = 1; tick < 7; ++tick) {
        const double gap = testing::Milliseconds(reads[tick - 1], reads[tick], Ticks());
        CHECK(gap > 900.0);
        CHECK(gap < 1300.0);
    }

    // Keys typed into the text change nothing, and do not reach the radio.
    radio->ClickScreen(testing::ScreenMiddle(GetDlgItem(rds, RdsText)));
    card.ClearLog();
    for (WORD key : {WORD('X'), WORD('1'), WORD(VK_BACK), WORD(VK_DELETE), WORD(VK_RETURN), WORD('M')})
        radio->Tap(key);
    radio->Settle();
    CHECK(ControlText(rds, RdsText) == pieces(10, 39));
    CHECK(Commands().empty());

    // "R" closes it; the radio runs on.
    radio->Tap('R');
    CHECK(WaitGone(rds));
    CHECK_FALSE(IsWindow(rds));
    CHECK(radio->Running());
}

TEST_CASE_FIXTURE(RepeatingRdsStory, "reopened empty, the dots carrying on")
{
    Start();
    radio->Activate();
    radio->Tap('R');
    HWND rds = WaitOpen();
    REQUIRE(rds);
    CHECK(RdsTextsAfterReads(rds, 3) == std::vector<std::string>{frame(0), frame(1), frame(2)});
    radio->Tap('R');
    REQUIRE(WaitGone(rds));

    radio->Activate();
    radio->Tap('R');
    rds = WaitOpen();
    REQUIRE(rds);
    CHECK(ControlText(rds, RdsText).empty());
    // The 300 characters before the closing are gone: the text shows only
    // at the fifth tick after reopening.
    const std::vector<std::string> texts = RdsTextsAfterReads(rds, 5);
    CHECK(std::vector<std::string>(texts.begin(), texts.begin() + 4) ==
          std::vector<std::string>{frame(3), frame(4), frame(5), frame(0)});
    CHECK(texts[4].size() == 300);
    CHECK(texts[4].find("Receiving") == std::string::npos);
}

TEST_CASE_FIXTURE(RdsStory, "the window stays while RDS or the card goes away")
{
    Start();
    radio->Click(Middle(Rds).x, Middle(Rds).y);
    HWND rds = WaitOpen();
    REQUIRE(rds);

    SUBCASE("RDS lost: the button goes out, the window stays")
    {
        radio->Click(Middle(TuneUp).x, Middle(TuneUp).y); // 89.2 MHz, no RDS
        CHECK(WaitForSkin(*radio, normal, Rds, 4000));
        CHECK(IsWindowVisible(rds));
        CHECK(RdsTextsAfterReads(rds, 2).size() == 2);
        CHECK(IsWindowVisible(rds));
    }

    SUBCASE("card pulled: the animation runs on without the card")
    {
        const std::string first = RdsTextsAfterReads(rds, 1).front();
        CHECK(first == frame(0));
        card.Pull();
        // Three more frames come, a second apart, with nothing read.
        std::vector<std::string> frames = {first};
        REQUIRE(testing::WaitUntil(
            [&] {
                const std::string text = ControlText(rds, RdsText);
                if (text != frames.back())
                    frames.push_back(text);
                return frames.size() >= 4;
            },
            5000));
        CHECK(frames == std::vector<std::string>{frame(0), frame(1), frame(2), frame(3)});
        CHECK(IsWindowVisible(rds));
        card.Insert();
    }

    SUBCASE("the radio closed: both windows go, the card is shut down as ever")
    {
        REQUIRE(radio->Close());
        CHECK(radio->WaitExit() == 0);
        CHECK_FALSE(IsWindow(rds));
        const std::vector<std::string> commands = Commands();
        REQUIRE(commands.size() >= 3);
        CHECK(std::vector<std::string>(commands.end() - 3, commands.end()) ==
              std::vector<std::string>{"set_mute(1)", "stop_rds()", "set_power(0)"});
        CHECK(card.State().openHandles == 0);
        CHECK(settings.Number("CurrentFrequency") == RdsStation);
    }
}

TEST_CASE_FIXTURE(RdsStory, "opening and closing many times leaves no window behind")
{
    Start();
    // One round first, so that whatever the system creates once is there.
    radio->Activate();
    radio->Tap('R');
    HWND rds = WaitOpen();
    REQUIRE(rds);
    radio->Tap('R');
    REQUIRE(WaitGone(rds));
    radio->Settle();
    const testing::WindowCensus before = testing::CountProcessWindows(radio->ProcessId());

    // Exact window counts show a window left behind by any round: six
    // rounds, three of each way of closing.
    for (int round = 0; round < 6; ++round) {
        CAPTURE(round);
        // "R" opens it while the RDS button is lit, into the radio in front.
        REQUIRE(WaitForSkin(*radio, lit, Rds, 5000));
        REQUIRE(radio->Activate());
        radio->Tap('R');
        rds = WaitOpen();
        REQUIRE(rds);
        CHECK(testing::CountProcessWindows(radio->ProcessId()).topLevel == before.topLevel + 1);
        if (round % 2 == 0) {
            // "R" typed into the text: the edit's filter closes the window.
            radio->ClickScreen(testing::ScreenMiddle(GetDlgItem(rds, RdsText)));
            radio->Tap('R');
        } else {
            radio->ClickScreen(close_box(rds));
        }
        REQUIRE(WaitGone(rds));
        radio->Settle();
        CHECK_FALSE(IsWindow(rds));
    }
    const testing::WindowCensus after = testing::CountProcessWindows(radio->ProcessId());
    CHECK(after.topLevel == before.topLevel);
    CHECK(after.all == before.all);
    CHECK(radio->Running());
}
