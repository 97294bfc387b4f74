// What the spectrum costs on the signal thread: a second of a band with
// three stations, generated once, through the spectrum at the listening pace
// (all the time) and at the searching pace (only during a search). Prints the
// share of one core by the thread's own time; never fails on it.
#include <doctest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "seek_fixture.h"
#include "thread_time.h"

using seektest::Programme;
using seektest::station;

TEST_CASE("benchmark: the spectrum's share of one core at 1.2 MS/s")
{
    sdrkit::BandGenerator band(23);
    band.AddStation(station(984, 40, Programme::Music));
    band.AddStation(station(986, 20, Programme::LeftTone));
    band.AddStation(station(981, 12, Programme::FullTone));
    std::vector<uint8_t> iq(2 * sdr::DongleRate);
    band.Fill(iq.data(), sdr::DongleRate, 984 * sdr::RasterHz + sdr::StationOffsetHz, sdr::DongleRate);
    std::unique_ptr<sdr::Spectrum> spectrum(new sdr::Spectrum);
    spectrum->NewCentre(984 * sdr::RasterHz + sdr::StationOffsetHz, 1);

    // The signal thread's 10 ms blocks; while searching, a new centre every 100 ms.
    // Rounds enough for Windows' thread clock, which ticks every 16 ms.
    const size_t block = sdr::DongleRate / 100;
    const struct {
        std::string name;
        sdr::SpectrumPace pace;
        int rounds;
        size_t expected; // snapshots in all: 2.5 a second, or one for each new centre
    } paces[] = {{"listening", sdr::ListeningPace, 400, 1000}, {"searching", sdr::SearchingPace, 50, 500}};
    for (const auto &run : paces) {
        spectrum->SetPace(run.pace);
        size_t snapshots = 0;
        const double start = sdrtest::thread_seconds();
        for (int round = 0; round < run.rounds; ++round)
            for (size_t at = 0; at < sdr::DongleRate; at += block) {
                if (run.pace.restPairs > 0 && at % seektest::StepPairs == 0)
                    spectrum->NewCentre(984 * sdr::RasterHz + sdr::StationOffsetHz, static_cast<uint32_t>(at + 1));
                snapshots += spectrum->Process(iq.data() + 2 * at, block);
            }
        const double seconds = (sdrtest::thread_seconds() - start) / run.rounds;
        const double transforms = static_cast<double>(snapshots * run.pace.framesPerSnapshot) / run.rounds;
        MESSAGE("spectrum while " << run.name << ": " << 100 * seconds << " % of one core (" << transforms
                                  << " transforms a second, " << 1e6 * seconds / transforms << " us each)");
        CHECK(snapshots == run.expected);
    }
}
