// RDS bits from the multiplex: the 57 kHz subcarrier taken down to zero
// with three times the pilot loop's phase, filtered and decimated to
// 24 kS/s, the biphase matched filter (at 12 kS/s out), a Costas loop for
// the phase the pilot leaves open (RDS may be in phase or in quadrature
// with the pilot's third harmonic, and without a pilot the chain's 19 kHz
// runs free), symbol timing from the bit rate's line in the matched
// filter's power, and differential decoding.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sdr {

struct RdsBit {
    uint8_t value; // the data bit
    float weight;  // how sure the channel bit that ended it is: its matched filter output over the RMS
};

// A decimating FIR filter for complex samples (interleaved I, Q) with real taps.
class ComplexDecimator {
public:
    static constexpr int MaxTaps = 48;
    static constexpr size_t MaxInput = 2400;

    ComplexDecimator();
    virtual ~ComplexDecimator() = default;

    // The taps in the order they meet the samples, oldest first.
    void Design(const float *taps, int count, int factor);
    void Reset();
    // Up to MaxInput samples in; returns the samples written to `out`
    // (count / factor, give or take one).
    size_t Filter(const float *in, size_t count, float *out);

private:
    float pairedTaps[2 * MaxTaps]; // each tap twice, for I and Q side by side
    int length;                    // taps, even
    int factor;
    size_t countdown; // inputs until the next output
    float line[2 * (MaxTaps + MaxInput)];
};

class RdsDemodulator {
public:
    static constexpr size_t MaxSamples = ComplexDecimator::MaxInput; // per call: 10 ms
    static constexpr size_t MaxBits = 24; // per call: 12, and never two within half a bit

    RdsDemodulator();
    virtual ~RdsDemodulator() = default;

    void Reset();
    // Wide loops while looking for blocks, narrow ones once in sync.
    void SetTracking(bool tracking);
    // The multiplex at 240 kS/s and the pilot loop's phase (2^32 a turn, a
    // locked pilot is cos(phase)), up to MaxSamples; returns the bits found.
    size_t Process(const float *mpx, const uint32_t *pilotPhase, size_t count, RdsBit bits[MaxBits]);

private:
    static constexpr int TableBits = 11;
    static constexpr int TableSize = 1 << TableBits;

    void Track(float re, float power, RdsBit bits[], size_t &found);

    float cosine[TableSize];
    float sine[TableSize];
    ComplexDecimator channel; // 240 -> 24 kS/s
    ComplexDecimator matched; // the biphase matched filter, 24 -> 12 kS/s
    float mixed[2 * MaxSamples];
    float narrow[2 * (MaxSamples / 10 + 2)];
    float symbols[2 * (MaxSamples / 20 + 2)];

    bool tracking;
    // The Costas loop: the phase it takes off, its frequency, and the signal's power.
    uint32_t carrierPhase;
    float carrierStep; // radians a sample
    float carrierPower;
    // Symbol timing, at 12 kS/s: a clock turning once a bit, the average of
    // the power times that clock (whose angle is the clock's reading at the
    // bits' peaks) over the samples seen, that reading, and the last four
    // samples' real parts to interpolate the peak from.
    uint32_t clock;
    float lineRe, lineIm;
    uint32_t samplesSeen;
    uint32_t peakReading;
    float recent[4];
    int sinceBit; // samples since the last bit
    float bitPower; // of the samples at the peaks
    int lastChannelBit;
};

} // namespace sdr
