// The station search's world in simulated time: a generated band, and a
// receiver that follows the search's wishes as the glue will (retunes whose
// first samples still come from the old centre, the spectrum told where the
// new centre's samples begin, snapshots handed over through a Seqlock), with
// the radio's 100 ms between steps counted in samples, not waited for.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "band_rules.h"
#include "sdr_rates.h"
#include "seqlock.h"
#include "signal_generator.h"
#include "spectrum.h"
#include "station_seek.h"

namespace seektest {

constexpr size_t StepPairs = sdr::DongleRate / 10; // the radio's 100 ms between steps

// What a station broadcasts, from the narrowest spectrum to the widest.
enum class Programme { Silence, Music, FullTone, LeftTone };

inline sdrkit::StationSpec station(int32_t frequency, float cnrDb, Programme programme = Programme::Music)
{
    sdrkit::StationSpec spec;
    spec.frequencyHz = static_cast<uint32_t>(frequency) * sdr::RasterHz;
    spec.cnrDb = cnrDb;
    spec.rds = true;
    spec.programme.pi = static_cast<uint16_t>(0x1000 + frequency);
    switch (programme) {
    case Programme::Silence:
        break;
    case Programme::Music: // noise-like, as loud as music is on average, pre-emphasised
        spec.left = {0, 0.3f, true};
        spec.right = {0, 0.3f, true};
        spec.preemphasisSeconds = 50e-6f;
        break;
    case Programme::FullTone: // mono, the whole deviation
        spec.left = spec.right = {1000, 1.0f, false};
        spec.stereo = false;
        spec.rds = false;
        break;
    case Programme::LeftTone: // the stereo subcarrier at its fullest
        spec.left = {1000, 1.0f, false};
        break;
    }
    return spec;
}

// The receiver's signal thread and the glue around it.
class SimulatedReceiver {
public:
    // latencyPairs: how many samples after a retune still come from the old centre.
    explicit SimulatedReceiver(size_t latencyPairs = StepPairs / 2, uint64_t seed = 3)
        : band(seed), spectrum(new sdr::Spectrum), latency(latencyPairs), iq(2 * StepPairs)
    {
    }

    sdrkit::BandGenerator band;
    std::unique_ptr<sdr::Spectrum> spectrum;
    sdr::Seqlock<sdr::SpectrumSnapshot> published;
    uint32_t centreHz = 0; // of the samples being produced
    uint64_t snapshots = 0;
    uint64_t pairsGenerated = 0;

    // The search's wish, as the glue takes it after every step.
    void Follow(const sdr::StationSeek::Answer &answer)
    {
        spectrum->SetPace(answer.continues != sdr::SeekStopped ? sdr::SearchingPace : sdr::ListeningPace);
        if (answer.serial == wantedSerial)
            return;
        wantedSerial = answer.serial;
        wantedCentre = answer.centreHz;
        inFlight = latency;
    }
    // The latest snapshot, as the radio's thread reads it.
    sdr::SpectrumSnapshot Latest() const
    {
        sdr::SpectrumSnapshot snapshot;
        published.Read(snapshot);
        return snapshot;
    }
    // One step's worth of samples. Only what the search can see is generated:
    // the last samples before a switch (so the spectrum has an old frame
    // under way), and the new centre's samples until its snapshot.
    void Run(size_t pairs = StepPairs)
    {
        while (pairs > 0) {
            if (inFlight > 0) {
                const size_t old = inFlight < pairs ? inFlight : pairs;
                const size_t tail = sdr::Spectrum::Size / 2;
                if (centreHz != 0 && inFlight - old < tail)
                    Feed(tail - (inFlight - old) < old ? tail - (inFlight - old) : old);
                inFlight -= old;
                pairs -= old;
                if (inFlight == 0) {
                    centreHz = wantedCentre;
                    spectrum->NewCentre(centreHz, wantedSerial);
                    answered = false;
                }
            } else if (answered || centreHz == 0) {
                return; // more samples of this centre tell the search nothing new
            } else {
                const size_t n = pairs < sdr::Spectrum::Size ? pairs : sdr::Spectrum::Size;
                Feed(n);
                pairs -= n;
            }
        }
    }

private:
    void Feed(size_t pairs)
    {
        band.Fill(iq.data(), pairs, centreHz, sdr::DongleRate);
        pairsGenerated += pairs;
        if (spectrum->Process(iq.data(), pairs) > 0) {
            published.Publish(spectrum->Latest());
            ++snapshots;
            answered = spectrum->Latest().serial == wantedSerial;
        }
    }

    size_t latency;
    std::vector<uint8_t> iq;
    uint32_t wantedCentre = 0;
    uint32_t wantedSerial = 0;
    size_t inFlight = 0;
    bool answered = false;
};

// One search as the radio runs it: a step, the scale set to the answer, and
// 100 ms later the next step in the direction the answer names.
struct Search {
    int32_t stop = 0;
    int steps = 0;
    bool steady = true;     // the scale only ever moved onward, at most a look's channels a step
    bool waitedStill = true; // until the first look came, the scale stayed where the search began
};

inline Search search(sdr::StationSeek &seek, SimulatedReceiver &receiver, const sdr::BandRules &band, int32_t from,
                     int32_t direction, int32_t level, int maxSteps = 1000)
{
    Search result;
    int32_t tuned = from;
    const uint64_t snapshotsBefore = receiver.snapshots;
    for (; result.steps < maxSteps;) {
        const sdr::StationSeek::Answer answer = seek.Step({direction, tuned, level}, band, receiver.Latest());
        ++result.steps;
        const int32_t moved = (answer.frequency - tuned) * (direction > 0 ? 1 : -1);
        if (moved < 0 || moved > sdr::StationSeek::LookChannels)
            result.steady = false;
        if (receiver.snapshots == snapshotsBefore && answer.frequency != from)
            result.waitedStill = false;
        receiver.Follow(answer);
        tuned = answer.frequency;
        if (answer.continues == sdr::SeekStopped) {
            result.stop = tuned;
            return result;
        }
        direction = answer.continues == sdr::SeekGoesUp ? +1 : -1;
        receiver.Run();
    }
    result.stop = -1;
    return result;
}

// Every stop of successive searches from `from` in one direction, as the
// station scan collects them, up to and including the band's edge.
inline std::vector<int32_t> scan(sdr::StationSeek &seek, SimulatedReceiver &receiver, const sdr::BandRules &band,
                                 int32_t from, int32_t direction, int32_t level, int *steps = nullptr)
{
    std::vector<int32_t> stops;
    const int32_t edge = direction > 0 ? band.high : band.low;
    int32_t at = from;
    while (at != edge && stops.size() < 64) {
        const Search one = search(seek, receiver, band, at, direction, level);
        if (steps)
            *steps += one.steps;
        if (!one.steady || one.stop < 0)
            return {-1};
        stops.push_back(one.stop);
        at = one.stop;
    }
    return stops;
}

} // namespace seektest
