#include "station_seek.h"

#include <cstdlib>

#include "sdr_rates.h"

namespace sdr {

namespace {

// The carrier-to-noise ratio in 200 kHz each level needs. Below about 10 dB
// FM is under its threshold: level 0 still stops there (a station heard
// through noise); 12 dB is above it (clean mono needs a little more); 18 dB
// is a good mono station; stereo is clean from about 26 dB. The spectrum
// reads a generated station within about 1 dB of its ratio, so stations
// 3 dB either side of a threshold are told apart reliably.
const float ThresholdsDb[StationSeek::Levels] = {6, 12, 18, 26};

int32_t clamp(int32_t value, int32_t lowest, int32_t highest)
{
    return value < lowest ? lowest : value > highest ? highest : value;
}

} // namespace

StationSeek::StationSeek(int side)
    : stationSide(side < 0 ? -1 : +1), phase(Phase::Idle), direction(+1), low(0), high(0), level(0), shown(0),
      frontier(0), candidate(0), waiting(false), lookCentre(0), lookSerial(0), serials(0), waited(0), stepsPerLook(2)
{
}

float StationSeek::ThresholdDb(int32_t wanted)
{
    return ThresholdsDb[clamp(wanted, 0, Levels - 1)];
}

void StationSeek::Reset()
{
    phase = Phase::Idle;
    waiting = false;
}

StationSeek::Answer StationSeek::Step(const Request &request, const BandRules &band, const SpectrumSnapshot &latest)
{
    const int32_t wantedDirection = request.direction > 0 ? +1 : -1;
    const int32_t tuned = clamp(request.tuned, band.low, band.high);
    if (phase == Phase::Idle || wantedDirection != direction || tuned != shown || band.low != low ||
        band.high != high)
        Begin(wantedDirection, tuned, band);
    level = clamp(request.level, 0, Levels - 1);

    if (waiting) {
        if (latest.serial == lookSerial && latest.centreHz == lookCentre) {
            waiting = false;
            stepsPerLook = waited + 1;
            if (phase == Phase::Scanning) {
                const int32_t before = frontier;
                Decide(latest);
                if (phase == Phase::Scanning && frontier == before && frontier != Edge())
                    return Finish(shown); // a look that decides nothing would be asked for forever
            } else if (Stops(latest, candidate, false)) {
                phase = Phase::Confirmed;
            } else {
                frontier = candidate;
                phase = Phase::Scanning;
            }
        } else if (++waited >= GiveUpSteps) {
            return Finish(shown);
        } else if (waited % AskAgainSteps == 0) {
            const int stillWaited = waited;
            Look(lookCentre);
            waited = stillWaited;
        }
    }
    if (phase == Phase::Scanning && !waiting && frontier != Edge() && std::abs(frontier - shown) <= LookChannels)
        Look(static_cast<uint32_t>(static_cast<int64_t>(frontier) * RasterHz + direction * int64_t{LookOffsetHz}));

    // The scale: towards what is decided, at the pace the looks come.
    const int32_t target = phase == Phase::Scanning ? frontier : candidate;
    const int32_t stride = (LookChannels + stepsPerLook - 1) / stepsPerLook;
    const int32_t gap = std::abs(target - shown);
    shown += direction * (gap < stride ? gap : stride);

    if (phase == Phase::Confirmed && shown == candidate)
        return Finish(candidate);
    if (phase == Phase::Scanning && frontier == Edge() && shown == frontier)
        return Finish(frontier);
    return {shown, direction > 0 ? SeekGoesUp : SeekGoesDown, lookCentre, lookSerial, false};
}

void StationSeek::Begin(int32_t wantedDirection, int32_t tuned, const BandRules &band)
{
    phase = Phase::Scanning;
    direction = wantedDirection;
    low = band.low;
    high = band.high;
    shown = tuned;
    frontier = tuned;
    candidate = tuned;
    waiting = false;
    waited = 0;
}

void StationSeek::Look(uint32_t centreHz)
{
    lookCentre = centreHz;
    lookSerial = ++serials == 0 ? ++serials : serials; // 0 is no look
    waiting = true;
    waited = 0;
}

void StationSeek::Decide(const SpectrumSnapshot &look)
{
    for (int32_t k = 0; k < LookChannels && frontier != Edge(); ++k) {
        const int32_t channel = frontier + direction;
        if (look.IndexOf(channel - 1) < 0 || look.IndexOf(channel + 1) < 0)
            return;
        if (Stops(look, channel, true)) {
            candidate = channel;
            phase = Phase::Confirming;
            Look(ListeningCentre(channel));
            return;
        }
        frontier = channel;
    }
}

bool StationSeek::Stops(const SpectrumSnapshot &look, int32_t channel, bool bothSides) const
{
    const int at = look.IndexOf(channel);
    if (at < 0 || look.cnrDb[at] < ThresholdDb(level))
        return false;
    const int below = look.IndexOf(channel - 1), above = look.IndexOf(channel + 1);
    if ((bothSides && (below < 0 || above < 0)) || (below < 0 && above < 0))
        return false;
    // Strictly above the lower neighbour: two equal neighbours make one stop, not two.
    if (below >= 0 && !(look.peakDb[at] > look.peakDb[below]))
        return false;
    return above < 0 || look.peakDb[at] >= look.peakDb[above];
}

uint32_t StationSeek::ListeningCentre(int32_t frequency) const
{
    return static_cast<uint32_t>(static_cast<int64_t>(frequency) * RasterHz + stationSide * int64_t{StationOffsetHz});
}

StationSeek::Answer StationSeek::Finish(int32_t frequency)
{
    const uint32_t centre = ListeningCentre(frequency);
    if (!(waiting == false && lookCentre == centre && phase == Phase::Confirmed))
        Look(centre);
    phase = Phase::Idle;
    waiting = false;
    shown = frequency;
    return {frequency, SeekStopped, lookCentre, lookSerial, true};
}

} // namespace sdr
