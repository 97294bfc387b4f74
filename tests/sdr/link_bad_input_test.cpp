// The link against servers that mean harm or are not there: a port that
// accepts and says nothing, a host that does not exist, a closed port, a
// greeting claiming 2^32-1 gains, and a flood of noise as fast as loopback
// carries it. The link stays safe, its memory flat, its state right, and
// the radio's window never waits on any of it.
#include <doctest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "link_fixture.h"
#include "rtl_tcp_server.h"

using namespace linktest;
using sdr::LinkLoss;
using sdr::LinkState;
using sdrkit::Greeting;
using sdrkit::RtlTcpServer;

TEST_CASE("Nobody answering: the window's calls return at once, the link is lost and tries again, memory flat")
{
    RtlTcpServer silent;
    silent.SetGreeting(Greeting::Silent);
    REQUIRE(silent.Start());
    sdr::RtlTcpLink *owned = new sdr::RtlTcpLink;
    sdr::RtlTcpLink &link = *owned;
    REQUIRE(link.Start());

    // The calls, timed while the thread connects and waits for a greeting that never comes.
    CallTimes times;
    times.Time(link, "127.0.0.1", silent.Port());
    REQUIRE(silent.WaitForClients(1, 5000));
    const double accepted = seconds_now();
    REQUIRE(WaitUntil([&] {
        times.Time(link, "127.0.0.1", silent.Port());
        return link.LastLoss() == LinkLoss::NoGreeting;
    }));
    const double silence = seconds_now() - accepted;
    std::printf("silent server: lost after %.2f s\n", silence);
    CHECK(silence > 0.8 * sdr::RtlTcpLink::SilenceMs / 1000);
    CHECK(silence < 1.5 + sdr::RtlTcpLink::SilenceMs / 1000.0);
    CHECK(link.State() != LinkState::Up);
    CHECK(link.Ring()->PairsWritten() == 0);

    // Tried again and again, and nothing grows with the tries.
    REQUIRE(silent.WaitForClients(2, 5000));
    const int64_t before = private_bytes();
    REQUIRE(silent.WaitForClients(5, 15000));
    const int64_t after = private_bytes();
    std::printf("silent server: private bytes %lld -> %lld over 3 tries\n", static_cast<long long>(before),
                static_cast<long long>(after));
    CHECK(after - before < 256 * 1024);

    // A host that does not exist: resolved on the thread.
    const double resolving = seconds_now();
    times.Time(link, "no-such-host.invalid", 1234);
    REQUIRE(WaitUntil(
        [&] {
            times.Time(link, "no-such-host.invalid", 1234);
            return link.LastLoss() == LinkLoss::Unresolved;
        },
        30000));
    std::printf("unknown host: given up after %.2f s\n", seconds_now() - resolving);
    CHECK(link.Connects() == 0);

    // A port nobody listens on.
    const uint16_t closed = silent.Port();
    silent.Stop();
    times.Time(link, "127.0.0.1", closed);
    REQUIRE(WaitUntil([&] { return link.LastLoss() == LinkLoss::Unreachable; }));
    times.Print("the window's calls");
    CHECK(times.Prompt());

    // Let go while the thread tries again: the destructor does not wait for it.
    const double destroy = seconds_now();
    delete owned;
    CHECK((seconds_now() - destroy) * 1000 < CallTimes::NetworkMs);
}

TEST_CASE("A greeting claiming 2^32-1 gains is reported, not believed")
{
    PatternSource source;
    RtlTcpServer server(&source);
    server.SetGreeting(Greeting::HugeGainCount);
    REQUIRE(server.Start());
    const int64_t before = private_bytes();
    sdr::RtlTcpLink link;
    REQUIRE(link.Start());
    link.Configure("127.0.0.1", server.Port(), 1200000, 0, 0);
    link.SetWanted(true);
    REQUIRE(WaitUntil([&] { return link.Live() && link.Ring()->Available() >= 12000; }));
    CHECK(link.GainCount() == 0xFFFFFFFFu);
    CHECK(link.TunerType() == RtlTcpServer::TunerR820T);
    std::vector<uint8_t> pairs(2 * 12000);
    REQUIRE(link.Ring()->Read(pairs.data(), 12000) == 12000);
    for (size_t i = 0; i < 12000; ++i) {
        CAPTURE(i);
        REQUIRE(pattern_count(&pairs[2 * i]) == i % PatternPeriod);
    }
    // The ring (1.2 MB) and the link's buffers, nothing sized by the count.
    const int64_t grown = private_bytes() - before;
    std::printf("huge gain count: private bytes grew %lld\n", static_cast<long long>(grown));
    CHECK(grown < 4 * 1024 * 1024);
}

TEST_CASE("A flood of noise as fast as loopback carries it: up, drops counted, memory flat, the window unhurt")
{
    RtlTcpServer server;
    server.SetContent(sdrkit::Content::Noise);
    server.SetPacing(sdrkit::Pacing::Fast);
    REQUIRE(server.Start());
    sdr::RtlTcpLink link;
    REQUIRE(link.Start());
    sdr::IqRing &ring = *link.Ring();
    link.Configure("127.0.0.1", server.Port(), 1200000, 0, 0);
    link.SetCentre(98600000);
    link.SetWanted(true);
    REQUIRE(WaitUntil([&] { return link.Live(); }));

    // Warmed up: the ring full, the sockets' buffers grown.
    constexpr uint64_t Step = 64ull << 20;
    REQUIRE(server.WaitForClientBytes(Step, 20000));
    const int64_t memoryBefore = private_bytes();
    const double start = seconds_now();
    const uint64_t bytesBefore = link.BytesReceived();

    // Up to 2 GB or 15 s; a slow reader takes a block now and then, as the signal thread would on a bad day.
    constexpr uint64_t Most = 2ull << 30;
    constexpr double Longest = 15;
    std::vector<uint8_t> block(2 * 12000);
    CallTimes times;
    bool live = true;
    while (link.BytesReceived() - bytesBefore < Most && seconds_now() - start < Longest) {
        REQUIRE(server.WaitForClientBytes(server.ClientBytesSent() + Step / 4, 20000));
        ring.Read(block.data(), 12000);
        times.Time(link, "127.0.0.1", server.Port());
        live = live && link.Live();
    }
    const double took = seconds_now() - start;
    const uint64_t carried = link.BytesReceived() - bytesBefore;
    const int64_t memoryAfter = private_bytes();
    std::printf("flood: %.0f MB in %.1f s, %.0f MB/s (%.0f times the dongle's 2.4 MB/s); %llu pairs dropped\n",
                static_cast<double>(carried) / 1e6, took, static_cast<double>(carried) / 1e6 / took,
                static_cast<double>(carried) / 2.4e6 / took, static_cast<unsigned long long>(link.PairsDropped()));
    std::printf("flood: private bytes %lld -> %lld\n", static_cast<long long>(memoryBefore),
                static_cast<long long>(memoryAfter));
    times.Print("flood: the window's calls");
    CHECK(live);
    CHECK(link.Connects() == 1);
    CHECK(link.PairsDropped() > 0);
    CHECK(memoryAfter - memoryBefore < 1024 * 1024);
    CHECK(times.Prompt());

    // Every pair that arrived is either in the ring's total or in its drops.
    link.SetWanted(false);
    REQUIRE(server.WaitForNoClient(2000));
    REQUIRE(WaitUntil([&] { return link.State() == LinkState::Off; }));
    CHECK(ring.PairsWritten() + ring.PairsDropped() == (link.BytesReceived() - 12) / 2);
}
