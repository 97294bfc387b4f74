#include "signal_generator.h"

#include <algorithm>
#include <cmath>

namespace sdrkit {

namespace {

constexpr double Turn = 4294967296.0; // one turn of a 32-bit phase
constexpr double Deviation = 75000.0;
constexpr double Pilot = 19000.0;
constexpr float AudioShare = 0.9f;    // of full deviation; the pilot takes 10 %
constexpr float PilotShare = 0.1f;
constexpr double NoiseBandwidth = 200000.0; // the carrier-to-noise ratio's bandwidth
constexpr double VisibleMargin = 100000.0;   // a station this near the band's edge is cut off by the dongle

// sin of a 32-bit phase, from a table with linear interpolation (error below 1e-6).
class SineTable {
public:
    SineTable()
    {
        for (int i = 0; i <= Size; ++i)
            values[i] = static_cast<float>(std::sin(2 * M_PI * i / Size));
    }
    float Sin(uint32_t phase) const
    {
        const uint32_t index = phase >> (32 - Bits);
        const float fraction = static_cast<float>(phase & ((1u << (32 - Bits)) - 1)) * (1.0f / (1u << (32 - Bits)));
        return values[index] + (values[index + 1] - values[index]) * fraction;
    }
    float Cos(uint32_t phase) const { return Sin(phase + 0x40000000u); }

private:
    static constexpr int Bits = 12;
    static constexpr int Size = 1 << Bits;
    float values[Size + 1];
};

const SineTable &sine()
{
    static const SineTable table;
    return table;
}

uint32_t phase_step(double hz, double rate)
{
    return static_cast<uint32_t>(static_cast<int64_t>(std::llround(hz / rate * Turn)));
}

// A noise-like programme that ends at 15 kHz exactly, as a broadcaster's
// stereo encoder limits it: many tones of unrelated phases spread over the
// band. A filtered white noise would leave, after the pre-emphasis, enough
// above 15 kHz to reach the pilot's and RDS's bands. The tones are
// harmonics of 5 Hz, stepped as exact multiples of one phase step, so the
// programme repeats and its true peak can be found once.
constexpr int NoiseTones = 32;
constexpr double NoiseLowHz = 60.0;
constexpr double NoiseHighHz = 14800.0;
constexpr double NoiseBaseHz = 5.0;
// The peak is searched over one period at this many points (about 40 to the
// highest tone's cycle); what lies between them is covered by the margin.
constexpr int PeakSearchBits = 17;
constexpr double PeakMargin = 0.99;

} // namespace

// One station's transmitter: its oscillators keep running across calls.
struct BandGenerator::Transmitter {
    StationSpec spec;
    RdsEncoder encoder;
    RdsWaveform waveform{encoder};
    uint32_t carrier = 0;
    uint32_t pilot = 0;
    uint32_t tone[2] = {0, 0};
    double bits = 0;
    // A noise side's tones: their harmonics of NoiseBaseHz, where they are, and their pre-emphasised peaks and phases.
    uint32_t noiseHarmonic[2][NoiseTones] = {};
    uint32_t noisePhase[2][NoiseTones] = {};
    float noiseGain[2][NoiseTones] = {};
    uint32_t noiseLead[2][NoiseTones] = {};
    // Derived from the station's settings: a tone's pre-emphasised peak and phase.
    float toneGain[2] = {0, 0};
    uint32_t toneLead[2] = {0, 0};

    void Derive()
    {
        const AudioSpec *sides[2] = {&spec.left, &spec.right};
        for (int s = 0; s < 2; ++s) {
            // A broadcaster's pre-emphasis, 1 + j w tau, exactly for a tone.
            const double w = 2 * M_PI * sides[s]->toneHz * spec.preemphasisSeconds;
            toneGain[s] = static_cast<float>(sides[s]->amplitude * std::sqrt(1 + w * w));
            toneLead[s] = static_cast<uint32_t>(std::atan(w) / (2 * M_PI) * Turn);
            // Tones as many to each octave (a pink programme, like music's) at
            // slightly uneven frequencies, equal as sent: a broadcaster's
            // processing holds the pre-emphasised treble to the level of the
            // rest, so what a listener hears after de-emphasis falls off above
            // a few kHz, as music does. The side's RMS is that of the sum as sent.
            uint32_t below = 0;
            for (int k = 0; k < NoiseTones; ++k) {
                const double spread = (k + 0.5 + 0.3 * std::sin(7.3 * k + s)) / NoiseTones;
                const double hz = NoiseLowHz * std::pow(NoiseHighHz / NoiseLowHz, spread);
                noiseHarmonic[s][k] = std::max(below + 1, static_cast<uint32_t>(std::lround(hz / NoiseBaseHz)));
                below = noiseHarmonic[s][k];
                const double wk = 2 * M_PI * noiseHarmonic[s][k] * NoiseBaseHz * spec.preemphasisSeconds;
                noiseGain[s][k] = static_cast<float>(sides[s]->amplitude * std::sqrt(2.0 / NoiseTones));
                noiseLead[s][k] = static_cast<uint32_t>(std::atan(wk) / (2 * M_PI) * Turn);
                if (noisePhase[s][k] == 0)
                    noisePhase[s][k] = static_cast<uint32_t>(0x9E3779B9u * static_cast<uint32_t>(k + 1 + 97 * s));
            }
            if (sides[s]->noise)
                LimitNoise(s);
        }
        if (spec.rds)
            encoder.SetProgramme(spec.programme);
    }

    // A broadcaster's limiter keeps the programme as sent within full
    // modulation (75 kHz with the pilot), whatever was asked of it: the peaks
    // of a loud programme's many tones would otherwise swing the carrier far
    // past it and spill into the neighbouring channels.
    // The tones keep their balance; the side is turned down as a whole.
    void LimitNoise(int s)
    {
        const SineTable &table = sine();
        float peak = 0;
        for (uint32_t j = 0; j < (1u << PeakSearchBits); ++j) {
            const uint32_t theta = j << (32 - PeakSearchBits);
            float sum = 0;
            for (int k = 0; k < NoiseTones; ++k)
                sum += noiseGain[s][k] * table.Sin(noisePhase[s][k] + noiseLead[s][k] + noiseHarmonic[s][k] * theta);
            peak = std::max(peak, std::fabs(sum));
        }
        if (peak <= PeakMargin)
            return;
        const float scale = static_cast<float>(PeakMargin) / peak;
        for (int k = 0; k < NoiseTones; ++k)
            noiseGain[s][k] *= scale;
    }
};

BandGenerator::BandGenerator(uint64_t seed)
    : transmitters{}, count(0), random(seed ? seed : 1), spareGaussian(0), haveSpare(false), dcI(1.0f), dcQ(-0.6f),
      level(0.3f), seconds(0)
{
}

BandGenerator::~BandGenerator()
{
    for (int i = 0; i < count; ++i)
        delete transmitters[i];
}

int BandGenerator::AddStation(const StationSpec &spec)
{
    if (count == MaxStations)
        return -1;
    Transmitter *transmitter = new Transmitter;
    transmitter->spec = spec;
    // Stations start at unrelated phases, as on the air.
    transmitter->pilot = static_cast<uint32_t>(0x9E3779B9u * static_cast<uint32_t>(count + 1));
    transmitter->carrier = transmitter->pilot * 7u;
    transmitter->Derive();
    transmitters[count] = transmitter;
    return count++;
}

void BandGenerator::Update(int index, const StationSpec &spec)
{
    if (index < 0 || index >= count)
        return;
    transmitters[index]->spec = spec;
    transmitters[index]->Derive();
}

const StationSpec &BandGenerator::Station(int index) const
{
    return transmitters[index]->spec;
}

void BandGenerator::SetDcOffset(float i, float q)
{
    dcI = i;
    dcQ = q;
}

void BandGenerator::SetLevel(float rms)
{
    level = rms;
}

float BandGenerator::NextGaussian()
{
    if (haveSpare) {
        haveSpare = false;
        return spareGaussian;
    }
    // xorshift64*, then Box-Muller.
    auto next = [this] {
        random ^= random >> 12;
        random ^= random << 25;
        random ^= random >> 27;
        return (random * 0x2545F4914F6CDD1Dull) >> 11; // 53 bits
    };
    const double u1 = (static_cast<double>(next()) + 1) / 9007199254740993.0;
    const double u2 = static_cast<double>(next()) / 9007199254740992.0;
    const double radius = std::sqrt(-2 * std::log(u1));
    const uint32_t angle = static_cast<uint32_t>(u2 * Turn);
    spareGaussian = static_cast<float>(radius * sine().Sin(angle));
    haveSpare = true;
    return static_cast<float>(radius * sine().Cos(angle));
}

void BandGenerator::Fill(uint8_t *iq, size_t pairs, uint32_t centreHz, uint32_t rateHz)
{
    const double rate = rateHz;
    const SineTable &table = sine();

    // Which stations the dongle sees, and the gain that puts the whole at `level`.
    // Powers are relative to the noise in 200 kHz.
    Transmitter *visible[MaxStations];
    float amplitude[MaxStations];
    double offset[MaxStations];
    int seen = 0;
    const double noisePower = rate / NoiseBandwidth;
    double total = noisePower;
    for (int i = 0; i < count; ++i) {
        Transmitter *t = transmitters[i];
        const double away = static_cast<double>(t->spec.frequencyHz) - centreHz;
        if (std::fabs(away) > rate / 2 - VisibleMargin)
            continue;
        const double power = std::pow(10.0, t->spec.cnrDb / 10.0);
        total += power;
        visible[seen] = t;
        amplitude[seen] = static_cast<float>(std::sqrt(power));
        offset[seen] = away;
        ++seen;
    }
    const float gain = static_cast<float>(level / std::sqrt(total));
    const float noiseSigma = static_cast<float>(std::sqrt(noisePower / 2)) * gain;
    for (int v = 0; v < seen; ++v)
        amplitude[v] *= gain;
    const uint32_t noiseStep = phase_step(NoiseBaseHz, rate);

    for (size_t n = 0; n < pairs; ++n) {
        float sumI = noiseSigma * NextGaussian();
        float sumQ = noiseSigma * NextGaussian();
        for (int v = 0; v < seen; ++v) {
            Transmitter &t = *visible[v];
            const StationSpec &spec = t.spec;
            const AudioSpec *sides[2] = {&spec.left, &spec.right};
            float audio[2];
            for (int s = 0; s < 2; ++s) {
                if (sides[s]->noise) {
                    float sum = 0;
                    for (int k = 0; k < NoiseTones; ++k) {
                        sum += t.noiseGain[s][k] * table.Sin(t.noisePhase[s][k] + t.noiseLead[s][k]);
                        t.noisePhase[s][k] += t.noiseHarmonic[s][k] * noiseStep;
                    }
                    audio[s] = sum;
                } else if (sides[s]->amplitude != 0) {
                    audio[s] = t.toneGain[s] * table.Sin(t.tone[s] + t.toneLead[s]);
                    t.tone[s] += phase_step(sides[s]->toneHz, rate);
                } else {
                    audio[s] = 0;
                }
            }
            const float mono = (audio[0] + audio[1]) / 2;
            float mpx = AudioShare * mono;
            if (spec.stereo)
                mpx += AudioShare * (audio[0] - audio[1]) / 2 * table.Sin(2 * t.pilot) + PilotShare * table.Sin(t.pilot);
            if (spec.rds) {
                // The RDS clock is the pilot's: a bit is 16 of its cycles.
                const float carrier = spec.rdsQuadrature ? table.Cos(3 * t.pilot) : table.Sin(3 * t.pilot);
                mpx += spec.rdsInjection * t.waveform.At(t.bits) * carrier;
            }
            const double pilotHz = Pilot + spec.pilotOffsetHz;
            t.pilot += phase_step(pilotHz, rate);
            t.bits += pilotHz / 16 / rate;
            sumI += amplitude[v] * table.Cos(t.carrier);
            sumQ += amplitude[v] * table.Sin(t.carrier);
            t.carrier += phase_step(offset[v] + Deviation * mpx, rate);
        }
        auto quantise = [](float x, float dc) {
            const float value = std::nearbyint(x * 127.5f + 127.5f + dc);
            return static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
        };
        iq[2 * n] = quantise(sumI, dcI);
        iq[2 * n + 1] = quantise(sumQ, dcQ);
    }
    seconds += static_cast<double>(pairs) / rate;
}

} // namespace sdrkit
