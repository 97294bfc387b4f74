// The radio with an rtl_tcp server for its signal source: the kit's server
// serves the demonstration band from this process, the real radio finds the
// receiver's library beside it and drives it through its own window. What
// is checked is what the server is told, what the window shows, and that
// the virtual card, inserted all along, hears nothing.
#include <doctest.h>

#include <string>
#include <vector>

#include "demo_band.h"
#include "radio_story.h"
#include "rtl_tcp_server.h"

using namespace radio_test;
using testing::RadioProgram;
using testing::WaitUntil;

namespace {

constexpr uint8_t SetFrequency = 0x01;

std::vector<uint8_t> text_value(const std::string &text)
{
    return std::vector<uint8_t>(text.c_str(), text.c_str() + text.size() + 1);
}

// Waits until the RDS window's text holds `wanted`; every text seen on the
// way goes to `seen`.
bool await_rds_text(HWND rdsWindow, const char *wanted, std::vector<std::string> &seen, DWORD timeoutMs)
{
    return WaitUntil(
        [&] {
            const std::string text = testing::WindowText(GetDlgItem(rdsWindow, RdsTextControl));
            if (seen.empty() || seen.back() != text)
                seen.push_back(text);
            return text.find(wanted) != std::string::npos;
        },
        timeoutMs);
}

bool close_rds_window(const RadioProgram &radio, HWND rds)
{
    PostMessageA(rds, WM_COMMAND, IDOK, 0);
    return WaitUntil([&] { return testing::FindProcessDialog(radio.ProcessId(), "RDS") == nullptr; }, 3000);
}

} // namespace

TEST_CASE_FIXTURE(RadioStory, "on an rtl_tcp server: the station in stereo with its name, a search, a retune, a lost server")
{
    sdrkit::BandGenerator band;
    sdrkit::add_demo_stations(band);
    sdrkit::RtlTcpServer server(&band);
    REQUIRE(server.Start(0));
    settings.Set("SignalSource", REG_SZ, text_value("rtl_tcp:127.0.0.1:" + std::to_string(server.Port())));
    settings.SetNumber("CurrentFrequency", 913);
    settings.SetNumber("AutoSearch", 1);
    settings.SetNumber("Group", 1);
    settings.Set("PresetChannel", REG_BINARY,
                 testing::Bytes({913, 983, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

    RadioProgram radio;
    REQUIRE(radio.Window());
    // The dongle listens 300 kHz above the stored station.
    REQUIRE(server.WaitForCommand(SetFrequency, 91600000, 10000));
    CHECK(WaitForSkin(radio, lit, StereoLamp, 10000));
    HWND rds = OpenRdsWindow(radio);
    REQUIRE(rds);
    // The window shows text once 300 characters have come: about a dozen
    // receptions of the name and the RadioText.
    std::vector<std::string> seen;
    CHECK_MESSAGE(await_rds_text(rds, "CLASSIC", seen, 30000), testing::Join(seen));

    // A search up stops on the next station, a mono one: the lamp goes out, its name comes.
    const POINT up = Middle(TuneUp);
    radio.Click(up.x, up.y);
    CHECK(server.WaitForCommand(SetFrequency, 96100000, 20000));
    CHECK(WaitForSkin(radio, normal, StereoLamp, 5000));
    seen.clear();
    CHECK_MESSAGE(await_rds_text(rds, "NEWS 958", seen, 10000), testing::Join(seen));

    // A preset's retune, with the RDS window closed so that nothing reads
    // the receiver's text meanwhile, for five seconds of signal: more than a
    // window's worth of the old station's texts would be waiting if a retune
    // let them through. None of them shows on the new station.
    REQUIRE(close_rds_window(radio, rds));
    REQUIRE(server.WaitForClientBytes(server.ClientBytesSent() + 5 * 2 * 1200000, 15000));
    const POINT preset = Middle(Presets[1]);
    radio.Click(preset.x, preset.y);
    REQUIRE(server.WaitForCommand(SetFrequency, 98600000, 5000));
    rds = OpenRdsWindow(radio);
    REQUIRE(rds);
    seen.clear();
    CHECK_MESSAGE(await_rds_text(rds, "TAVOLIN", seen, 30000), testing::Join(seen));
    for (const std::string &text : seen)
        CHECK_MESSAGE(text.find("NEWS") == std::string::npos, text);
    // The screen with the radio, its stereo lamp lit and its RDS window, for the documentation.
    CHECK(WaitForSkin(radio, lit, StereoLamp, 5000));
    CHECK(testing::ClientShot(GetDesktopWindow()).Save(testing::BinDirectory() + "\\radio-on-rtl-tcp.bmp"));

    // The server drops the radio: it comes back by itself to the same station.
    const size_t commandsBefore = server.Commands().size();
    server.DropClient();
    CHECK(server.WaitForClients(2, 5000));
    CHECK(server.WaitForCommand(SetFrequency, 98600000, 8000, commandsBefore));

    // The card, inserted all along, was never told anything.
    CHECK_MESSAGE(Commands().empty(), testing::Join(Commands()));
    REQUIRE(radio.Close());
    CHECK(settings.Number("CurrentFrequency") == 983);
}

TEST_CASE_FIXTURE(RadioStory, "a signal source that names no server is the card, and is stored so")
{
    // No server named, a port of 0, a port too big, not a source at all.
    for (const char *bad : {"rtl_tcp:", "rtl_tcp:127.0.0.1:0", "rtl_tcp:127.0.0.1:65536", "tuner"}) {
        CAPTURE(std::string(bad));
        card.ClearLog();
        settings.Set("SignalSource", REG_SZ, text_value(bad));
        settings.SetNumber("CurrentFrequency", 913);
        RadioProgram radio;
        REQUIRE(radio.Window());
        // The card is tuned (at start and again by the first watch tick).
        CHECK(AwaitRequestsWith(TUNER_SET_FREQUENCY, 913, 1).size() >= 1);
        REQUIRE(radio.Close());
        const testing::RegistryValue source = settings.Get("SignalSource");
        CHECK(source.present);
        CHECK((source.data.empty() || source.data[0] == 0));
    }
}

TEST_CASE_FIXTURE(RadioStory, "the Signal Source dialog switches to a server and back to the card")
{
    sdrkit::BandGenerator band;
    sdrkit::add_demo_stations(band);
    sdrkit::RtlTcpServer server(&band);
    REQUIRE(server.Start(0));
    settings.SetNumber("CurrentFrequency", 985);
    RadioProgram radio;
    REQUIRE(radio.Window());
    REQUIRE(AwaitRequestsWith(TUNER_SET_FREQUENCY, 985, 1).size() >= 1);

    // Option menu, "Signal Source...": the dialog, filled in and confirmed.
    const auto choose = [&](int source, const std::string &port) {
        PostMessageA(radio.Window(), WM_COMMAND, 32773, 0);
        HWND dialog = nullptr;
        REQUIRE(WaitUntil([&] { return (dialog = testing::FindProcessDialog(radio.ProcessId(), "Signal Source")); }));
        SendMessageA(GetDlgItem(dialog, source), BM_CLICK, 0, 0);
        if (!port.empty()) {
            SetDlgItemTextA(dialog, 1003, "127.0.0.1");
            SetDlgItemTextA(dialog, 1004, port.c_str());
        }
        PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
        CHECK(WaitUntil([&] { return !IsWindow(dialog); }, 5000));
    };
    const size_t cardBefore = Commands().size();
    choose(1002, std::to_string(server.Port()));
    CHECK(server.WaitForCommand(SetFrequency, 98800000, 10000));
    const testing::RegistryValue stored = settings.Get("SignalSource");
    CHECK(std::string(stored.data.begin(), stored.data.end()).find("rtl_tcp:127.0.0.1:" + std::to_string(server.Port())) == 0);

    // Back to the card: the server is let go, the card tuned again.
    card.ClearLog();
    choose(1001, "");
    CHECK(server.WaitForNoClient(5000));
    CHECK(AwaitRequestsWith(TUNER_SET_FREQUENCY, 985, 1).size() >= 1);
    CHECK(cardBefore > 0);
    REQUIRE(radio.Close());
}
