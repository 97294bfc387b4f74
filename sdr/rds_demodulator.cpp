#include "rds_demodulator.h"

#include <cmath>
#include <cstring>

#include "sdr_rates.h"

namespace sdr {

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr double BitRate = 1187.5; // 57 kHz / 48
constexpr int SubcarrierDecimation = 10; // 240 -> 24 kS/s
constexpr int MatchedDecimation = 2;  // 24 -> 12 kS/s
constexpr double NarrowRate = static_cast<double>(ChannelRate) / SubcarrierDecimation;
constexpr double SymbolRate = NarrowRate / MatchedDecimation;
constexpr double SamplesPerBit = SymbolRate / BitRate; // 10.1 at 12 kS/s

// 240 -> 24 kS/s: 40 taps, flat to 2.4 kHz, 68 dB down from 21.6 kHz on
// (what would fold onto the RDS band: the stereo part's lower side).
constexpr int ChannelTaps = 40;
constexpr double ChannelCutoffHz = 6000;
// The matched filter spans a bit either side; the biphase pulse has decayed
// by then, and its stop band (the stereo part's upper side, 4 kHz and more
// away) stays 75 dB down.
constexpr int MatchedTaps = 41;

// The Costas loop is wide to find the carrier fast, narrow to hold it
// through noise once blocks come in sync: a second order loop of noise
// bandwidth `hertz` at the 12 kS/s rate, damping 0.707, for a detector of gain 1.
struct CarrierGains {
    float proportional;
    float integral;
};

constexpr CarrierGains carrier_gains(double hertz)
{
    const double damping = 0.707;
    const double theta = hertz / SymbolRate / (damping + 1 / (4 * damping));
    const double d = 1 + 2 * damping * theta + theta * theta;
    return {static_cast<float>(4 * damping * theta / d), static_cast<float>(4 * theta * theta / d)};
}

constexpr CarrierGains CarrierSearching = carrier_gains(40);
constexpr CarrierGains CarrierHolding = carrier_gains(10);

// The timing's average starts as a plain mean and settles to a moving one
// over this many bits: short while searching, long once in sync.
constexpr float TimingBitsSearching = 40;
constexpr float TimingBitsHolding = 200;

// The impulse response of the RDS shaping filter cos(pi f td / 4) (0 from
// 2/td on), with t in bit periods.
double shaping_impulse(double t)
{
    const double denominator = (Pi / 4) * (Pi / 4) - (2 * Pi * t) * (2 * Pi * t);
    if (std::fabs(denominator) < 1e-9)
        return 2 * Pi;
    return (Pi / 2) * std::cos(4 * Pi * t) / denominator;
}

float clamp(float value, float limit)
{
    return value > limit ? limit : value < -limit ? -limit : value;
}

} // namespace

ComplexDecimator::ComplexDecimator() : pairedTaps{}, length(2), factor(1), countdown(1), line{} {}

void ComplexDecimator::Design(const float *taps, int count, int decimation)
{
    // An even length, so the products go four at a time; the spare tap is the oldest.
    length = (count + 1) & ~1;
    const int spare = length - count;
    for (int k = 0; k < length; ++k) {
        const float tap = k < spare ? 0.0f : taps[k - spare];
        pairedTaps[2 * k] = tap;
        pairedTaps[2 * k + 1] = tap;
    }
    factor = decimation;
    Reset();
}

void ComplexDecimator::Reset()
{
    std::memset(line, 0, sizeof line);
    countdown = static_cast<size_t>(factor);
}

size_t ComplexDecimator::Filter(const float *in, size_t count, float *out)
{
    const size_t history = static_cast<size_t>(length - 1);
    std::memcpy(line + 2 * history, in, 2 * count * sizeof(float));
    size_t written = 0;
    size_t i = countdown - 1; // the input that completes the next output
    for (; i < count; i += static_cast<size_t>(factor)) {
        const float *x = line + 2 * i;
        float sum[4] = {0, 0, 0, 0};
        for (int k = 0; k < 2 * length; k += 4) {
            sum[0] += pairedTaps[k] * x[k];
            sum[1] += pairedTaps[k + 1] * x[k + 1];
            sum[2] += pairedTaps[k + 2] * x[k + 2];
            sum[3] += pairedTaps[k + 3] * x[k + 3];
        }
        out[2 * written] = sum[0] + sum[2];
        out[2 * written + 1] = sum[1] + sum[3];
        ++written;
    }
    countdown = i - count + 1;
    std::memmove(line, line + 2 * count, 2 * history * sizeof(float));
    return written;
}

RdsDemodulator::RdsDemodulator()
{
    for (int i = 0; i < TableSize; ++i) {
        const double angle = 2 * Pi * i / TableSize;
        cosine[i] = static_cast<float>(std::cos(angle));
        sine[i] = static_cast<float>(std::sin(angle));
    }

    float taps[ComplexDecimator::MaxTaps];
    // Low-pass: a Blackman-windowed sinc.
    double sum = 0;
    for (int k = 0; k < ChannelTaps; ++k) {
        const double t = k - (ChannelTaps - 1) / 2.0;
        const double x = 2 * ChannelCutoffHz / ChannelRate * t;
        const double sinc = x == 0 ? 1 : std::sin(Pi * x) / (Pi * x);
        const double w = 2 * Pi * (k + 1) / (ChannelTaps + 1);
        const double window = 0.42 - 0.5 * std::cos(w) + 0.08 * std::cos(2 * w);
        taps[k] = static_cast<float>(sinc * window);
        sum += taps[k];
    }
    for (int k = 0; k < ChannelTaps; ++k)
        taps[k] = static_cast<float>(taps[k] / sum);
    channel.Design(taps, ChannelTaps, SubcarrierDecimation);

    // Matched filter: one bit's biphase pulse (the shaped impulse and its
    // negative half a bit later), in time order, Hann-windowed.
    const double perBit = NarrowRate / BitRate;
    double energy = 0;
    for (int k = 0; k < MatchedTaps; ++k) {
        const double t = (k - (MatchedTaps - 1) / 2.0) / perBit;
        const double window = 0.5 - 0.5 * std::cos(2 * Pi * (k + 1) / (MatchedTaps + 1));
        taps[k] = static_cast<float>((shaping_impulse(t + 0.25) - shaping_impulse(t - 0.25)) * window);
        energy += static_cast<double>(taps[k]) * taps[k];
    }
    for (int k = 0; k < MatchedTaps; ++k)
        taps[k] = static_cast<float>(taps[k] / std::sqrt(energy));
    matched.Design(taps, MatchedTaps, MatchedDecimation);

    Reset();
}

void RdsDemodulator::Reset()
{
    channel.Reset();
    matched.Reset();
    tracking = false;
    // Half way between in phase and in quadrature, both a quick step from here.
    carrierPhase = 1u << 29;
    carrierStep = 0;
    carrierPower = 0;
    clock = 0;
    lineRe = lineIm = 0;
    samplesSeen = 0;
    peakReading = 0;
    std::memset(recent, 0, sizeof recent);
    sinceBit = 0;
    bitPower = 0;
    lastChannelBit = 0;
}

void RdsDemodulator::SetTracking(bool holding)
{
    tracking = holding;
}

size_t RdsDemodulator::Process(const float *mpx, const uint32_t *pilotPhase, size_t count, RdsBit bits[MaxBits])
{
    if (count > MaxSamples)
        count = MaxSamples;
    // Down by 57 kHz: three times the pilot's phase.
    constexpr int Shift = 32 - TableBits;
    for (size_t i = 0; i < count; ++i) {
        const uint32_t index = (3u * pilotPhase[i]) >> Shift;
        // What is not a number, or far beyond full scale, counts as silence:
        // no loop may run away on it.
        const float value = std::fabs(mpx[i]) < 1e6f ? mpx[i] : 0.0f;
        mixed[2 * i] = value * cosine[index];
        mixed[2 * i + 1] = -value * sine[index];
    }
    const size_t narrowCount = channel.Filter(mixed, count, narrow);
    const size_t symbolCount = matched.Filter(narrow, narrowCount, symbols);

    const CarrierGains &gains = tracking ? CarrierHolding : CarrierSearching;
    constexpr float TurnPerRadian = static_cast<float>(4294967296.0 / (2 * Pi));
    constexpr float MaxStep = static_cast<float>(2 * Pi * 20 / SymbolRate); // 20 Hz
    size_t found = 0;
    for (size_t n = 0; n < symbolCount; ++n) {
        // The Costas loop: BPSK puts I x Q at sin(2 phase error) / 2 of the power.
        const uint32_t index = carrierPhase >> Shift;
        const float c = cosine[index], s = sine[index];
        const float i = symbols[2 * n], q = symbols[2 * n + 1];
        const float re = i * c + q * s;
        const float im = q * c - i * s;
        // (The powers' averages never sink to denormal numbers in silence.)
        carrierPower += (re * re + im * im + 1e-20f - carrierPower) * 0.002f;
        const float error = clamp(re * im / (carrierPower + 1e-30f), 1.0f);
        carrierStep = clamp(carrierStep + gains.integral * error, MaxStep);
        const float turn = (gains.proportional * error + carrierStep) * TurnPerRadian;
        carrierPhase += static_cast<uint32_t>(static_cast<int32_t>(turn));
        Track(re, i * i + q * q + 1e-20f, bits, found);
    }
    return found;
}

void RdsDemodulator::Track(float re, float power, RdsBit bits[], size_t &found)
{
    // The matched filter's power peaks once a bit, at the bit's centre
    // (half way between, it peaks only when two bits agree): its line at
    // the bit rate tells the clock's reading at the peaks, whatever the
    // carrier's phase, and a mean over many bits holds it through noise.
    constexpr double ClockStep = 4294967296.0 / SamplesPerBit;
    constexpr int Shift = 32 - TableBits;
    clock += static_cast<uint32_t>(ClockStep);
    const float floor = 1.0f / static_cast<float>(SamplesPerBit) /
                        (tracking ? TimingBitsHolding : TimingBitsSearching);
    if (samplesSeen < 1000000)
        ++samplesSeen;
    const float mean = 1.0f / static_cast<float>(samplesSeen);
    const float weight = mean > floor ? mean : floor;
    lineRe += (power * cosine[clock >> Shift] - lineRe) * weight;
    lineIm += (-power * sine[clock >> Shift] - lineIm) * weight;

    recent[0] = recent[1];
    recent[1] = recent[2];
    recent[2] = recent[3];
    recent[3] = re;
    // Is the peak between recent[1] and recent[2]? (Not again when the
    // reading has just moved on past the samples.)
    ++sinceBit;
    const uint32_t toPeak = peakReading - (clock - 2 * static_cast<uint32_t>(ClockStep));
    if (toPeak >= static_cast<uint32_t>(ClockStep) || sinceBit < SamplesPerBit / 2)
        return;
    sinceBit = 0;
    const float mu = static_cast<float>(toPeak / ClockStep);
    const float p0 = recent[0], p1 = recent[1], p2 = recent[2], p3 = recent[3];
    const float value =
        p1 + 0.5f * mu * (p2 - p0 + mu * (2 * p0 - 5 * p1 + 4 * p2 - p3 + mu * (3 * (p1 - p2) + p3 - p0)));
    // The next peak, from the line's angle.
    const double angle = -std::atan2(static_cast<double>(lineIm), static_cast<double>(lineRe));
    peakReading = static_cast<uint32_t>(static_cast<int64_t>(angle / (2 * Pi) * 4294967296.0));

    bitPower += (value * value + 1e-20f - bitPower) * 0.05f;
    const int channelBit = value > 0 ? 1 : 0;
    if (found < MaxBits) {
        bits[found].value = static_cast<uint8_t>(channelBit ^ lastChannelBit);
        bits[found].weight = std::fabs(value) / std::sqrt(bitPower + 1e-30f);
        ++found;
    }
    lastChannelBit = channelBit;
}

} // namespace sdr
