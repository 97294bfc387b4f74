// The radio's window on the software receiver, as a listener meets it: the
// kit's server with the demonstration band in this process, the real radio
// driven by real input and read back by a screen reader (the read-out, the
// presets, the volume) and from its skin (the lamps, the blank read-out): a
// search from each end of the band at the most sensitive level and one at the
// least, the scan (whole, and cut short by a lost server), a server dropped
// and stalled and found again, and a server that accepts and never answers
// while the window is used.
#include <doctest.h>

#include "screen_reader.h"
#include "tests/dialogs/dialog_story.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "demo_band.h"
#include "rtl_tcp_server.h"

using namespace radio_test;
using testing::RadioProgram;
using testing::WaitUntil;
using reader::FirstGroupId;
using reader::FirstPresetId;
using reader::ReadoutId;
using reader::VolumeId;

namespace {

constexpr uint8_t SetFrequency = 0x01;
// The dongle listens this far above the station.
constexpr uint32_t ListeningOffsetHz = 300000;
constexpr WPARAM ScanCommand = 32772; // the Option menu's "Scan for Stations..."
constexpr char ScanCaption[] = "Scan for Stations";

std::vector<uint8_t> text_value(const std::string &text)
{
    return std::vector<uint8_t>(text.c_str(), text.c_str() + text.size() + 1);
}

// As the read-out and the presets say it.
std::string mhz(int32_t frequency)
{
    return std::to_string(frequency / 10) + "." + std::to_string(frequency % 10) + " MHz";
}

std::string list(const std::vector<std::string> &items)
{
    std::string text;
    for (const std::string &item : items)
        text += item + "; ";
    return text;
}

// The generated stations in rising order, as the window names them.
std::vector<std::string> demo_stations()
{
    std::vector<std::string> names;
    for (const sdrkit::DemoStation &station : sdrkit::DemoStations)
        names.push_back(mhz(static_cast<int32_t>(station.frequencyHz / 100000)));
    return names;
}

uint32_t listening_centre(const std::string &shown)
{
    const double megahertz = std::strtod(shown.c_str(), nullptr);
    return static_cast<uint32_t>(megahertz * 10.0 + 0.5) * 100000u + ListeningOffsetHz;
}

double milliseconds_since(LARGE_INTEGER start)
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER clock_now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now;
}

// Whether the read-out is blank, as the radio shows a card that is not there.
bool readout_blank(const RadioProgram &radio, const testing::SkinImage &normal)
{
    return ShowsSkin(radio, normal, Readout);
}

class WindowStory : public RadioStory {
public:
    WindowStory()
    {
        sdrkit::add_demo_stations(band);
        settings.SetNumber("RadioSystem", 2); // Europe: 87.5 to 108.0 MHz
    }
    ~WindowStory() override = default;

    // The server named as the signal source, started first.
    void ServeBand()
    {
        REQUIRE(server.Start(0));
        settings.Set("SignalSource", REG_SZ, text_value("rtl_tcp:127.0.0.1:" + std::to_string(server.Port())));
    }

    // One search by a click on a tune button: the frequency the read-out
    // shows once the search has let go of the button (its last step draws
    // it up again), or what it says when the search did not end.
    std::string Search(RadioProgram &radio, reader::ScreenReader &screen, const RECT &button)
    {
        radio.Click(Middle(button).x, Middle(button).y);
        radio.Settle(); // the press is handled: a search that goes on holds the button down
        if (!WaitForSkin(radio, normal, button, 30000))
            return "still searching at " + screen.Read(ReadoutId).value;
        return screen.Read(ReadoutId).value;
    }

    // "Scan for Stations" from the Option menu, confirmed.
    void AskForScan(RadioProgram &radio)
    {
        PostMessageA(radio.Window(), WM_COMMAND, ScanCommand, 0);
        HWND question = dialog_test::WaitForDialog(radio, ScanCaption);
        REQUIRE(question);
        dialog_test::ClickControl(radio, question, IDYES);
        REQUIRE(dialog_test::WaitGone(question));
    }

    // Searches from where the radio is until it stops on `edge`: every stop.
    std::vector<std::string> SearchToEdge(RadioProgram &radio, reader::ScreenReader &screen, const RECT &button,
                                          const std::string &edge)
    {
        std::vector<std::string> stops;
        while (stops.size() < 10 && (stops.empty() || stops.back() != edge)) {
            stops.push_back(Search(radio, screen, button));
            if (stops.back().find("still") == 0)
                break;
            // Where the search stopped the dongle listens: the server was told the centre.
            CHECK_MESSAGE(WaitUntil([&] { return server.CentreHz() == listening_centre(stops.back()); }, 2000),
                          stops.back());
        }
        return stops;
    }

    sdrkit::BandGenerator band;
    sdrkit::RtlTcpServer server{&band};
};

// The presets of group 1 as the reader reads them.
std::vector<std::string> group_one(const reader::ScreenReader &screen)
{
    std::vector<std::string> values;
    for (long id = FirstPresetId; id < FirstPresetId + 6; ++id)
        values.push_back(screen.Read(id).value);
    return values;
}

} // namespace

TEST_CASE_FIXTURE(WindowStory,
                  "on the generated band: searches from both ends and the scan find exactly its stations, a server "
                  "dropped or stalled is shown gone and plays again, and the stored search level counts")
{
    ServeBand();
    // The most sensitive level: its 6 dB threshold takes the weak station
    // (12 dB), which the default level (12 dB) may pass.
    settings.SetNumber("SearchLevel", 0);
    settings.SetNumber("AutoSearch", 1);
    settings.SetNumber("CurrentFrequency", 875);
    settings.SetNumber("CurrentVolume", 64);
    settings.Set("PresetChannel", REG_BINARY,
                 testing::Bytes({900, 1000, 1010, 1020, 1030, 1040, 1050, 1060, 1070, 1071, 1072, 1073, 1074, 1075,
                                 1076, 1077, 1078, 1079}));
    RadioProgram radio;
    REQUIRE(radio.Window());
    REQUIRE(server.WaitForCommand(SetFrequency, 87500000 + ListeningOffsetHz, 10000));
    REQUIRE(WaitUntil([&] { return !readout_blank(radio, normal); }, 5000));
    reader::ScreenReader screen;
    REQUIRE(screen.Open(radio.Window()) == S_OK);
    REQUIRE(screen.Read(ReadoutId).value == "87.5 MHz");

    // Up from the lower edge: every station, then the upper edge.
    std::vector<std::string> expected = demo_stations();
    expected.push_back("108.0 MHz");
    DWORD start = GetTickCount();
    const std::vector<std::string> up = SearchToEdge(radio, screen, TuneUp, "108.0 MHz");
    const DWORD upMs = GetTickCount() - start;
    CHECK_MESSAGE(up == expected, list(up));

    // Down from the upper edge: the same stations the other way, then the lower edge.
    expected = demo_stations();
    expected.insert(expected.begin(), "87.5 MHz");
    std::reverse(expected.begin(), expected.end());
    start = GetTickCount();
    const std::vector<std::string> down = SearchToEdge(radio, screen, TuneDown, "87.5 MHz");
    const DWORD downMs = GetTickCount() - start;
    CHECK_MESSAGE(down == expected, list(down));
    MESSAGE("search stops up: " << list(up) << "in " << upMs << " ms; down: " << list(down) << "in " << downMs
                                << " ms");

    // A scan the server drops halfway (past two stations): it changes no
    // preset, and once the server is back the radio plays where it was.
    const std::vector<std::string> storedPresets = group_one(screen);
    REQUIRE(storedPresets[0] == "90.0 MHz");
    AskForScan(radio);
    REQUIRE(WaitUntil([&] { return std::strtod(screen.Read(ReadoutId).value.c_str(), nullptr) > 92.0; }, 10000));
    server.DropClient();
    CHECK(WaitUntil([&] { return readout_blank(radio, normal); }, 2000));
    CHECK(WaitUntil([&] { return !readout_blank(radio, normal); }, 5000));
    CHECK(screen.Read(ReadoutId).value == "87.5 MHz");
    CHECK(WaitUntil([&] { return server.CentreHz() == 87500000 + ListeningOffsetHz; }, 2000));
    CHECK_MESSAGE(group_one(screen) == storedPresets, list(group_one(screen)));
    // Over: it does not go on once the server is back.
    CHECK_FALSE(WaitUntil([&] { return screen.Read(ReadoutId).value != "87.5 MHz"; }, 1000));

    // The scan, asked from the Option menu and confirmed: the six stations in
    // group 1, the radio on the first.
    const size_t beforeScan = server.Commands().size();
    AskForScan(radio);
    start = GetTickCount();
    const std::vector<std::string> stations = demo_stations();
    CHECK_MESSAGE(WaitUntil([&] { return screen.Read(FirstPresetId).value == stations[0]; }, 60000),
                  list(group_one(screen)));
    MESSAGE("the scan took " << GetTickCount() - start << " ms and stored " << list(group_one(screen)));
    CHECK_MESSAGE(group_one(screen) == stations, list(group_one(screen)));
    CHECK(WaitUntil([&] { return screen.Read(ReadoutId).value == stations[0]; }, 3000));
    CHECK(server.WaitForCommand(SetFrequency, 88500000 + ListeningOffsetHz, 3000, beforeScan));
    CHECK(WaitUntil([&] { return server.CentreHz() == 88500000 + ListeningOffsetHz; }, 2000));
    // The other groups are emptied.
    radio.Click(Middle(Groups[1]).x, Middle(Groups[1]).y);
    CHECK(WaitUntil([&] { return screen.Read(FirstGroupId + 1).state & STATE_SYSTEM_CHECKED; }, 3000));
    CHECK(group_one(screen) == std::vector<std::string>(6, "empty"));
    radio.Click(Middle(Groups[0]).x, Middle(Groups[0]).y);
    CHECK(WaitUntil([&] { return screen.Read(FirstGroupId).state & STATE_SYSTEM_CHECKED; }, 3000));

    // On 88.5, stereo; the volume a little down from the stored one.
    REQUIRE(WaitForSkin(radio, lit, StereoLamp, 10000));
    REQUIRE(radio.Activate());
    const std::string storedVolume = screen.Read(VolumeId).value;
    radio.Tap(VK_DOWN);
    radio.Tap(VK_DOWN);
    REQUIRE(WaitUntil([&] { return screen.Read(VolumeId).value != storedVolume; }, 3000));
    radio.Settle();
    const std::string volume = screen.Read(VolumeId).value;
    const testing::ClientShot playing = radio.Shot();

    // Lost: the card's absence shows within a second of the last sample the
    // server sent; once the server is back the radio plays the same station
    // at the same volume. `restore` brings the server back and returns when.
    const auto absent_and_back = [&](const std::string &how, const std::function<void()> &lose,
                                     const std::function<LARGE_INTEGER()> &restore, double &goneMs, double &backMs) {
        CAPTURE(how);
        const size_t commands = server.Commands().size();
        uint64_t sent = server.BytesSent();
        LARGE_INTEGER lastSample = clock_now();
        lose();
        // The last sample is the last time the server's count moved.
        CHECK(WaitUntil(
            [&] {
                if (server.BytesSent() != sent) {
                    sent = server.BytesSent();
                    lastSample = clock_now();
                }
                return readout_blank(radio, normal);
            },
            5000));
        goneMs = milliseconds_since(lastSample);
        CHECK(ShowsSkin(radio, normal, Scale)); // the scale has lost its thumb
        CHECK(WaitForSkin(radio, normal, StereoLamp, 1000)); // at the lamp's next poll
        const LARGE_INTEGER returned = restore();
        CHECK(WaitUntil([&] { return !readout_blank(radio, normal); }, 10000));
        backMs = milliseconds_since(returned);
        // The pilot found again, at the lamp's next look (every 0.5 s).
        CHECK(WaitForSkin(radio, lit, StereoLamp, 3000));
        const double stereoMs = milliseconds_since(returned);
        // The same station: the server was told its centre again, the window shows it.
        CHECK(server.WaitForCommand(SetFrequency, 88500000 + ListeningOffsetHz, 1000, commands));
        CHECK(server.CentreHz() == 88500000 + ListeningOffsetHz);
        CHECK(screen.Read(ReadoutId).value == "88.5 MHz");
        CHECK(screen.Read(VolumeId).value == volume);
        const testing::ClientShot again = radio.Shot();
        CHECK(again.Differences(playing, Readout) == 0);
        CHECK(again.Differences(playing, Scale) == 0);
        CHECK(again.Differences(playing, Volume) == 0);
        MESSAGE(how << ": the read-out blank " << goneMs << " ms after the last sample; back " << backMs
                    << " ms and the stereo lamp lit " << stereoMs << " ms after the server's return");
    };
    double droppedGone = 0, droppedBack = 0, stalledGone = 0, stalledBack = 0;
    // A dropped connection: the server takes the next one at once, so it is back as it drops.
    LARGE_INTEGER dropped = {};
    absent_and_back(
        "dropped",
        [&] {
            dropped = clock_now();
            server.DropClient();
        },
        [&] { return dropped; }, droppedGone, droppedBack);
    // Stalled: silent on the connection it keeps; the link lets it go and
    // connects again (greeted, then silence) until the samples come again.
    absent_and_back(
        "stalled", [&] { server.Stall(true); },
        [&] {
            const uint32_t clients = server.Clients();
            CHECK(server.WaitForClients(clients + 1, 5000));
            server.Stall(false);
            return clock_now();
        },
        stalledGone, stalledBack);
    CHECK(droppedGone < 1000);
    CHECK(stalledGone < 1000);
    CHECK(droppedBack < 2000);
    CHECK(stalledBack < 2000);

    // The card, inserted all along, was never told anything.
    CHECK_MESSAGE(Commands().empty(), testing::Join(Commands()));
    REQUIRE(radio.Close());
    std::vector<int32_t> presets;
    for (const sdrkit::DemoStation &station : sdrkit::DemoStations)
        presets.push_back(static_cast<int32_t>(station.frequencyHz / 100000));
    presets.resize(18, 0);
    CHECK(settings.Numbers("PresetChannel") == presets);
    CHECK(settings.Number("CurrentFrequency") == 885);

    // The least sensitive level, stored for the next start (it is taken
    // while the server is not linked yet): a search down from the upper edge
    // passes the weak station and stops on the next.
    settings.SetNumber("SearchLevel", 3);
    settings.SetNumber("CurrentFrequency", 1080);
    RadioProgram again;
    REQUIRE(again.Window());
    REQUIRE(WaitUntil([&] { return !readout_blank(again, normal); }, 10000));
    reader::ScreenReader secondScreen;
    REQUIRE(secondScreen.Open(again.Window()) == S_OK);
    CHECK(Search(again, secondScreen, TuneDown) == "101.7 MHz");
    REQUIRE(again.Close());
}

namespace {

// Input sent at once, without the pause the program's helpers leave after
// each event: a response is timed from the event itself.
void send_now(INPUT input)
{
    REQUIRE(SendInput(1, &input, sizeof(INPUT)) == 1);
}

// A click where the pointer is.
void click_now()
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    send_now(input);
    input.mi.dwFlags = MOUSEEVENTF_LEFTUP;
    send_now(input);
}

void tap_now(WORD key)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(key, 0));
    input.ki.dwFlags = key == VK_UP || key == VK_DOWN ? KEYEVENTF_EXTENDEDKEY : 0;
    send_now(input);
    input.ki.dwFlags |= KEYEVENTF_KEYUP;
    send_now(input);
}

// Milliseconds from `act` until `done` holds, polled without a pause; -1
// when it does not within two seconds.
double response_ms(const std::function<void()> &act, const std::function<bool()> &done)
{
    const LARGE_INTEGER start = clock_now();
    act();
    while (!done())
        if (milliseconds_since(start) > 2000)
            return -1;
    return milliseconds_since(start);
}

// The radio's client area painted black through its own device context.
bool blacken(HWND window)
{
    HDC dc = GetDC(window);
    if (!dc)
        return false;
    RECT client = {};
    GetClientRect(window, &client);
    const bool done = FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))) != 0;
    ReleaseDC(window, dc);
    return done;
}

// One kind of response, over the rounds. A response that waited on the
// network would take as long as the link's own waits (0.7 s of silence, a
// connect) each time they overlap; a loaded two-core machine may also take
// the radio's thread or the test's away for tens of milliseconds now and
// then. So: none near the network's waits, and at most one over 50 ms.
struct Responses {
    static constexpr double PromptMs = 50;
    static constexpr double NetworkMs = 250;
    double slowest = 0;
    int late = 0; // over PromptMs

    void Note(double measured, const char *what)
    {
        CHECK_MESSAGE(measured >= 0, what << " had no effect");
        slowest = measured > slowest ? measured : slowest;
        late += measured > PromptMs ? 1 : 0;
    }
    bool Prompt() const { return slowest < NetworkMs && late <= 1; }
};

struct Slowest {
    Responses roundTrip, click, key, repaint;
    int rounds = 0;
};

} // namespace

TEST_CASE_FIXTURE(WindowStory, "a server that accepts and never answers: the window answers clicks, keys and repaints "
                               "at once while the link keeps failing")
{
    server.SetGreeting(sdrkit::Greeting::Silent);
    ServeBand();
    settings.SetNumber("CurrentFrequency", 913);
    RadioProgram radio;
    StartActive(radio);
    REQUIRE(server.WaitForClients(1, 10000));
    // No greeting, no samples: the card is not there.
    REQUIRE(WaitUntil([&] { return readout_blank(radio, normal); }, 3000));
    const HWND window = radio.Window();

    // Rounds of a sent message, a click on a group button, a key on AUTO and
    // one on the volume, and a repaint, for as long as the link takes to
    // fail twice more (each time 0.7 s of silence, then a new connection).
    Slowest slowest;
    const uint32_t clients = server.Clients();
    const DWORD started = GetTickCount();
    while (server.Clients() < clients + 2 && GetTickCount() - started < 10000) {
        const bool odd = slowest.rounds % 2 != 0;
        ++slowest.rounds;
        DWORD_PTR ignored = 0;
        slowest.roundTrip.Note(response_ms([] {}, [&] {
                                   return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &ignored) != 0;
                               }),
                               "a sent message");
        const RECT &group = Groups[odd ? 0 : 1];
        radio.MoveTo(Middle(group).x, Middle(group).y);
        slowest.click.Note(response_ms([&] { click_now(); }, [&] { return ShowsSkin(radio, lit, group); }),
                           "a click on a group");
        const testing::SkinImage &autoAfter = odd ? normal : lit;
        slowest.key.Note(response_ms([&] { tap_now('A'); }, [&] { return ShowsSkin(radio, autoAfter, AutoSearch); }),
                         "the AUTO key");
        const testing::ClientShot before = radio.Shot();
        slowest.key.Note(response_ms([&] { tap_now(odd ? VK_DOWN : VK_UP); },
                                     [&] { return radio.Shot().Differences(before, Volume) > 0; }),
                         "a volume key");
        // A repaint: black drawn over the radio's client area from here, then
        // the area invalidated; its pixels are back once the radio has painted.
        const testing::ClientShot unpainted = radio.Shot();
        REQUIRE(blacken(window));
        REQUIRE(WaitUntil([&] { return radio.Shot().Differences(unpainted, Readout) > 0; }, 3000));
        const auto painted = [&] {
            const testing::ClientShot shot = radio.Shot();
            return shot.Differences(unpainted, {0, 0, shot.width, shot.height}) == 0;
        };
        // Nothing but the asked-for repaint brings them back.
        if (slowest.rounds == 1)
            CHECK_FALSE(WaitUntil(painted, 300));
        slowest.repaint.Note(response_ms([&] { REQUIRE(InvalidateRect(window, nullptr, FALSE)); }, painted),
                             "a repaint");
    }
    CHECK(server.Clients() >= clients + 2);
    CHECK(readout_blank(radio, normal));
    MESSAGE(slowest.rounds << " rounds while the link failed " << server.Clients() - clients
                           << " times more; slowest (and how many over 50 ms): sent message "
                           << slowest.roundTrip.slowest << " ms (" << slowest.roundTrip.late << "), click "
                           << slowest.click.slowest << " ms (" << slowest.click.late << "), key "
                           << slowest.key.slowest << " ms (" << slowest.key.late << "), repaint "
                           << slowest.repaint.slowest << " ms (" << slowest.repaint.late << ")");
    CHECK(slowest.rounds >= 3);
    CHECK(slowest.roundTrip.Prompt());
    CHECK(slowest.click.Prompt());
    CHECK(slowest.key.Prompt());
    CHECK(slowest.repaint.Prompt());
    REQUIRE(radio.Close());
}
