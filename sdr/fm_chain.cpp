#include "fm_chain.h"

#include <atomic>
#include <cstring>

#include "chain_filters.h"
#include "deemphasis.h"
#include "fir_design.h"
#include "fm_discriminator.h"
#include "pair_decimator.h"
#include "phase_table.h"
#include "pilot_loop.h"
#include "quarter_rate_input.h"
#include "quieting_meter.h"
#include "sdr_rates.h"
#include "stereo_blend.h"
#include "stereo_decoder.h"

namespace sdr {

namespace {

// The channel rate's stretch after which the blend looks at the lamp and the
// quality again; fixed in the signal's time, so that the sound does not
// depend on how the input is cut into calls.
constexpr size_t SegmentSamples = 480; // 2 ms
constexpr size_t MaxChannelSamples = FmChain::MaxBlockPairs / ChannelDecimation + 1;
constexpr size_t MaxSegmentFrames = SegmentSamples / AudioDecimation + 1;

// A filter's taps laid out whole, for a decimator to copy.
struct Expanded {
    float values[SymmetricTaps::MaxCount];
    explicit Expanded(const SymmetricTaps &taps) { taps.Expand(values); }
};

// The channel filter, at the dongle's rate before the step to 240 kS/s:
// flat to 105 kHz (a stereo station's sidebands reach past 100 kHz at full
// deviation; cutting them costs separation and reads as noise to the
// quieting meter), 14 dB down at 120 kHz and 60 dB from 126 kHz. A neighbour
// 200 kHz away swings to within 125 kHz of the station at full deviation:
// 20 dB stronger, what a gentler slope let through took the sound over.
// Designed once when the chain is made.
constexpr size_t ChannelTaps = 200;
constexpr double ChannelCutoffHz = 116000.0;
constexpr double ChannelBeta = 5.5;

struct ChannelLowPass {
    float values[ChannelTaps];
    ChannelLowPass() { design_low_pass(values, ChannelTaps, ChannelCutoffHz / DongleRate, ChannelBeta); }
};

} // namespace

struct FmChain::State {
    State();

    ChainSettings settings;
    MpxListener *listener = nullptr;

    PhaseTable table;
    QuarterRateInput input;
    PairDecimator channel;
    FmDiscriminator discriminator;
    PilotLoop pilot;
    StereoDecoder decoder;
    PairDecimator audio;
    QuietingMeter quieting;
    StereoBlend blend;
    Deemphasis deemphasis;

    size_t segmentAt = 0; // samples into the current segment
    // The channel's I/Q, after the last block's final pair (the discriminator's start).
    float channelSamples[2 * (MaxChannelSamples + 1)];
    float mpx[MaxChannelSamples];
    uint32_t phases[MaxChannelSamples];
    float sumAndDifference[2 * MaxSegmentFrames];
    float frames[2 * MaxSegmentFrames];

    // What the chain shows, readable from any thread.
    std::atomic<bool> stereo{false};
    std::atomic<float> share{0};
    std::atomic<float> quietingDb{0};

    void Reset();
    size_t Segment(const float *channelIq, float *mpxOut, uint32_t *phaseOut, size_t count, float *out, size_t room);
    void Publish();
};

FmChain::State::State()
    : channel(ChannelLowPass().values, ChannelTaps, ChannelDecimation, MaxBlockPairs),
      discriminator(ChannelRate), pilot(table, ChannelRate), decoder(table, ChannelRate),
      audio(Expanded(AudioLowPass).values, AudioLowPass.count, AudioDecimation, SegmentSamples),
      quieting(ChannelRate), blend(AudioRate), deemphasis(AudioRate, ChannelRate)
{
    deemphasis.SetTime(settings.deemphasisSeconds);
    Reset();
}

void FmChain::State::Reset()
{
    input.Reset();
    channel.Reset();
    channelSamples[0] = channelSamples[1] = 0;
    pilot.Reset();
    audio.Reset();
    quieting.Reset();
    blend.Reset();
    deemphasis.Reset();
    segmentAt = 0;
    Publish();
}

void FmChain::State::Publish()
{
    stereo.store(pilot.Stereo(), std::memory_order_relaxed);
    share.store(blend.Share(), std::memory_order_relaxed);
    quietingDb.store(quieting.Db(), std::memory_order_relaxed);
}

// One segment's stretch of the channel (at most to its end): demodulated,
// decoded, filtered to 48 kHz, blended, de-emphasised. Returns the frames
// written to `out` (at most `room`).
size_t FmChain::State::Segment(const float *channelIq, float *mpxOut, uint32_t *phaseOut, size_t count, float *out,
                               size_t room)
{
    if (segmentAt == 0)
        blend.Steer(pilot.Stereo(), quieting.Db(), settings.blend, settings.forcedMono);
    discriminator.Run(channelIq, count, mpxOut);
    pilot.Run(mpxOut, count, phaseOut);
    decoder.Run(mpxOut, phaseOut, count, audio.Input());
    const size_t made = audio.Run(count, sumAndDifference);
    for (size_t k = 0; k < made; ++k) {
        const float m = sumAndDifference[2 * k];
        const float s = sumAndDifference[2 * k + 1] * blend.Next();
        frames[2 * k] = m + s;
        frames[2 * k + 1] = m - s;
    }
    deemphasis.Run(frames, made);
    const size_t kept = made < room ? made : room;
    if (kept > 0)
        std::memcpy(out, frames, 2 * kept * sizeof(float));
    // The quality is read at the next segment's start, after this one's sound.
    quieting.Run(mpxOut, count);
    segmentAt = (segmentAt + count) % SegmentSamples;
    return kept;
}

FmChain::FmChain() : state(new State)
{
}

FmChain::~FmChain()
{
    delete state;
}

void FmChain::Configure(const ChainSettings &settings)
{
    state->settings = settings;
    state->input.SetStationSide(settings.stationSide);
    state->deemphasis.SetTime(settings.deemphasisSeconds);
}

void FmChain::Reset()
{
    state->Reset();
}

void FmChain::SetMpxListener(MpxListener *listener)
{
    state->listener = listener;
}

size_t FmChain::Process(const uint8_t *iq, size_t pairs, float *stereo, size_t maxFrames)
{
    State &s = *state;
    size_t written = 0;
    while (pairs > 0) {
        const size_t take = pairs < MaxBlockPairs ? pairs : MaxBlockPairs;
        s.input.Convert(iq, take, s.channel.Input());
        const size_t samples = s.channel.Run(take, s.channelSamples + 2);
        for (size_t done = 0; done < samples;) {
            size_t count = SegmentSamples - s.segmentAt;
            count = count < samples - done ? count : samples - done;
            written += s.Segment(s.channelSamples + 2 + 2 * done, s.mpx + done, s.phases + done, count,
                                 stereo + 2 * written, maxFrames - written);
            done += count;
        }
        // The discriminator's next block starts from this one's last sample.
        s.channelSamples[0] = s.channelSamples[2 * samples];
        s.channelSamples[1] = s.channelSamples[2 * samples + 1];
        if (s.listener && samples > 0)
            s.listener->OnMpx(s.mpx, s.phases, samples);
        iq += 2 * take;
        pairs -= take;
    }
    s.Publish();
    return written;
}

bool FmChain::Stereo() const
{
    return state->stereo.load(std::memory_order_relaxed);
}

float FmChain::StereoShare() const
{
    return state->share.load(std::memory_order_relaxed);
}

float FmChain::QuietingDb() const
{
    return state->quietingDb.load(std::memory_order_relaxed);
}

} // namespace sdr
