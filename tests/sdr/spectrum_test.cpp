// The spectrum the station search reads: each channel's carrier-to-noise
// ratio against what the generated band was made with, wherever the station
// lies in the dongle's view, beside a strong neighbour, and never counting
// samples from before a retune, the DC spike or the dongle's edges.
#include <doctest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "seek_fixture.h"

using seektest::Programme;
using seektest::station;

namespace {

constexpr int32_t Channel = 980; // 98.0 MHz

// One snapshot of `band` seen from `centreHz` at `pace`.
sdr::SpectrumSnapshot look(sdrkit::BandGenerator &band, uint32_t centreHz, sdr::SpectrumPace pace = sdr::SearchingPace)
{
    std::unique_ptr<sdr::Spectrum> spectrum(new sdr::Spectrum);
    spectrum->SetPace(pace);
    spectrum->NewCentre(centreHz, 7);
    std::vector<uint8_t> iq(2 * sdr::Spectrum::Size);
    while (true) {
        band.Fill(iq.data(), sdr::Spectrum::Size, centreHz, sdr::DongleRate);
        if (spectrum->Process(iq.data(), sdr::Spectrum::Size) > 0)
            return spectrum->Latest();
    }
}

float cnr_at(const sdr::SpectrumSnapshot &snapshot, int32_t channel)
{
    const int at = snapshot.IndexOf(channel);
    REQUIRE(at >= 0);
    return snapshot.cnrDb[at];
}

} // namespace

TEST_CASE("a channel's carrier-to-noise ratio is the generator's within 2 dB from 10 to 40 dB")
{
    // Where a station lies in a look: beside the DC spike, mid-span, at the
    // rim of the decided channels, and at the listening position.
    const int32_t offsetsKhz[] = {-300, -250, -50, 50, 150, 250};
    const Programme programmes[] = {Programme::Silence, Programme::Music, Programme::FullTone, Programme::LeftTone};
    float worst = 0;
    for (int cnr = 10; cnr <= 40; cnr += 5) {
        float low = 99, high = -99;
        for (const Programme programme : programmes)
            for (const int32_t offset : offsetsKhz) {
                sdrkit::BandGenerator band(static_cast<uint64_t>(cnr + offset));
                band.AddStation(station(Channel, static_cast<float>(cnr), programme));
                const uint32_t centre = static_cast<uint32_t>(Channel * 100000 - offset * 1000);
                const float measured = cnr_at(look(band, centre), Channel);
                low = std::fmin(low, measured - static_cast<float>(cnr));
                high = std::fmax(high, measured - static_cast<float>(cnr));
            }
        MESSAGE("generated " << cnr << " dB: measured " << low << " .. " << high << " dB off");
        worst = std::fmax(worst, std::fmax(-low, high));
    }
    CHECK(worst < 2.0f);

    // The listening pace's fewer transforms read the same.
    sdrkit::BandGenerator band(5);
    band.AddStation(station(Channel, 15, Programme::Music));
    const sdr::SpectrumSnapshot slow = look(band, Channel * 100000 + sdr::StationOffsetHz, sdr::ListeningPace);
    CHECK(slow.frames == sdr::ListeningPace.framesPerSnapshot);
    CHECK(std::fabs(cnr_at(slow, Channel) - 15) < 2.0f);
}

TEST_CASE("a weak station beside a strong one keeps its own figure, and the peak is on each carrier")
{
    // 200 kHz apart: the strong one's stereo sidebands reach into the weak one's channel.
    sdrkit::BandGenerator band(11);
    band.AddStation(station(Channel, 40, Programme::LeftTone));
    band.AddStation(station(Channel + 2, 9, Programme::Music));
    for (const uint32_t centre : {98050000u, 98150000u, 98250000u}) {
        const sdr::SpectrumSnapshot s = look(band, centre);
        const int strong = s.IndexOf(Channel), gap = s.IndexOf(Channel + 1), weak = s.IndexOf(Channel + 2),
                  beyond = s.IndexOf(Channel + 3);
        REQUIRE(strong >= 0);
        REQUIRE(beyond >= 0);
        CHECK(std::fabs(s.cnrDb[weak] - 9) < 2.0f);
        CHECK(std::fabs(s.cnrDb[strong] - 40) < 2.0f);
        // The strong one's sidebands are strong, yet below both carriers' peaks.
        CHECK(s.cnrDb[gap] > 9);
        CHECK(s.peakDb[gap] < s.peakDb[weak]);
        CHECK(s.peakDb[weak] > s.peakDb[beyond]);
        CHECK(s.peakDb[strong] > s.peakDb[Channel - 1 - s.firstChannel]);
    }
}

TEST_CASE("samples from before a new centre never count for it")
{
    sdrkit::BandGenerator band(13);
    band.AddStation(station(Channel, 40, Programme::Music));
    std::unique_ptr<sdr::Spectrum> spectrum(new sdr::Spectrum);
    spectrum->SetPace(sdr::SearchingPace);
    const uint32_t before = Channel * 100000 + 50000, after = Channel * 100000 + 1050000; // the station out of sight
    spectrum->NewCentre(before, 1);
    const size_t whole = sdr::SearchingPace.framesPerSnapshot * sdr::Spectrum::Size;
    std::vector<uint8_t> iq(2 * whole);
    band.Fill(iq.data(), whole, before, sdr::DongleRate);
    CHECK(spectrum->Process(iq.data(), whole) == 1);
    CHECK(spectrum->Latest().serial == 1);
    CHECK(cnr_at(spectrum->Latest(), Channel) > 35);
    // Asked for again, and half a snapshot and half a transform under way at the retune.
    spectrum->NewCentre(before, 2);
    const size_t half = whole / 2 + sdr::Spectrum::Size / 2;
    band.Fill(iq.data(), half, before, sdr::DongleRate);
    CHECK(spectrum->Process(iq.data(), half) == 0);

    spectrum->NewCentre(after, 3);
    band.Fill(iq.data(), whole - 1, after, sdr::DongleRate);
    CHECK(spectrum->Process(iq.data(), whole - 1) == 0); // one sample short: nothing yet
    band.Fill(iq.data(), 1, after, sdr::DongleRate);
    REQUIRE(spectrum->Process(iq.data(), 1) == 1);
    const sdr::SpectrumSnapshot &s = spectrum->Latest();
    CHECK(s.serial == 3);
    CHECK(s.centreHz == after);
    CHECK(s.frames == sdr::SearchingPace.framesPerSnapshot);
    for (int c = 0; c < s.channelCount; ++c)
        CHECK(s.cnrDb[c] < 3);
}

TEST_CASE("neither the DC spike nor the dongle's edges look like a station")
{
    sdrkit::BandGenerator band(17);
    band.SetDcOffset(12, -9); // a poor dongle's offset, far above the noise
    // Stations in the dongle's view but beyond the usable span: at +-480 kHz
    // the generator still shows them; past 600 kHz nothing of them is left.
    band.AddStation(station(Channel + 5, 40, Programme::LeftTone));
    band.AddStation(station(Channel - 5, 40, Programme::Music));
    // The centre on a channel, so the spike sits on the channel's carrier.
    const sdr::SpectrumSnapshot s = look(band, Channel * 100000);
    // Only channels whose 200 kHz lie inside +-450 kHz are measured.
    CHECK(s.firstChannel == Channel - 3);
    CHECK(s.channelCount == 7);
    CHECK(cnr_at(s, Channel) < 3);
    for (int32_t c = Channel - 2; c <= Channel + 2; ++c)
        CHECK(cnr_at(s, c) < 3);
    // The spike does not raise the noise floor: a 10 dB station beside it still reads 10.
    band.AddStation(station(Channel + 1, 10, Programme::Music));
    CHECK(std::fabs(cnr_at(look(band, Channel * 100000), Channel + 1) - 10) < 2.0f);
}

TEST_CASE("the pace: a few transforms while listening, one quick look per centre while searching")
{
    sdrkit::BandGenerator band(19);
    band.AddStation(station(Channel, 30, Programme::FullTone));
    std::vector<uint8_t> iq(2 * sdr::DongleRate);
    band.Fill(iq.data(), sdr::DongleRate, Channel * 100000 + sdr::StationOffsetHz, sdr::DongleRate);
    std::unique_ptr<sdr::Spectrum> spectrum(new sdr::Spectrum);
    spectrum->NewCentre(Channel * 100000 + sdr::StationOffsetHz, 1);
    spectrum->SetPace(sdr::ListeningPace);
    // A second of listening, in odd-sized blocks: 20 transforms, 2 whole snapshots.
    size_t snapshots = 0;
    for (size_t at = 0; at < sdr::DongleRate; at += 12345) {
        const size_t n = sdr::DongleRate - at < 12345 ? sdr::DongleRate - at : 12345;
        snapshots += spectrum->Process(iq.data() + 2 * at, n);
    }
    CHECK(snapshots == sdr::DongleRate / sdr::ListeningPace.framePeriodPairs / sdr::ListeningPace.framesPerSnapshot);

    // Searching, a new centre every 100 ms: each gets its snapshot exactly
    // 12 transforms after its first sample, and then nothing more.
    spectrum->SetPace(sdr::SearchingPace);
    const size_t look = sdr::SearchingPace.framesPerSnapshot * sdr::Spectrum::Size;
    for (uint32_t serial = 2; serial < 12; ++serial) {
        spectrum->NewCentre(Channel * 100000 + sdr::StationOffsetHz, serial);
        const uint8_t *at = iq.data() + 2 * (serial - 2) * seektest::StepPairs;
        CHECK(spectrum->Process(at, look - 1) == 0);
        CHECK(spectrum->Process(at + 2 * (look - 1), 1) == 1);
        CHECK(spectrum->Process(at + 2 * look, seektest::StepPairs - look) == 0);
        CHECK(spectrum->Latest().serial == serial);
        CHECK(std::fabs(cnr_at(spectrum->Latest(), Channel) - 30) < 2.0f);
    }
}
