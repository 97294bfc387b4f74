#include "spectrum.h"

#include <algorithm>
#include <cmath>

#include "angles.h"

namespace sdr {

namespace {

constexpr int Half = static_cast<int>(Spectrum::Size / 2);
// The noise floor is read from cells of this many bins (9.4 kHz).
constexpr int CellBins = 16;
// A Hann window's equivalent noise bandwidth, in bins: neighbouring bins
// share that much of their noise, so a cell is less steady than its count says.
constexpr double HannNoiseBins = 1.5;
constexpr float NothingDb = -20;
// A carrier's own line: counted whole, for it lies on the channel's centre
// and a window spreads it over the bins on both sides unevenly.
constexpr double CarrierHz = 3000;

float to_db(double ratio)
{
    return ratio > 0.01 ? static_cast<float>(10 * std::log10(ratio)) : NothingDb;
}

// The bin (in Power()'s order) whose centre is the first at or above `offsetHz`.
int bin_at(double offsetHz)
{
    const int bin = static_cast<int>(std::ceil(offsetHz / Spectrum::BinHz - 1e-9)) + Half;
    return bin < 0 ? 0 : bin > static_cast<int>(Spectrum::Size) ? static_cast<int>(Spectrum::Size) : bin;
}

int64_t floor_div(int64_t a, int64_t b)
{
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

} // namespace

int SpectrumSnapshot::IndexOf(int32_t frequency) const
{
    const int32_t index = frequency - firstChannel;
    return index >= 0 && index < channelCount ? static_cast<int>(index) : -1;
}

Spectrum::Spectrum()
    : pace(ListeningPace), centreHz(0), serial(0), filled(0), skip(0), frames(0), level{}, window{}, windowScale(0),
      re{}, im{}, accumulated{}, average{}, sumPower{}, sumBins{}, cells{}, latest()
{
    for (int b = 0; b < 256; ++b)
        level[b] = (static_cast<float>(b) - 127.5f) / 127.5f;
    double energy = 0;
    for (size_t n = 0; n < Size; ++n) {
        window[n] = static_cast<float>(0.5 - 0.5 * std::cos(2 * Pi * static_cast<double>(n) / Size));
        energy += static_cast<double>(window[n]) * window[n];
    }
    windowScale = static_cast<float>(1 / (energy * Size));
}

void Spectrum::SetPace(const SpectrumPace &wanted)
{
    pace.framesPerSnapshot = wanted.framesPerSnapshot ? wanted.framesPerSnapshot : 1;
    pace.framePeriodPairs = wanted.framePeriodPairs > Size ? wanted.framePeriodPairs : static_cast<uint32_t>(Size);
    pace.restPairs = wanted.restPairs;
}

void Spectrum::NewCentre(uint32_t centre, uint32_t newSerial)
{
    centreHz = centre;
    serial = newSerial;
    filled = 0;
    skip = 0;
    frames = 0;
    std::fill(accumulated, accumulated + Size, 0.0f);
}

size_t Spectrum::Process(const uint8_t *iq, size_t pairs)
{
    size_t completed = 0;
    while (pairs > 0) {
        if (skip > 0) {
            const size_t passed = std::min(skip, pairs);
            skip -= passed;
            iq += 2 * passed;
            pairs -= passed;
            continue;
        }
        const size_t taken = std::min(Size - filled, pairs);
        for (size_t n = 0; n < taken; ++n) {
            re[filled + n] = level[iq[2 * n]];
            im[filled + n] = level[iq[2 * n + 1]];
        }
        filled += taken;
        iq += 2 * taken;
        pairs -= taken;
        if (filled < Size)
            break;
        Transform();
        filled = 0;
        skip = pace.framePeriodPairs - Size;
        if (++frames >= pace.framesPerSnapshot) {
            Publish();
            ++completed;
            skip += pace.restPairs;
        }
    }
    return completed;
}

void Spectrum::Transform()
{
    // The frame's own mean is the dongle's DC offset: taken out before the
    // window spreads it over the bins around the centre.
    float meanRe = 0, meanIm = 0;
    for (size_t n = 0; n < Size; ++n) {
        meanRe += re[n];
        meanIm += im[n];
    }
    meanRe /= Size;
    meanIm /= Size;
    for (size_t n = 0; n < Size; ++n) {
        re[n] = (re[n] - meanRe) * window[n];
        im[n] = (im[n] - meanIm) * window[n];
    }
    fft.Forward(re, im);
    for (size_t k = 0; k < Size; ++k)
        accumulated[k] += re[k] * re[k] + im[k] * im[k];
}

void Spectrum::Publish()
{
    const float scale = windowScale / static_cast<float>(frames);
    for (size_t k = 0; k < Size; ++k) {
        average[(k + Half) & (Size - 1)] = accumulated[k] * scale;
        accumulated[k] = 0;
    }
    Figures();
    frames = 0;
}

float Spectrum::NoiseFloor()
{
    // Stations only ever raise a cell, so the quietest cells are noise: a low
    // percentile finds it, then the mean of every cell within what noise
    // itself spreads takes away the percentile's bias.
    int count = 0;
    const int first = bin_at(-static_cast<double>(UsableHalfSpanHz));
    const int last = bin_at(static_cast<double>(UsableHalfSpanHz) + 1);
    for (int bin = first; bin + CellBins <= last; bin += CellBins)
        if (sumBins[bin + CellBins] - sumBins[bin] == CellBins)
            cells[count++] = static_cast<float>((sumPower[bin + CellBins] - sumPower[bin]) / CellBins);
    if (count == 0)
        return 0;
    float *low = cells + count / 10;
    std::nth_element(cells, low, cells + count);
    const double spread = std::min(0.3, std::sqrt(HannNoiseBins / (CellBins * static_cast<double>(frames))));
    const double limit = *low * (1 + 3 * spread) / (1 - 1.28 * spread);
    double sum = 0;
    int taken = 0;
    for (int c = 0; c < count; ++c)
        if (cells[c] <= limit) {
            sum += cells[c];
            ++taken;
        }
    return static_cast<float>(sum / taken);
}

void Spectrum::Figures()
{
    sumPower[0] = 0;
    sumBins[0] = 0;
    for (int bin = 0; bin < static_cast<int>(Size); ++bin) {
        const double offset = std::fabs((bin - Half) * BinHz);
        const bool usable = offset <= UsableHalfSpanHz && offset >= DcGuardHz;
        sumPower[bin + 1] = sumPower[bin] + (usable ? average[bin] : 0.0);
        sumBins[bin + 1] = static_cast<uint16_t>(sumBins[bin] + (usable ? 1 : 0));
    }
    const double floorPerBin = NoiseFloor();
    const double noise200 = floorPerBin * (2.0 * ChannelHalfWidthHz / BinHz);

    SpectrumSnapshot &s = latest;
    s.serial = serial;
    s.centreHz = centreHz;
    s.frames = frames;
    s.noiseDb = noise200 > 0 ? static_cast<float>(10 * std::log10(noise200)) : -200.0f;
    const int64_t centre = centreHz;
    s.firstChannel = static_cast<int32_t>(-floor_div(-(centre - MeasuredHalfSpanHz), RasterHz));
    const int32_t lastChannel = static_cast<int32_t>(floor_div(centre + MeasuredHalfSpanHz, RasterHz));
    s.channelCount = std::min<int32_t>(lastChannel - s.firstChannel + 1, SpectrumSnapshot::MaxChannels);

    // A range's power with the noise taken out, the bins left out (the DC
    // spike) made up for at the range's own density.
    auto power = [&](double fromHz, double toHz) {
        const int a = bin_at(fromHz), b = bin_at(toHz);
        const int counted = sumBins[b] - sumBins[a];
        if (counted == 0)
            return 0.0;
        return (sumPower[b] - sumPower[a]) * (b - a) / counted - floorPerBin * (b - a);
    };
    const double Quarter = ChannelHalfWidthHz / 2.0;
    for (int32_t c = 0; c < s.channelCount; ++c) {
        const double offset = static_cast<double>(static_cast<int64_t>(s.firstChannel + c) * RasterHz - centre);
        const double line = std::max(0.0, power(offset - CarrierHz, offset + CarrierHz));
        double least = line, most = line;
        for (int ring = 0; ring < 2; ++ring) {
            const double inner = ring == 0 ? CarrierHz : Quarter;
            const double below = power(offset - (ring + 1) * Quarter, offset - inner);
            const double above = power(offset + inner, offset + (ring + 1) * Quarter);
            least += 2 * std::max(0.0, std::min(below, above));
            most += 2 * std::max(0.0, std::max(below, above));
        }
        s.cnrDb[c] = noise200 > 0 ? to_db(least / noise200) : NothingDb;
        s.peakDb[c] = noise200 > 0 && most > 0 ? to_db(least * least / most / noise200) : NothingDb;
    }
}

} // namespace sdr
