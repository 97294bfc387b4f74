// What the software receiver costs and how soon a listener hears a station:
// the receiver's own threads' share of a core while it plays the
// demonstration band in real time, the times from a tune to the first
// sound, the stereo lamp, the name and the RadioText, and RDS through the
// whole chain at falling carrier-to-noise ratios. Prints figures (lines
// beginning "figure:", which scripts/bench.sh collects); never fails on them.
#include <windows.h>
#include <psapi.h>

#include <doctest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "capture_sink.h"
#include "demo_band.h"
#include "fm_chain.h"
#include "radio_program.h"
#include "rds_receiver.h"
#include "receiver.h"
#include "rtl_tcp_server.h"
#include "sdr_rates.h"
#include "signal_generator.h"
#include "thread_time.h"

using sdrtest::seconds_now;
using testing::WaitUntil;

namespace {

double private_megabytes()
{
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS *>(&memory), sizeof memory);
    return static_cast<double>(memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage) / 1048576.0;
}

const char *build_name()
{
    return sizeof(void *) == 4 ? "i686" : "x86_64";
}

double benchmark_seconds()
{
    char value[32] = {};
    if (GetEnvironmentVariableA("TAVOLIN_BENCH_SECONDS", value, sizeof value))
        return std::atof(value);
    return 10;
}

} // namespace

TEST_CASE("benchmark: the receiver playing a stereo station with RDS in real time")
{
    sdrkit::BandGenerator generator;
    sdrkit::add_demo_stations(generator);
    sdrkit::RtlTcpServer server(&generator);
    REQUIRE(server.Start(0));
    testing::CaptureSink sink(48000 * 5);
    sdr::Receiver receiver;
    sdr::ReceiverConfig config;
    config.port = server.Port();

    // The receiver's threads are those its start adds.
    const std::vector<DWORD> before = sdrtest::process_thread_ids();
    const double memoryBefore = private_megabytes();
    REQUIRE(receiver.Start(config, &sink));
    const double memoryStarted = private_megabytes();
    const std::vector<HANDLE> threads = sdrtest::threads_added_since(before);
    receiver.SetRegion(sdr::Region::Europe);
    receiver.SetVolume(70);
    receiver.SetBlend(true);
    receiver.SetRds(true);
    receiver.SetLinked(true);
    REQUIRE(WaitUntil([&] { return receiver.LinkUp(); }, 5000));
    receiver.SetPlaying(true);

    const double tuned = seconds_now();
    receiver.Tune(913);
    double firstSound = 0, stereo = 0, name = 0, text = 0;
    std::string heard;
    WaitUntil(
        [&] {
            const double now = seconds_now() - tuned;
            if (!firstSound && sink.FramesWritten() > 0)
                firstSound = now;
            if (!stereo && receiver.Stereo())
                stereo = now;
            char buffer[512];
            heard.append(buffer, receiver.ReadRdsText(buffer, sizeof buffer));
            if (!name && heard.find("CLASSIC ") != std::string::npos)
                name = now;
            if (!text && heard.find("Goldberg Variations ") != std::string::npos)
                text = now;
            return firstSound && stereo && name && text;
        },
        15000);

    // The share of a core, once playing.
    const double seconds = benchmark_seconds();
    const double cpuStart = sdrtest::threads_cpu_seconds(threads);
    const double wallStart = seconds_now();
    Sleep(static_cast<DWORD>(seconds * 1000)); // the measured stretch of playing, not a wait for something
    const double cpu = sdrtest::threads_cpu_seconds(threads) - cpuStart;
    const double wall = seconds_now() - wallStart;
    const sdr::ReceiverCounters counters = receiver.Counters();

    std::printf("figure: receiver %s | 91.3 MHz, stereo, RDS, 30 dB | %.2f %% over %.0f s (%zu threads) | "
                "sound %.0f ms, stereo lamp %.2f s, name %.2f s, RadioText %.2f s | +%.1f MB at start | "
                "%llu pairs dropped, RDS level %u\n",
                build_name(), 100 * cpu / wall, wall, threads.size(), firstSound * 1000, stereo, name, text,
                memoryStarted - memoryBefore, static_cast<unsigned long long>(counters.pairsDropped),
                receiver.RdsLevel());
    std::fflush(stdout);
    for (HANDLE thread : threads)
        CloseHandle(thread);
    CHECK(firstSound > 0); // measured at all: a receiver that never plays has no figures
}

TEST_CASE("benchmark: RDS through the whole chain as the signal weakens")
{
    constexpr size_t Block = sdr::FmChain::MaxBlockPairs;
    std::vector<uint8_t> iq(2 * Block);
    std::vector<float> stereo(2 * Block);
    for (const float cnr : {10.0f, 12.0f, 15.0f, 20.0f, 30.0f}) {
        sdrkit::BandGenerator generator(7);
        sdrkit::StationSpec spec = sdrkit::demo_spec(sdrkit::DemoStations[1]);
        spec.cnrDb = cnr;
        generator.AddStation(spec);
        sdr::FmChain chain;
        sdr::RdsReceiver rds;
        chain.SetMpxListener(&rds);
        const uint32_t centre = spec.frequencyHz + sdr::StationOffsetHz;
        double name = -1, text = -1;
        uint32_t levels = 0, samples = 0, wrong = 0;
        std::string heard;
        const double signalSeconds = 30;
        for (double at = 0; at < signalSeconds; at += double(Block) / sdr::DongleRate) {
            generator.Fill(iq.data(), Block, centre, sdr::DongleRate);
            chain.Process(iq.data(), Block, stereo.data(), Block);
            char buffer[256];
            const size_t length = rds.TakeText(buffer, sizeof buffer);
            if (length) {
                const std::string taken(buffer, length);
                heard += taken;
                if (taken != "CLASSIC " && taken != std::string(spec.programme.radioText) + " ")
                    ++wrong;
            }
            if (name < 0 && heard.find("CLASSIC ") != std::string::npos)
                name = at;
            if (text < 0 && heard.find("Goldberg Variations ") != std::string::npos)
                text = at;
            if (at > 2) {
                levels += rds.Level();
                ++samples;
            }
        }
        std::printf("figure: rds %s | %.0f dB | %s | %s | %u of 1000 | %u\n", build_name(), static_cast<double>(cnr),
                    name < 0 ? "none in 30 s" : (std::to_string(name).substr(0, 4) + " s").c_str(),
                    text < 0 ? "none in 30 s" : (std::to_string(text).substr(0, 4) + " s").c_str(),
                    samples ? levels / samples : 0, wrong);
        std::fflush(stdout);
        CHECK(wrong == 0); // a wrong text is a fault at any signal, not noise in a figure
    }
}
