// Wideband FM with stereo, heard through the chain: a generated band (the
// test kit's, written apart from the receiver) goes in as the dongle's bytes,
// and the checks are on the sound that comes out: which side a tone is on,
// how loud, how much hiss, the stereo lamp and the blend.
#include <doctest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "angles.h"
#include "fm_chain.h"
#include "rds_receiver.h"
#include "sdr_rates.h"
#include "signal_generator.h"

namespace {

constexpr uint32_t StationHz = 98500000;
constexpr size_t BlockPairs = sdr::FmChain::MaxBlockPairs; // 10 ms
constexpr double BlockSeconds = static_cast<double>(BlockPairs) / sdr::DongleRate;

// A listener at the radio: a band, the chain tuned to one of its stations,
// and what came out of the speakers.
struct Listener {
    sdrkit::BandGenerator band{7};
    sdr::FmChain chain;
    sdr::ChainSettings settings;
    uint32_t centreHz = StationHz + sdr::StationOffsetHz;
    std::vector<uint8_t> iq = std::vector<uint8_t>(2 * BlockPairs);
    std::vector<float> block = std::vector<float>(2 * BlockPairs);
    std::vector<float> sound; // interleaved left, right

    Listener() { Apply(); }
    void Apply()
    {
        centreHz = static_cast<uint32_t>(static_cast<int64_t>(StationHz) +
                                         settings.stationSide * int64_t{sdr::StationOffsetHz});
        chain.Configure(settings);
    }
    // Plays `seconds` of the band; returns the seconds after which `until` first held (-1: never).
    template <typename Until>
    double PlayUntil(double seconds, Until until)
    {
        for (double t = 0; t < seconds; t += BlockSeconds) {
            band.Fill(iq.data(), BlockPairs, centreHz, sdr::DongleRate);
            const size_t frames = chain.Process(iq.data(), BlockPairs, block.data(), BlockPairs);
            sound.insert(sound.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(2 * frames));
            if (until())
                return t + BlockSeconds;
        }
        return -1;
    }
    void Play(double seconds)
    {
        PlayUntil(seconds, [] { return false; });
    }

    // A tone's amplitude on one side (0 left, 1 right) over the last `seconds`,
    // and the power of everything else there (noise and distortion).
    struct Heard {
        double amplitude;
        double rest;
    };
    Heard Hear(int side, double hz, double seconds = 0.5) const
    {
        const size_t frames = sound.size() / 2;
        const size_t count = static_cast<size_t>(seconds * sdr::AudioRate);
        REQUIRE(frames >= count);
        const size_t from = frames - count;
        double mean = 0;
        for (size_t n = from; n < frames; ++n)
            mean += sound[2 * n + side];
        mean /= static_cast<double>(count);
        // Least squares on cos and sin (nearly orthogonal over many cycles).
        double c = 0, s = 0, cc = 0, ss = 0;
        for (size_t n = from; n < frames; ++n) {
            const double w = 2 * sdr::Pi * hz * static_cast<double>(n) / sdr::AudioRate;
            const double x = sound[2 * n + side] - mean;
            c += x * std::cos(w), s += x * std::sin(w);
            cc += std::cos(w) * std::cos(w), ss += std::sin(w) * std::sin(w);
        }
        const double a = c / cc, b = s / ss;
        double rest = 0;
        for (size_t n = from; n < frames; ++n) {
            const double w = 2 * sdr::Pi * hz * static_cast<double>(n) / sdr::AudioRate;
            const double e = sound[2 * n + side] - mean - a * std::cos(w) - b * std::sin(w);
            rest += e * e;
        }
        return {std::hypot(a, b), rest / static_cast<double>(count)};
    }
    // Signal to noise and distortion of a tone, in dB.
    double Sinad(int side, double hz) const
    {
        const Heard heard = Hear(side, hz);
        return 10 * std::log10(heard.amplitude * heard.amplitude / 2 / heard.rest);
    }
};

double db(double ratio)
{
    return 20 * std::log10(ratio);
}

sdrkit::StationSpec tone_station(float leftHz, float rightHz, float amplitude = 1.0f, float cnrDb = 60)
{
    sdrkit::StationSpec spec;
    spec.frequencyHz = StationHz;
    spec.left = {leftHz, leftHz > 0 ? amplitude : 0, false};
    spec.right = {rightHz, rightHz > 0 ? amplitude : 0, false};
    spec.preemphasisSeconds = 50e-6f;
    spec.cnrDb = cnrDb;
    return spec;
}

// A full-scale tone on one side comes out at 0.9 (the pilot takes the other 10 % of the deviation).
constexpr double FullTone = 0.9;

} // namespace

TEST_CASE("stereo separation: a tone on one side is heard on that side only")
{
    for (int stationSide : {+1, -1}) {
        for (int toneSide : {0, 1}) {
            CAPTURE(stationSide);
            CAPTURE(toneSide);
            Listener radio;
            radio.settings.stationSide = stationSide;
            radio.Apply();
            radio.band.AddStation(toneSide == 0 ? tone_station(1000, 0) : tone_station(0, 1000));
            radio.Play(2.0);
            REQUIRE(radio.chain.Stereo());
            const double wanted = radio.Hear(toneSide, 1000).amplitude;
            const double other = radio.Hear(1 - toneSide, 1000).amplitude;
            MESSAGE("separation at 1 kHz: " << db(wanted / other) << " dB");
            CHECK(db(wanted / other) >= 40);
            CHECK(std::fabs(db(wanted / FullTone)) < 0.5);
        }
    }

    SUBCASE("a station whose pilot is a few hertz off is locked and separated as well")
    {
        for (double offset : {-4.0, 4.0}) {
            CAPTURE(offset);
            Listener radio;
            sdrkit::StationSpec spec = tone_station(1000, 0);
            spec.pilotOffsetHz = offset;
            radio.band.AddStation(spec);
            radio.Play(2.0);
            REQUIRE(radio.chain.Stereo());
            CHECK(db(radio.Hear(0, 1000).amplitude / radio.Hear(1, 1000).amplitude) >= 40);
        }
    }
}

TEST_CASE("de-emphasis matches the region's pre-emphasis and no other")
{
    // Tones 0.1 of full scale, pre-emphasised by the station, across the
    // audio band: with the matching time constant the sound is flat.
    const float pairs[][2] = {{1000, 15000}, {5000, 10000}, {200, 3000}};
    for (float broadcast : {50e-6f, 75e-6f}) {
        for (float chainTau : {50e-6f, 75e-6f}) {
            CAPTURE(broadcast);
            CAPTURE(chainTau);
            double worst = 0, at10k = 0, at1k = 0;
            for (const auto &pair : pairs) {
                Listener radio;
                radio.settings.deemphasisSeconds = chainTau;
                radio.Apply();
                sdrkit::StationSpec spec = tone_station(pair[0], pair[1], 0.1f);
                spec.preemphasisSeconds = broadcast;
                radio.band.AddStation(spec);
                radio.Play(1.5); // the lamp, then the blend's ramp, then half a second to listen
                for (int side : {0, 1}) {
                    const double error = db(radio.Hear(side, pair[side]).amplitude / (0.1 * FullTone));
                    worst = std::fmax(worst, std::fabs(error));
                    if (pair[side] == 10000)
                        at10k = error;
                    if (pair[side] == 1000)
                        at1k = error;
                }
            }
            if (broadcast == chainTau) {
                MESSAGE("largest error from 200 Hz to 15 kHz: " << worst << " dB");
                CHECK(worst < 0.5);
                CHECK(std::fabs(at10k - at1k) < 1.0);
            } else {
                // 75 against 50 us is 3.3 dB at 10 kHz, one way or the other.
                CHECK(std::fabs(at10k - at1k) > 2.5);
                CHECK((at10k > at1k) == (broadcast > chainTau));
            }
        }
    }
}

TEST_CASE("a clean signal: the sound's signal to noise")
{
    SUBCASE("stereo")
    {
        Listener radio;
        radio.band.AddStation(tone_station(1000, 0));
        radio.Play(1.5);
        const double sinad = radio.Sinad(0, 1000);
        MESSAGE("stereo, full-scale tone on the left: " << sinad << " dB");
        CHECK(sinad >= 55);
    }
    SUBCASE("a mono station")
    {
        Listener radio;
        sdrkit::StationSpec spec = tone_station(1000, 1000);
        spec.stereo = false;
        radio.band.AddStation(spec);
        radio.Play(1.5);
        CHECK_FALSE(radio.chain.Stereo());
        const double sinad = radio.Sinad(0, 1000);
        MESSAGE("mono, full-scale tone: " << sinad << " dB");
        CHECK(sinad >= 60);
        CHECK(std::fabs(db(radio.Hear(1, 1000).amplitude / FullTone)) < 0.5);
    }
}

TEST_CASE("a silent stereo station with RDS: the pilot and the subcarriers stay out of the sound")
{
    Listener radio;
    sdrkit::StationSpec spec = tone_station(0, 0);
    spec.rds = true;
    spec.programme.pi = 0xD3C2;
    radio.band.AddStation(spec);
    radio.Play(1.5);
    REQUIRE(radio.chain.StereoShare() == 1.0f);
    for (int side : {0, 1}) {
        const Listener::Heard pilot = radio.Hear(side, sdr::PilotHz);
        const double belowPilot = db(0.1 / pilot.amplitude);
        const double level = 10 * std::log10(pilot.rest + pilot.amplitude * pilot.amplitude / 2);
        MESSAGE("19 kHz " << belowPilot << " dB below the pilot; all that is heard " << level << " dB");
        CHECK(belowPilot >= 60);
        CHECK(level <= -55);
    }
}

TEST_CASE("the stereo lamp: on after the pilot holds for half a second, off a moment after it goes")
{
    Listener radio;
    sdrkit::StationSpec spec = tone_station(1000, 0);
    const int station = radio.band.AddStation(spec);
    const double lockSeconds = radio.PlayUntil(2.0, [&] { return radio.chain.Stereo(); });
    MESSAGE("lamp on after " << lockSeconds << " s");
    CHECK(lockSeconds >= 0.45);
    CHECK(lockSeconds <= 1.0);

    // A dropout of a tenth of a second does not blink it.
    spec.stereo = false;
    radio.band.Update(station, spec);
    CHECK(radio.PlayUntil(0.1, [&] { return !radio.chain.Stereo(); }) < 0);
    spec.stereo = true;
    radio.band.Update(station, spec);
    CHECK(radio.PlayUntil(0.5, [&] { return !radio.chain.Stereo(); }) < 0);

    // A pilot gone for good.
    spec.stereo = false;
    radio.band.Update(station, spec);
    const double lossSeconds = radio.PlayUntil(2.0, [&] { return !radio.chain.Stereo(); });
    MESSAGE("lamp off after " << lossSeconds << " s");
    CHECK(lossSeconds >= 0.2);
    CHECK(lossSeconds <= 0.6);
    CHECK(radio.chain.StereoShare() < 1.0f); // the blend follows it down
    radio.Play(0.5);
    CHECK(radio.chain.StereoShare() == 0.0f);

    // A pilot back for a moment shorter than the lock time does not light it.
    spec.stereo = true;
    radio.band.Update(station, spec);
    CHECK(radio.PlayUntil(0.3, [&] { return radio.chain.Stereo(); }) < 0);
    spec.stereo = false;
    radio.band.Update(station, spec);
    CHECK(radio.PlayUntil(1.0, [&] { return radio.chain.Stereo(); }) < 0);
}

TEST_CASE("forced mono: both sides alike, the lamp still showing the pilot")
{
    Listener radio;
    radio.band.AddStation(tone_station(1000, 0));
    radio.Play(1.0);
    REQUIRE(radio.chain.Stereo());
    radio.settings.forcedMono = true;
    radio.Apply();
    radio.Play(1.0);
    CHECK(radio.chain.Stereo());
    CHECK(radio.chain.StereoShare() == 0.0f);
    const size_t frames = radio.sound.size() / 2;
    size_t differing = 0;
    for (size_t n = frames - sdr::AudioRate / 2; n < frames; ++n)
        differing += radio.sound[2 * n] != radio.sound[2 * n + 1];
    CHECK(differing == 0);
    // The left tone, half on each side.
    CHECK(std::fabs(db(radio.Hear(0, 1000).amplitude / (FullTone / 2))) < 0.5);

    // And back to stereo.
    radio.settings.forcedMono = false;
    radio.Apply();
    radio.Play(1.0);
    CHECK(radio.chain.StereoShare() == 1.0f);
    CHECK(db(radio.Hear(0, 1000).amplitude / radio.Hear(1, 1000).amplitude) >= 40);
}

TEST_CASE("the blend: a weak station fades to mono and hisses less; a strong one stays stereo")
{
    auto hiss = [](const Listener &radio) {
        return 10 * std::log10(radio.Hear(0, 1000).rest + radio.Hear(1, 1000).rest);
    };
    SUBCASE("weak")
    {
        Listener blended, unblended;
        unblended.settings.blend = false;
        unblended.Apply();
        for (Listener *radio : {&blended, &unblended}) {
            radio->band.AddStation(tone_station(1000, 0, 1.0f, 11));
            radio->Play(3.0);
            CHECK(radio->chain.Stereo());
        }
        MESSAGE("quieting at 11 dB carrier to noise: " << blended.chain.QuietingDb() << " dB");
        CHECK(blended.chain.StereoShare() == 0.0f);
        CHECK(unblended.chain.StereoShare() == 1.0f);
        MESSAGE("hiss with the blend " << hiss(blended) << " dB, without " << hiss(unblended) << " dB");
        CHECK(hiss(blended) < hiss(unblended) - 6);
    }
    SUBCASE("strong")
    {
        Listener radio;
        radio.band.AddStation(tone_station(1000, 0, 1.0f, 40));
        radio.Play(2.0);
        CHECK(radio.chain.StereoShare() == 1.0f);
        CHECK(db(radio.Hear(0, 1000).amplitude / radio.Hear(1, 1000).amplitude) >= 40);
    }
    SUBCASE("on a marginal station the share settles part way and holds still")
    {
        Listener radio;
        radio.band.AddStation(tone_station(1000, 0, 1.0f, 22));
        radio.Play(2.0);
        float lowest = 1, highest = 0;
        radio.PlayUntil(2.0, [&] {
            lowest = std::fmin(lowest, radio.chain.StereoShare());
            highest = std::fmax(highest, radio.chain.StereoShare());
            return false;
        });
        MESSAGE("share at 22 dB carrier to noise: " << lowest << " to " << highest);
        CHECK(lowest > 0.1f);
        CHECK(highest < 0.9f);
        CHECK(highest == lowest); // no pumping
    }
    SUBCASE("the share ramps down over a few hundred milliseconds")
    {
        Listener radio;
        sdrkit::StationSpec spec = tone_station(1000, 0, 1.0f, 40);
        const int station = radio.band.AddStation(spec);
        radio.Play(1.5);
        REQUIRE(radio.chain.StereoShare() == 1.0f);
        spec.cnrDb = 8;
        radio.band.Update(station, spec);
        const double fading = radio.PlayUntil(2.0, [&] { return radio.chain.StereoShare() < 1; });
        const double gone = radio.PlayUntil(2.0, [&] { return radio.chain.StereoShare() == 0; });
        MESSAGE("the share starts to fall after " << fading << " s and is gone " << gone << " s later");
        CHECK(fading > 0);
        CHECK(gone >= 0.2);
        CHECK(gone <= 0.6);
    }
}

TEST_CASE("quieting reads about the carrier to noise ratio")
{
    double last = -100;
    for (float cnr : {10.0f, 20.0f, 30.0f}) {
        Listener radio;
        sdrkit::StationSpec spec = tone_station(1000, 1000, 0.3f, cnr);
        radio.band.AddStation(spec);
        radio.Play(0.5);
        const double quieting = radio.chain.QuietingDb();
        MESSAGE(cnr << " dB carrier to noise: quieting " << quieting << " dB");
        CHECK(std::fabs(quieting - cnr) < 3);
        CHECK(quieting > last);
        last = quieting;
    }
    Listener nothing; // no station at all
    nothing.Play(0.5);
    CHECK(nothing.chain.QuietingDb() < 5.0f);
    CHECK_FALSE(nothing.chain.Stereo());
}

TEST_CASE("neighbours 200 kHz away, much stronger, leave the station clean")
{
    // Heard in mono, where the station alone is some 75 dB above its noise:
    // whatever of the neighbours reached the channel would show. (Beside
    // them the station has less of the 8-bit samples' range, which costs it
    // about as much.) The neighbours are at full deviation. A tone swings
    // them to within 125 kHz of the station: 20 dB stronger, they must stay
    // out. A loud programme (30 % RMS, as a limited broadcast sends) spreads
    // their sidebands across the whole 250 kHz they may use, over the
    // station's own: 7 dB stronger is the most ITU-R BS.412 lets a neighbour
    // at 200 kHz be, and 15 dB stronger still leaves the station listenable.
    struct Neighbours {
        const char *name;
        sdrkit::AudioSpec programme;
        float cnrDb;
        double leastSinadDb;
    };
    const Neighbours cases[] = {{"a 1 kHz tone, 20 dB stronger", {1000, 0.9f, false}, 70, 50},
                                {"a loud programme, 7 dB stronger", {0, 0.3f, true}, 57, 60},
                                {"a loud programme, 15 dB stronger", {0, 0.3f, true}, 65, 50}};
    for (const Neighbours &each : cases) {
        Listener radio;
        radio.band.AddStation(tone_station(1000, 1000, 1.0f, 50));
        for (int side : {-1, +1}) {
            sdrkit::StationSpec neighbour;
            neighbour.frequencyHz = static_cast<uint32_t>(StationHz + side * 200000);
            neighbour.cnrDb = each.cnrDb;
            neighbour.left = each.programme;
            neighbour.right = each.programme;
            neighbour.preemphasisSeconds = 50e-6f;
            radio.band.AddStation(neighbour);
        }
        radio.settings.forcedMono = true;
        radio.Apply();
        radio.Play(1.0);
        const double sinad = radio.Sinad(0, 1000);
        MESSAGE("signal to noise beside neighbours with " << std::string(each.name) << ": " << sinad << " dB");
        CHECK(sinad >= each.leastSinadDb);
    }
}

TEST_CASE("the test kit's stations keep within 75 kHz whatever their programme")
{
    // The neighbours above are only a fair test if they are legal: a loud
    // programme must not swing the carrier past 75 kHz
    // (with the pilot; RDS adds its 3 kHz). Read straight off the
    // generated samples, the station alone at the centre.
    for (float preemphasis : {50e-6f, 75e-6f}) {
        sdrkit::BandGenerator band(3);
        sdrkit::StationSpec loud;
        loud.frequencyHz = StationHz;
        loud.left = {0, 1.0f, true};
        loud.right = {0, 0.5f, true};
        loud.preemphasisSeconds = preemphasis;
        loud.cnrDb = 80;
        band.SetDcOffset(0, 0);
        band.SetLevel(0.5f);
        band.AddStation(loud);
        const size_t pairs = 2 * sdr::DongleRate; // 2 s at twice the dongle's rate: finer steps
        std::vector<uint8_t> iq(2 * pairs);
        band.Fill(iq.data(), pairs, StationHz, 2 * sdr::DongleRate);
        double peak = 0, power = 0;
        for (size_t n = 1; n < pairs; ++n) {
            const double i0 = iq[2 * n - 2] - 127.5, q0 = iq[2 * n - 1] - 127.5;
            const double i1 = iq[2 * n] - 127.5, q1 = iq[2 * n + 1] - 127.5;
            const double hz = std::atan2(q1 * i0 - i1 * q0, i1 * i0 + q1 * q0) * 2 * sdr::DongleRate / (2 * sdr::Pi);
            peak = std::fmax(peak, std::fabs(hz));
            power += hz * hz;
        }
        const double rms = std::sqrt(power / static_cast<double>(pairs));
        const int microseconds = static_cast<int>(std::lround(preemphasis * 1e6));
        MESSAGE(microseconds << " us: peak deviation " << peak / 1000 << " kHz, RMS " << rms / 1000 << " kHz");
        // The 8-bit samples' steps add a little to each reading.
        CHECK(peak < 78000);
        CHECK(rms > 12000); // still a loud programme
    }
}

namespace {

// What the chain hands to RDS.
struct MpxRecorder : sdr::MpxListener {
    std::vector<float> mpx;
    std::vector<uint32_t> phase;
    void OnMpx(const float *samples, const uint32_t *phases, size_t count) override
    {
        mpx.insert(mpx.end(), samples, samples + count);
        phase.insert(phase.end(), phases, phases + count);
    }
};

} // namespace

TEST_CASE("the multiplex and the pilot's phase reach the listener")
{
    for (bool stereo : {true, false}) {
        CAPTURE(stereo);
        Listener radio;
        sdrkit::StationSpec spec = tone_station(1000, 0);
        spec.stereo = stereo;
        radio.band.AddStation(spec);
        MpxRecorder recorder;
        radio.chain.SetMpxListener(&recorder);
        radio.Play(1.0);
        CHECK(recorder.mpx.size() == static_cast<size_t>(sdr::ChannelRate));
        // Over the last half second: a locked pilot is cos(phase), 10 % of full deviation.
        const size_t from = recorder.mpx.size() / 2;
        double inPhase = 0, across = 0, turns = 0;
        for (size_t n = from; n < recorder.mpx.size(); ++n) {
            const double angle = recorder.phase[n] / sdr::Turn * 2 * sdr::Pi;
            inPhase += recorder.mpx[n] * std::cos(angle);
            across += recorder.mpx[n] * std::sin(angle);
            turns += static_cast<uint32_t>(recorder.phase[n] - recorder.phase[n - 1]) / sdr::Turn;
        }
        const double count = static_cast<double>(recorder.mpx.size() - from);
        const double hz = turns / (count / sdr::ChannelRate);
        if (stereo) {
            CHECK(2 * inPhase / count == doctest::Approx(0.1).epsilon(0.05));
            CHECK(std::fabs(2 * across / count) < 0.01);
        } else {
            // Free-running at 19 kHz, give or take a hertz.
            CHECK(std::fabs(2 * inPhase / count) < 0.01);
            CHECK(hz == doctest::Approx(sdr::PilotHz).epsilon(1 / sdr::PilotHz));
        }
    }
}

TEST_CASE("RDS reads the station's name from what the chain hands on")
{
    for (int stationSide : {+1, -1}) {
        CAPTURE(stationSide);
        Listener radio;
        radio.settings.stationSide = stationSide;
        radio.Apply();
        sdrkit::StationSpec spec = tone_station(1000, 3000, 0.5f, 40);
        spec.rds = true;
        spec.programme.pi = 0xD3C2;
        std::memcpy(spec.programme.name, "TAVOLIN ", 9);
        radio.band.AddStation(spec);
        sdr::RdsReceiver rds;
        radio.chain.SetMpxListener(&rds);
        const double named = radio.PlayUntil(3.0, [&] { return rds.Name()[0] != 0; });
        MESSAGE("name after " << named << " s");
        CHECK(named > 0);
        CHECK(std::string(rds.Name()) == "TAVOLIN ");
        CHECK(rds.Pi() == 0xD3C2);
    }
}

TEST_CASE("any cut of the input into calls gives the same sound, and a reset starts afresh")
{
    // Two seconds of a stereo station, generated once.
    sdrkit::BandGenerator band(3);
    sdrkit::StationSpec spec = tone_station(1000, 0, 1.0f, 30);
    spec.right = {0, 0.2f, true};
    band.AddStation(spec);
    const size_t total = 2 * sdr::DongleRate;
    std::vector<uint8_t> iq(2 * total);
    band.Fill(iq.data(), total, StationHz + sdr::StationOffsetHz, sdr::DongleRate);

    auto play = [&](sdr::FmChain &chain, const size_t *pieces, size_t kinds) {
        std::vector<float> sound, block(2 * 2 * BlockPairs);
        size_t at = 0;
        for (size_t k = 0; at < total; ++k) {
            const size_t take = pieces[k % kinds] < total - at ? pieces[k % kinds] : total - at;
            const size_t frames = chain.Process(iq.data() + 2 * at, take, block.data(), 2 * BlockPairs);
            sound.insert(sound.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(2 * frames));
            at += take;
        }
        CHECK(chain.Stereo());
        return sound;
    };

    sdr::FmChain whole, cut;
    MpxRecorder wholeMpx, cutMpx;
    whole.SetMpxListener(&wholeMpx);
    cut.SetMpxListener(&cutMpx);
    const size_t blocks[] = {BlockPairs};
    const size_t odd[] = {1, 7, 12001, 3, 2399, 5, 24001, 11};
    const std::vector<float> wholeSound = play(whole, blocks, 1);
    const std::vector<float> cutSound = play(cut, odd, sizeof(odd) / sizeof(odd[0]));
    CHECK(wholeSound.size() == 2 * total / 25);
    CHECK(cutSound == wholeSound);
    CHECK(cutMpx.mpx == wholeMpx.mpx);
    CHECK(cutMpx.phase == wholeMpx.phase);

    // A chain that was playing another station (on the other side of the
    // centre, with the other de-emphasis), once reset, hears this one as a
    // new chain does.
    Listener other;
    other.settings.stationSide = -1;
    other.settings.deemphasisSeconds = 75e-6f;
    other.Apply();
    other.band.AddStation(tone_station(3000, 5000, 0.5f, 20));
    other.Play(1.0);
    REQUIRE(other.chain.Stereo());
    other.chain.Configure(sdr::ChainSettings());
    other.chain.Reset();
    CHECK_FALSE(other.chain.Stereo());
    CHECK(other.chain.StereoShare() == 0.0f);
    CHECK(other.chain.QuietingDb() == 0.0f);
    CHECK(play(other.chain, blocks, 1) == wholeSound);
}

namespace {

// Counts the heap allocations made while it is watching.
int allocations = 0;
bool watching = false;

} // namespace

void *operator new(size_t size)
{
    if (watching)
        ++allocations;
    void *p = std::malloc(size ? size : 1);
    if (!p)
        std::abort();
    return p;
}

void operator delete(void *p) noexcept
{
    std::free(p);
}

void operator delete(void *p, size_t) noexcept
{
    std::free(p);
}

TEST_CASE("no allocation once the chain is made")
{
    sdrkit::BandGenerator band(5);
    band.AddStation(tone_station(1000, 0));
    std::vector<uint8_t> iq(2 * 3 * BlockPairs);
    band.Fill(iq.data(), 3 * BlockPairs, StationHz + sdr::StationOffsetHz, sdr::DongleRate);
    std::vector<float> sound(2 * 3 * BlockPairs);
    sdr::FmChain chain;
    MpxRecorder recorder;
    recorder.mpx.reserve(sdr::ChannelRate);
    recorder.phase.reserve(sdr::ChannelRate);
    chain.SetMpxListener(&recorder);
    sdr::ChainSettings settings;
    settings.deemphasisSeconds = 75e-6f;
    settings.stationSide = -1;

    allocations = 0;
    watching = true;
    chain.Configure(settings);
    chain.Reset();
    size_t frames = chain.Process(iq.data(), 3 * BlockPairs, sound.data(), 3 * BlockPairs);
    frames += chain.Process(iq.data(), 5, sound.data(), 3 * BlockPairs);
    watching = false;
    CHECK(allocations == 0);
    CHECK(frames > 0);
}
