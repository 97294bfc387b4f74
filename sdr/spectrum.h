// What the dongle sees, for the station search: an averaged power spectrum
// of the raw I/Q (Hann window, 2048 points, 586 Hz bins) and, for each
// channel of the 100 kHz raster inside the usable span, its carrier-to-noise
// ratio in 200 kHz against the spectrum's noise floor.
//
// It runs on the receiver's signal thread all the time, so its pace is the
// caller's: a few transforms a second while a station plays, back to back
// while searching. Each snapshot is tagged with the centre its samples were
// taken at and a serial the caller gives with that centre; samples given
// before NewCentre never count for the new centre.
//
// A channel's figure takes the station's spectrum as symmetric about its
// carrier (FM's is): each half of the channel (the inner and outer 50 kHz
// on either side) counts only as much as its mirror image. A neighbour's
// sideband reaches into one side only, so it cannot inflate a weak
// station beside a strong one, nor make a station of the gap between them.
// No allocation: every buffer is a member.
#pragma once

#include <cstddef>
#include <cstdint>

#include "fft.h"
#include "sdr_rates.h"

namespace sdr {

constexpr uint32_t RasterHz = 100000;
constexpr uint32_t ChannelHalfWidthHz = 100000; // a station's 200 kHz
// The flat part of the dongle's +-600 kHz: the RTL2832's decimating filter
// rolls off beyond it, so neither channels nor the noise floor are taken there.
constexpr uint32_t UsableHalfSpanHz = 450000;
// Channels whose whole 200 kHz lies in the usable span.
constexpr uint32_t MeasuredHalfSpanHz = UsableHalfSpanHz - ChannelHalfWidthHz;
// The dongle's DC spike (its LO leakage and offset), left out around the centre.
constexpr uint32_t DcGuardHz = 4000;

// How many transforms one snapshot averages, how often one is taken, and
// how long the spectrum rests after a snapshot (a new centre ends the rest).
struct SpectrumPace {
    uint32_t framesPerSnapshot; // at least 1
    uint32_t framePeriodPairs;  // from one transform's first sample to the next's, at least Fft::Size
    uint32_t restPairs;         // after a snapshot, before the next one's first transform
};
// While a station plays: a transform every 50 ms, a snapshot every 0.4 s (20 transforms a second).
constexpr SpectrumPace ListeningPace{8, 60000, 0};
// While searching: back to back, a snapshot 20 ms after a new centre's first
// sample; then, as the search moves on to another centre, rest (a fifth of a
// second, should the search want this centre again without saying so).
constexpr SpectrumPace SearchingPace{12, static_cast<uint32_t>(Fft::Size), DongleRate / 5};

struct SpectrumSnapshot {
    static constexpr int MaxChannels = 2 * MeasuredHalfSpanHz / RasterHz + 1;

    uint32_t serial = 0;   // as given to NewCentre; 0 before any
    uint32_t centreHz = 0; // the dongle's centre
    uint32_t frames = 0;   // transforms averaged
    float noiseDb = 0;     // the noise floor in 200 kHz, dB re full scale
    int32_t firstChannel = 0; // 0.1 MHz
    int32_t channelCount = 0;
    // Carrier to noise in 200 kHz, dB; -20 for nothing.
    float cnrDb[MaxChannels] = {};
    // The same, weighed down by how lopsided the channel is: highest on a
    // station's carrier, low on its sidebands and between two stations.
    float peakDb[MaxChannels] = {};

    // The index of a channel (0.1 MHz) in the arrays, or -1 when not measured.
    int IndexOf(int32_t frequency) const;
};

class Spectrum {
public:
    static constexpr size_t Size = Fft::Size;
    static constexpr double BinHz = static_cast<double>(DongleRate) / Size;

    Spectrum();
    virtual ~Spectrum() = default;
    Spectrum(const Spectrum &) = delete;
    Spectrum &operator=(const Spectrum &) = delete;

    // Takes effect from the next transform on.
    void SetPace(const SpectrumPace &pace);
    // The next sample given to Process is the first taken at this centre:
    // what was gathered so far is dropped.
    void NewCentre(uint32_t centreHz, uint32_t serial);
    // Unsigned 8-bit I/Q pairs, any count. Returns how many snapshots were
    // completed (the last is Latest()).
    size_t Process(const uint8_t *iq, size_t pairs);

    const SpectrumSnapshot &Latest() const { return latest; }
    // The latest snapshot's average power per bin (re full scale), from
    // -600 kHz at index 0 through the centre at Size / 2.
    const float *Power() const { return average; }

private:
    void Transform();
    void Publish();
    void Figures();
    float NoiseFloor();

    Fft fft;
    SpectrumPace pace;
    uint32_t centreHz;
    uint32_t serial;
    size_t filled;  // samples of the frame gathered
    size_t skip;    // samples to pass over before the next frame
    uint32_t frames;
    float level[256]; // a byte's value, zero at 127.5
    float window[Size];
    float windowScale; // 1 / (Size * sum of the window's squares): a bin's power re full scale
    float re[Size];
    float im[Size];
    float accumulated[Size];
    float average[Size];
    double sumPower[Size + 1]; // running sums over the usable bins
    uint16_t sumBins[Size + 1];
    float cells[Size];
    SpectrumSnapshot latest;
};

} // namespace sdr
