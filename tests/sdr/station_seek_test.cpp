// The station search against generated bands: successive searches from each
// edge and from the middle stop on every station strong enough for the level
// and on nothing else (not a sideband, not the gap beside a strong station,
// not the DC spike, not a look's rim), the scale moves steadily, and a whole
// band takes a few seconds. Then the step logic alone, on hand-made looks:
// samples in flight, lost looks, a candidate the fresh look does not confirm.
#include <doctest.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "seek_fixture.h"

using seektest::Programme;
using seektest::scan;
using seektest::search;
using seektest::SimulatedReceiver;
using seektest::station;

namespace {

struct Generated {
    int32_t frequency;
    float cnrDb;
    Programme programme;
};

// A region's band, with stations at several strengths: some 200 kHz apart,
// a strong one beside a weak one, one next to each edge, one below every level.
struct RegionBand {
    sdr::Region region;
    int32_t middle;
    std::vector<Generated> stations;
};

const RegionBand Bands[] = {
    {sdr::Region::Europe,
     970,
     {{876, 22, Programme::Silence},     {886, 40, Programme::LeftTone}, {888, 9, Programme::Music},
      {901, 15, Programme::FullTone},  {913, 30, Programme::Silence},  {930, 3, Programme::Silence},
      {944, 22, Programme::LeftTone},  {946, 30, Programme::Music},    {960, 15, Programme::FullTone},
      {987, 40, Programme::Music},     {989, 15, Programme::Silence},  {1010, 9, Programme::FullTone},
      {1035, 30, Programme::LeftTone}, {1052, 22, Programme::Silence}, {1069, 40, Programme::FullTone},
      {1079, 15, Programme::LeftTone}}},
    {sdr::Region::Usa,
     990,
     {{881, 30, Programme::LeftTone}, {883, 9, Programme::Music},     {899, 22, Programme::FullTone},
      {925, 15, Programme::FullTone},    {947, 40, Programme::LeftTone}, {949, 15, Programme::Music},
      {1001, 3, Programme::Silence},  {1033, 30, Programme::Silence},   {1055, 22, Programme::Silence},
      {1079, 40, Programme::Music},   {1083, 40, Programme::FullTone}}},
    {sdr::Region::Japan,
     830,
     {{761, 22, Programme::FullTone},    {770, 40, Programme::LeftTone}, {772, 9, Programme::Music},
      {800, 30, Programme::FullTone}, {813, 15, Programme::Silence},  {825, 3, Programme::FullTone},
      {842, 22, Programme::Music},    {865, 30, Programme::Music},    {867, 15, Programme::LeftTone},
      {905, 40, Programme::Silence},  {912, 40, Programme::LeftTone}}},
};

// The stops successive searches should make: the stations strong enough
// strictly beyond `from` inside the band, in the search's order, then the edge.
std::vector<int32_t> expected_stops(const RegionBand &band, int32_t from, int32_t direction, int32_t level)
{
    const sdr::BandRules &rules = sdr::band_rules(band.region);
    std::vector<int32_t> stops;
    for (const Generated &s : band.stations)
        if ((s.frequency - from) * direction > 0 && s.frequency >= rules.low && s.frequency <= rules.high &&
            s.cnrDb >= sdr::StationSeek::ThresholdDb(level))
            stops.push_back(s.frequency);
    std::sort(stops.begin(), stops.end());
    if (direction < 0)
        std::reverse(stops.begin(), stops.end());
    const int32_t edge = direction > 0 ? rules.high : rules.low;
    if (stops.empty() || stops.back() != edge)
        stops.push_back(edge);
    return stops;
}

std::string list(const std::vector<int32_t> &stops)
{
    std::string text;
    for (const int32_t f : stops)
        text += std::to_string(f) + " ";
    return text;
}

} // namespace

TEST_CASE("successive searches stop on every station the level allows and nowhere else")
{
    for (const RegionBand &band : Bands) {
        const sdr::BandRules &rules = sdr::band_rules(band.region);
        SimulatedReceiver receiver;
        for (const Generated &s : band.stations)
            REQUIRE(receiver.band.AddStation(station(s.frequency, s.cnrDb, s.programme)) >= 0);
        for (int32_t level = 0; level < sdr::StationSeek::Levels; ++level) {
            CAPTURE(static_cast<int>(band.region));
            CAPTURE(level);
            sdr::StationSeek seek;
            // From each edge, searches one after another across the whole band
            // (outside Europe from one edge a level, by turns, to keep the test quick).
            for (const int32_t direction : {+1, -1}) {
                if (band.region != sdr::Region::Europe && direction != (level % 2 == 0 ? +1 : -1))
                    continue;
                const int32_t from = direction > 0 ? rules.low : rules.high;
                CAPTURE(direction);
                const std::vector<int32_t> stops = scan(seek, receiver, rules, from, direction, level);
                CHECK(list(stops) == list(expected_stops(band, from, direction, level)));
            }
            // From the middle, the first stop each way (the rest is as from an edge).
            for (const int32_t direction : {+1, -1}) {
                CAPTURE(direction);
                const seektest::Search first = search(seek, receiver, rules, band.middle, direction, level);
                CHECK(first.steady);
                CHECK(first.stop == expected_stops(band, band.middle, direction, level).front());
            }
        }
    }
}

TEST_CASE("a station anywhere in a look's view is found where it is")
{
    // One station at each distance from where the search begins, so that it
    // lies beside the DC spike, mid-span, at the rim of the decided channels
    // and beyond them in one look or another, both ways; strong with wide
    // sidebands, and weak at the lowest level.
    const sdr::BandRules &rules = sdr::band_rules(sdr::Region::Europe);
    const int32_t start = 950;
    for (int32_t direction : {+1, -1})
        for (int32_t distance = 1; distance <= 14; ++distance)
            for (const Generated &g : {Generated{start + direction * distance, 40, Programme::LeftTone},
                                       Generated{start + direction * distance, 9, Programme::Music}}) {
                CAPTURE(g.frequency);
                CAPTURE(g.cnrDb);
                SimulatedReceiver receiver(seektest::StepPairs / 2, static_cast<uint64_t>(distance));
                receiver.band.AddStation(station(g.frequency, g.cnrDb, g.programme));
                sdr::StationSeek seek;
                const seektest::Search found = search(seek, receiver, rules, start, direction, 0);
                CHECK(found.stop == g.frequency);
                CHECK(found.steady);
                CHECK(found.waitedStill);
            }
}

TEST_CASE("a whole band's search takes a few seconds, steadily, and ends at the edge")
{
    for (const sdr::Region region : {sdr::Region::Europe, sdr::Region::Usa, sdr::Region::Japan}) {
        const sdr::BandRules &rules = sdr::band_rules(region);
        const int32_t channels = rules.high - rules.low;
        // Retunes whose samples arrive within a step, and ones that take two.
        for (const size_t latency : {seektest::StepPairs / 2, seektest::StepPairs * 3 / 2}) {
            SimulatedReceiver receiver(latency);
            receiver.band.SetDcOffset(12, -9); // the spike must not stop it either
            sdr::StationSeek seek;
            for (const int32_t direction : {+1, -1}) {
                const int32_t from = direction > 0 ? rules.low : rules.high;
                const seektest::Search whole = search(seek, receiver, rules, from, direction, 0);
                CHECK(whole.stop == (direction > 0 ? rules.high : rules.low));
                CHECK(whole.steady);
                CHECK(whole.waitedStill);
                const int stepsPerLook = latency < seektest::StepPairs ? 1 : 2;
                MESSAGE("region " << static_cast<int>(region) << ", looks in " << stepsPerLook
                                  << " step(s): " << whole.steps << " steps, " << whole.steps / 10.0 << " s");
                CHECK(whole.steps <= stepsPerLook * (channels / sdr::StationSeek::LookChannels + 3));
            }
        }
    }
}

namespace {

// A hand-made look: the given channels at their ratios, with peaks where their ratios are.
sdr::SpectrumSnapshot made(const sdr::StationSeek::Answer &answer, std::initializer_list<std::pair<int32_t, float>> at)
{
    sdr::SpectrumSnapshot s;
    s.serial = answer.serial;
    s.centreHz = answer.centreHz;
    s.frames = 12;
    s.firstChannel = static_cast<int32_t>((answer.centreHz - sdr::MeasuredHalfSpanHz + sdr::RasterHz - 1) / sdr::RasterHz);
    s.channelCount = static_cast<int32_t>((answer.centreHz + sdr::MeasuredHalfSpanHz) / sdr::RasterHz) - s.firstChannel + 1;
    for (int c = 0; c < s.channelCount; ++c)
        s.cnrDb[c] = s.peakDb[c] = -20;
    for (const auto &channel : at) {
        const int i = s.IndexOf(channel.first);
        if (i >= 0)
            s.cnrDb[i] = s.peakDb[i] = channel.second;
    }
    return s;
}

} // namespace

TEST_CASE("a step waits for its look, asks again for a lost one, and confirms before it stops")
{
    const sdr::BandRules &rules = sdr::band_rules(sdr::Region::Europe);
    sdr::StationSeek seek;
    const int32_t start = 950;

    // The first step asks for a look that decides 95.1-95.6: its centre half a channel off the raster.
    sdr::StationSeek::Answer first = seek.Step({+1, start, 1}, rules, sdr::SpectrumSnapshot());
    CHECK(first.frequency == start);
    CHECK(first.continues == sdr::SeekGoesUp);
    CHECK(first.centreHz == 95350000u);
    CHECK(first.serial != 0);
    CHECK_FALSE(first.listening);
    // A snapshot from before the retune (another serial) shows a station: it does not count.
    sdr::StationSeek::Answer stale = first;
    stale.serial = first.serial + 100;
    for (int step = 1; step < sdr::StationSeek::AskAgainSteps; ++step) {
        const sdr::StationSeek::Answer waiting = seek.Step({+1, start, 1}, rules, made(stale, {{952, 40}}));
        CHECK(waiting.frequency == start);
        CHECK(waiting.continues == sdr::SeekGoesUp);
        CHECK(waiting.serial == first.serial);
    }
    // Lost: asked for again at the same centre, as a new look.
    const sdr::StationSeek::Answer again = seek.Step({+1, start, 1}, rules, sdr::SpectrumSnapshot());
    CHECK(again.centreHz == first.centreHz);
    CHECK(again.serial != first.serial);
    CHECK(again.frequency == start);

    // The look: a station at 95.3 with sidebands, a weaker one at 95.5 (below level 1).
    const sdr::SpectrumSnapshot look = made(again, {{952, 20}, {953, 30}, {954, 20}, {955, 10}});
    const sdr::StationSeek::Answer candidate = seek.Step({+1, start, 1}, rules, look);
    CHECK(candidate.continues == sdr::SeekGoesUp);
    CHECK(candidate.centreHz == 953 * sdr::RasterHz + sdr::StationOffsetHz); // the listening position
    CHECK(candidate.frequency > start);
    CHECK(candidate.frequency <= 953);
    // The fresh look from there sees nothing at 95.3 (a passing burst): the search goes on past it.
    const sdr::StationSeek::Answer onward = seek.Step({+1, candidate.frequency, 1}, rules, made(candidate, {}));
    CHECK(onward.continues == sdr::SeekGoesUp);
    CHECK(onward.centreHz == 953 * sdr::RasterHz + sdr::StationSeek::LookOffsetHz);
    // The next look has a station at 95.8, and the fresh look confirms it.
    sdr::StationSeek::Answer answer = seek.Step({+1, onward.frequency, 1}, rules, made(onward, {{958, 25}}));
    CHECK(answer.centreHz == 958 * sdr::RasterHz + sdr::StationOffsetHz);
    const sdr::SpectrumSnapshot confirming = made(answer, {{958, 25}});
    int steps = 0;
    while (answer.continues != sdr::SeekStopped && steps++ < 10)
        answer = seek.Step({+1, answer.frequency, 1}, rules, confirming);
    CHECK(answer.frequency == 958);
    CHECK(answer.listening);
    CHECK(answer.centreHz == 958 * sdr::RasterHz + sdr::StationOffsetHz);

    // A look that never comes ends the search where it is, in the end.
    sdr::StationSeek::Answer lost = seek.Step({-1, 958, 1}, rules, sdr::SpectrumSnapshot());
    for (steps = 1; lost.continues != sdr::SeekStopped && steps < 100; ++steps)
        lost = seek.Step({-1, lost.frequency, 1}, rules, sdr::SpectrumSnapshot());
    CHECK(steps == sdr::StationSeek::GiveUpSteps + 1);
    CHECK(lost.frequency == 958);

    // At the band's edge, going outward: stopped there at once.
    const sdr::StationSeek::Answer edge = seek.Step({+1, rules.high, 3}, rules, sdr::SpectrumSnapshot());
    CHECK(edge.frequency == rules.high);
    CHECK(edge.continues == sdr::SeekStopped);
    const sdr::StationSeek::Answer below = seek.Step({-1, rules.low - 5, 3}, rules, sdr::SpectrumSnapshot());
    CHECK(below.frequency == rules.low);
    CHECK(below.continues == sdr::SeekStopped);
}
