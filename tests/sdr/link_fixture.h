// What the link's tests share: a stream whose every pair tells where it
// stands, the clock, the process's private bytes, and a stopwatch for the
// calls the radio's window makes.
#pragma once

#include <windows.h>
#include <psapi.h>

#include <cstdint>
#include <cstdio>

#include "band_source.h"
#include "radio_program.h"
#include "rtl_tcp_link.h"
#include "thread_time.h"

namespace linktest {

using testing::WaitUntil;

// Pair n of the stream is I = 2 * (n mod 128), Q = 2 * (n / 128 mod 128) + 1:
// a pair read out of step has an odd I, and the pair says its n modulo 16384.
class PatternSource : public sdrkit::BandSource {
public:
    void Fill(uint8_t *iq, size_t pairs, uint32_t, uint32_t) override
    {
        for (size_t i = 0; i < pairs; ++i, ++next) {
            iq[2 * i] = static_cast<uint8_t>((next & 0x7F) << 1);
            iq[2 * i + 1] = static_cast<uint8_t>(((next >> 7) & 0x7F) << 1 | 1);
        }
    }

private:
    uint64_t next = 0;
};

constexpr uint32_t PatternPeriod = 16384;

inline bool in_step(const uint8_t *pair)
{
    return (pair[0] & 1) == 0 && (pair[1] & 1) == 1;
}

inline uint32_t pattern_count(const uint8_t *pair)
{
    return static_cast<uint32_t>(pair[0] >> 1) | static_cast<uint32_t>(pair[1] >> 1) << 7;
}

using sdrtest::seconds_now;

inline int64_t private_bytes()
{
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS *>(&memory), sizeof memory);
    return static_cast<int64_t>(memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage);
}

// The longest any of the window's calls took, in ms: every wish and every published figure.
// The window's calls to the link, timed. A call that waited on the network
// would take as long as the link's own waits (0.7 s of silence, a connect,
// a name's lookup) whenever they overlap; a busy two-core machine may also
// take the calling thread away for tens of milliseconds at any moment. So
// a test asks for no call near the network's waits, and hardly any over
// the window's 50 ms.
struct CallTimes {
    static constexpr double WindowMs = 50;
    static constexpr double NetworkMs = 250;

    double longest = 0;
    const char *slowest = "";
    unsigned calls = 0;
    unsigned slow = 0; // over WindowMs

    // Each of the window's calls once, with this server.
    void Time(sdr::RtlTcpLink &link, const char *host, uint16_t port)
    {
        const auto time = [&](const char *name, auto call) {
            const double start = seconds_now();
            call();
            const double took = (seconds_now() - start) * 1000;
            ++calls;
            slow += took > WindowMs ? 1 : 0;
            if (took > longest) {
                longest = took;
                slowest = name;
            }
        };
        time("Configure", [&] { link.Configure(host, port, 1200000, 0, 0); });
        time("SetCentre", [&] { link.SetCentre(98600000); });
        time("SetWanted", [&] { link.SetWanted(true); });
        time("State", [&] { (void)link.State(); });
        time("Live", [&] { (void)link.Live(); });
        time("LastLoss", [&] { (void)link.LastLoss(); });
        time("LastRetune", [&] { (void)link.LastRetune(); });
        time("Connects", [&] { (void)link.Connects(); });
        time("BytesReceived", [&] { (void)link.BytesReceived(); });
        time("PairsDropped", [&] { (void)link.PairsDropped(); });
    }
    bool Prompt() const { return longest < NetworkMs && slow * 100 <= calls; }
    void Print(const char *what) const
    {
        std::printf("%s: %u calls, the longest %.2f ms (%s), %u over %.0f ms\n", what, calls, longest, slowest, slow,
                    WindowMs);
    }
};

} // namespace linktest
