// rtl_tcp_band: a generated FM band served as rtl_tcp serves a dongle, for
// the run command's demonstration and the benchmarks. Six stations: stereo
// ones with a name and RadioText, a mono one, one without RDS and a weak
// one. It prints what it serves, the port, and each command a client sends,
// and runs until it is stopped (Ctrl+C, its window closed, or killed).
//
//   rtl_tcp_band [--port N] [--fast]
//     --port N  listen on 127.0.0.1:N (default 1234; 0 picks a free port)
//     --fast    send as fast as the client reads instead of in real time
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "demo_band.h"
#include "rtl_tcp_server.h"

namespace {

HANDLE stopEvent;

BOOL WINAPI on_console(DWORD)
{
    SetEvent(stopEvent);
    return TRUE;
}

int usage()
{
    std::fprintf(stderr, "usage: rtl_tcp_band [--port N] [--fast]\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    unsigned long port = 1234;
    bool fast = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--fast") == 0) {
            fast = true;
        } else if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc) {
            char *end = nullptr;
            port = std::strtoul(argv[++i], &end, 10);
            if (*end != '\0' || port > 65535)
                return usage();
        } else {
            return usage();
        }
    }

    sdrkit::BandGenerator band;
    sdrkit::add_demo_stations(band);
    sdrkit::RtlTcpServer server(&band);
    server.SetPacing(fast ? sdrkit::Pacing::Fast : sdrkit::Pacing::RealTime);
    if (!server.Start(static_cast<uint16_t>(port))) {
        std::fprintf(stderr, "rtl_tcp_band: cannot listen on 127.0.0.1:%lu\n", port);
        return 1;
    }
    stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(on_console, TRUE);

    std::printf("rtl_tcp_band listening on 127.0.0.1:%u (%s)\n", server.Port(), fast ? "fast" : "real time");
    for (const sdrkit::DemoStation &station : sdrkit::DemoStations) {
        std::printf("  %6.1f MHz  %-6s  CNR %2.0f dB", station.frequencyHz / 1e6, station.stereo ? "stereo" : "mono",
                    static_cast<double>(station.cnrDb));
        if (station.rds)
            std::printf("  PI %04X  \"%s\"  \"%s\"\n", station.pi, station.name, station.text);
        else
            std::printf("  no RDS\n");
    }
    std::fflush(stdout);

    size_t shown = 0;
    while (WaitForSingleObject(stopEvent, 0) != WAIT_OBJECT_0) {
        if (!server.WaitForCommandCount(shown + 1, 250))
            continue;
        const std::vector<sdrkit::ReceivedCommand> commands = server.Commands();
        for (; shown < commands.size(); ++shown)
            std::printf("client %u: command 0x%02X %u\n", commands[shown].client, commands[shown].code,
                        commands[shown].value);
        std::fflush(stdout);
    }
    server.Stop();
    return 0;
}
