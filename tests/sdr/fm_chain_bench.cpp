// What the FM chain costs: a second of a typical stereo station, generated
// once, run through the chain ten times. Prints the share of one core
// (the thread's own time, so other work on the machine does not count) and
// the real-time factor; never fails on them.
#include <doctest.h>

#include <chrono>
#include <cstdint>
#include <vector>

#include "fm_chain.h"
#include "sdr_rates.h"
#include "signal_generator.h"
#include "thread_time.h"

using sdrtest::thread_seconds;

TEST_CASE("benchmark: the FM chain's share of one core at 1.2 MS/s")
{
    sdrkit::BandGenerator band(9);
    sdrkit::StationSpec spec;
    spec.frequencyHz = 98500000;
    spec.left = {0, 0.3f, true};
    spec.right = {1000, 0.5f, false};
    spec.preemphasisSeconds = 50e-6f;
    spec.cnrDb = 40;
    band.AddStation(spec);
    const size_t block = sdr::FmChain::MaxBlockPairs;
    std::vector<uint8_t> iq(2 * sdr::DongleRate);
    band.Fill(iq.data(), sdr::DongleRate, spec.frequencyHz + sdr::StationOffsetHz, sdr::DongleRate);

    sdr::FmChain chain;
    std::vector<float> sound(2 * block);
    const int rounds = 10;
    size_t frames = 0;
    const auto wallStart = std::chrono::steady_clock::now();
    const double cpuStart = thread_seconds();
    for (int round = 0; round < rounds; ++round)
        for (size_t at = 0; at < sdr::DongleRate; at += block)
            frames += chain.Process(iq.data() + 2 * at, block, sound.data(), block);
    const double cpu = thread_seconds() - cpuStart;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    MESSAGE("FM chain: " << 100 * cpu / rounds << " % of one core (thread time), " << 100 * wall / rounds
                         << " % by the clock, " << rounds / wall << " x real time");
    CHECK(frames == rounds * sdr::AudioRate);
}
