// The rtl_tcp link's cost: its thread's CPU time while the kit's server
// sends 1.2 MS/s in real time (a reader taking the ring every 10 ms as the
// signal thread does), and its throughput when the server sends noise as
// fast as loopback carries it. Prints figures; never fails on them.
//
//   sdr_link_bench [seconds]   (default 10 for each part)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "rtl_tcp_link.h"
#include "rtl_tcp_server.h"
#include "sdr_rates.h"
#include "thread_time.h"

namespace {

// Starts the link against the server and finds its thread among the process's.
HANDLE start_link(sdr::RtlTcpLink &link, uint16_t port)
{
    const std::vector<DWORD> before = sdrtest::process_thread_ids();
    link.Start();
    link.Configure("127.0.0.1", port, sdr::DongleRate, 0, 0);
    link.SetCentre(98600000);
    link.SetWanted(true);
    const std::vector<HANDLE> added = sdrtest::threads_added_since(before);
    return added.empty() ? nullptr : added.front();
}

struct Figures {
    double seconds;   // of the run
    double signal;    // seconds of signal carried
    double cpu;       // the link thread's
    uint64_t dropped; // pairs
};

// Runs the link against the kit's server sending noise, a reader taking the ring every 10 ms.
Figures measure(sdrkit::Pacing pacing, double seconds)
{
    sdrkit::RtlTcpServer server;
    server.SetContent(sdrkit::Content::Noise);
    server.SetPacing(pacing);
    server.Start();
    sdr::RtlTcpLink link;
    HANDLE thread = start_link(link, server.Port());
    const double up = sdrtest::seconds_now();
    while (!link.Live() && sdrtest::seconds_now() - up < 10)
        Sleep(10);
    std::vector<uint8_t> block(2 * 12000);
    const double cpuBefore = sdrtest::threads_cpu_seconds({thread});
    const uint64_t bytesBefore = link.BytesReceived();
    const uint64_t droppedBefore = link.PairsDropped();
    const double start = sdrtest::seconds_now();
    while (sdrtest::seconds_now() - start < seconds) {
        Sleep(10);
        while (link.Ring()->Read(block.data(), 12000) > 0) {
        }
    }
    Figures figures;
    figures.seconds = sdrtest::seconds_now() - start;
    figures.cpu = sdrtest::threads_cpu_seconds({thread}) - cpuBefore;
    figures.signal = static_cast<double>(link.BytesReceived() - bytesBefore) / 2 / sdr::DongleRate;
    figures.dropped = link.PairsDropped() - droppedBefore;
    CloseHandle(thread);
    return figures;
}

} // namespace

int main(int argc, char **argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10;
    const Figures paced = measure(sdrkit::Pacing::RealTime, seconds);
    std::printf("link, real time at %.1f MS/s: %.1f s of signal in %.1f s, link thread %.3f s CPU = %.2f %% of a "
                "core; %llu pairs dropped\n",
                sdr::DongleRate / 1e6, paced.signal, paced.seconds, paced.cpu, 100 * paced.cpu / paced.seconds,
                static_cast<unsigned long long>(paced.dropped));
    const Figures flood = measure(sdrkit::Pacing::Fast, seconds);
    std::printf("link, flood: %.0f MB/s (%.0f times real time), link thread %.2f ms CPU per second of signal\n",
                flood.signal * 2 * sdr::DongleRate / 1e6 / flood.seconds, flood.signal / flood.seconds,
                1000 * flood.cpu / flood.signal);
    return 0;
}
