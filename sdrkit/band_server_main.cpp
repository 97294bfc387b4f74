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

#include "rtl_tcp_server.h"
#include "signal_generator.h"

namespace {

struct DemoStation {
    uint32_t frequencyHz;
    float cnrDb;
    bool stereo;
    bool rds;
    uint16_t pi;
    uint8_t pty;
    const char *name;
    const char *text;
    float leftHz, rightHz;
};

// At least 400 kHz apart, inside the European and American bands.
const DemoStation Stations[] = {
    {88500000, 35, true, true, 0xD201, 10, "AURORA", "Aurora 88.5 - pop around the clock", 440, 660},
    {91300000, 30, true, true, 0xD202, 14, "CLASSIC", "Classic 91.3: J. S. Bach, Goldberg Variations", 523, 784},
    {95800000, 30, false, true, 0xD203, 1, "NEWS 958", "News on the hour, every hour", 1000, 1000},
    {98300000, 40, true, true, 0xD204, 10, "TAVOLIN", "Tavolin FM 98.3 - the demonstration band", 330, 990},
    {101700000, 30, true, false, 0, 0, "", "", 700, 350},
    {104900000, 12, true, true, 0xD205, 15, "FARAWAY", "Faraway 104.9 - heard only at the edge", 600, 900},
};

HANDLE stopEvent;

BOOL WINAPI on_console(DWORD)
{
    SetEvent(stopEvent);
    return TRUE;
}

sdrkit::StationSpec spec_of(const DemoStation &station)
{
    sdrkit::StationSpec spec;
    spec.frequencyHz = station.frequencyHz;
    spec.left.toneHz = station.leftHz;
    spec.left.amplitude = 0.3f;
    spec.right.toneHz = station.rightHz;
    spec.right.amplitude = 0.3f;
    spec.stereo = station.stereo;
    spec.preemphasisSeconds = 50e-6f;
    spec.cnrDb = station.cnrDb;
    spec.rds = station.rds;
    if (station.rds) {
        spec.programme.pi = station.pi;
        spec.programme.pty = station.pty;
        std::snprintf(spec.programme.name, sizeof spec.programme.name, "%-8s", station.name);
        std::snprintf(spec.programme.radioText, sizeof spec.programme.radioText, "%s", station.text);
    }
    return spec;
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
    for (const DemoStation &station : Stations)
        band.AddStation(spec_of(station));
    sdrkit::RtlTcpServer server(&band);
    server.SetPacing(fast ? sdrkit::Pacing::Fast : sdrkit::Pacing::RealTime);
    if (!server.Start(static_cast<uint16_t>(port))) {
        std::fprintf(stderr, "rtl_tcp_band: cannot listen on 127.0.0.1:%lu\n", port);
        return 1;
    }
    stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(on_console, TRUE);

    std::printf("rtl_tcp_band listening on 127.0.0.1:%u (%s)\n", server.Port(), fast ? "fast" : "real time");
    for (const DemoStation &station : Stations) {
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
