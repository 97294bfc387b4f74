// Pulling and inserting the card, and removing and installing it with the
// tunercard tool: held handles die, discovery follows the card.
#include <doctest.h>

#include "device/tuner_discovery.h"
#include "device/tuner_protocol.h"
#include "process_runner.h"
#include "virtual_card.h"

using testing::SendRequest;
using testing::VirtualCard;

namespace {

bool poll(HANDLE handle)
{
    uint32_t word = 0;
    return SendRequest(handle, TUNER_POLL_CARD, &word, 4, &word, 4);
}

std::string tool(const std::string &arguments)
{
    return "\"" + testing::BinDirectory() + "\\tunercard.exe\" " + arguments;
}

// Pulls and inserts the card over and over, as soon as the driver is there,
// until told to stop.
struct Plugger {
    volatile LONG stop = 0;
    LONG sent = 0;
    static DWORD WINAPI Run(void *self)
    {
        Plugger *plugger = static_cast<Plugger *>(self);
        tunercard::CardControlClient control;
        while (!plugger->stop) {
            if (!control.IsOpen() && !control.Open()) {
                Sleep(1);
                continue;
            }
            control.Pull();
            control.Insert();
            InterlockedIncrement(&plugger->sent);
        }
        return 0;
    }
};

} // namespace

TEST_CASE("a pulled card fails held handles and hides from discovery until inserted")
{
    VirtualCard card;
    HANDLE radio = open_tuner_interface(TunerInterfaceGuid, 0);
    HANDLE agent = open_tuner_interface(TunerInterfaceGuid, 0);
    REQUIRE(radio);
    REQUIRE(agent);
    CHECK(poll(radio));
    CHECK(poll(agent));

    card.Pull();
    CHECK_FALSE(poll(radio));
    CHECK(GetLastError() == ERROR_DEVICE_NOT_CONNECTED);
    CHECK_FALSE(poll(agent));
    CHECK(open_tuner_interface(TunerInterfaceGuid, 0) == nullptr);
    CHECK(card.State().inserted == 0);

    card.Insert();
    HANDLE fresh = open_tuner_interface(TunerInterfaceGuid, 0);
    REQUIRE(fresh);
    CHECK(poll(fresh));
    CHECK_FALSE(poll(radio)); // a handle from before the pull stays dead

    // Pulling twice, or inserting an inserted card, changes nothing more.
    card.Pull();
    card.Pull();
    card.Insert();
    card.Insert();
    HANDLE again = open_tuner_interface(TunerInterfaceGuid, 0);
    REQUIRE(again);
    CHECK(poll(again));

    for (HANDLE handle : {radio, agent, fresh, again})
        CloseHandle(handle);
}

TEST_CASE("uninstall and install through the tool remove and bring back the card")
{
    {
        VirtualCard card;
    }
    testing::ProcessResult removed = testing::RunProgram(tool("uninstall"));
    CHECK_MESSAGE(removed.exitCode == 0, removed.output);
    CHECK(testing::WaitDiscoverable(false));
    CHECK(open_tuner_interface(TunerInterfaceGuid, 0) == nullptr);

    // Without the driver, the tool says so and fails.
    testing::ProcessResult state = testing::RunProgram(tool("state"));
    CHECK(state.exitCode == 1);
    CHECK(state.output.find("not loaded") != std::string::npos);
    testing::ProcessResult again = testing::RunProgram(tool("uninstall"));
    CHECK(again.exitCode == 1);
    CHECK(again.output.find("not installed") != std::string::npos);

    // The card is added and started while pulls and inserts keep arriving
    // on other threads, as they may under Wine.
    Plugger plugger;
    HANDLE threads[2];
    for (HANDLE &thread : threads)
        thread = CreateThread(nullptr, 0, Plugger::Run, &plugger, 0, nullptr);
    testing::ProcessResult installed = testing::RunProgram(tool("install"));
    for (int i = 0; i < 100 && plugger.sent < 200; ++i) // a while after the start, too
        Sleep(20);
    InterlockedExchange(&plugger.stop, 1);
    CHECK(WaitForMultipleObjects(2, threads, TRUE, 10000) == WAIT_OBJECT_0);
    for (HANDLE thread : threads)
        CloseHandle(thread);
    CHECK(plugger.sent > 0);
    REQUIRE_MESSAGE(installed.exitCode == 0, installed.output);
    REQUIRE(testing::RunProgram(tool("insert")).exitCode == 0);
    REQUIRE(testing::WaitDiscoverable(true));
    VirtualCard card;
    HANDLE handle = open_tuner_interface(TunerInterfaceGuid, 0);
    REQUIRE(handle);
    CHECK(poll(handle));
    CHECK(card.State().installed == 1);
    CloseHandle(handle);
}
