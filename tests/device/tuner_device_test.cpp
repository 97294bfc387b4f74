// The tuner command set against the virtual card: the exact requests of
// opening, closing and polling, every setter's encoding, and seek steps.
#include <doctest.h>

#include <windows.h>

#include <vector>

#include "device/tuner_device.h"
#include "device/tuner_protocol.h"
#include "virtual_card.h"

using testing::LoggedWord;
using testing::VirtualCard;

namespace {

std::vector<uint32_t> codes_of(const std::vector<CardLogEntry> &log)
{
    std::vector<uint32_t> codes;
    for (const CardLogEntry &entry : log)
        codes.push_back(entry.code);
    return codes;
}

// Ignores the RDS level exchanges of the thread timer, which may interleave.
std::vector<CardLogEntry> without_ticks(const std::vector<CardLogEntry> &log)
{
    std::vector<CardLogEntry> kept;
    for (const CardLogEntry &entry : log)
        if (entry.code != TUNER_RDS_LEVEL_TICK)
            kept.push_back(entry);
    return kept;
}

class CountingObserver : public TunerOpenedObserver {
public:
    void OnTunerOpened() override { ++calls; }
    int calls = 0;
};

const std::vector<uint32_t> kOpenSequence = {TUNER_SET_POWER, TUNER_START_RDS, TUNER_SET_MUTE};
const std::vector<uint32_t> kCloseSequence = {TUNER_STOP_RDS, TUNER_SET_POWER};

} // namespace

TEST_CASE("open powers the card, starts RDS and unmutes; close stops RDS and powers off")
{
    VirtualCard card;
    TunerDevice tuner;
    CountingObserver observer;
    tuner.SetOpenedObserver(&observer);

    tuner.open();
    REQUIRE(tuner.IsOpen());
    auto opened = without_ticks(card.Log());
    CHECK(codes_of(opened) == kOpenSequence);
    REQUIRE(opened.size() == 3);
    CHECK(LoggedWord(opened[0]) == 1);
    CHECK(opened[1].inputSize == 0);
    CHECK(opened[1].outputSize == 0);
    CHECK(LoggedWord(opened[2]) == 0);
    CHECK(observer.calls == 1);
    CHECK(card.State().power == 1);
    CHECK(card.State().rdsRunning == 1);

    card.ClearLog();
    tuner.close();
    CHECK_FALSE(tuner.IsOpen());
    auto closed = without_ticks(card.Log());
    CHECK(codes_of(closed) == kCloseSequence);
    REQUIRE(closed.size() == 2);
    CHECK(LoggedWord(closed[1]) == 0);
    CHECK(card.State().power == 0);

    card.ClearLog();
    tuner.close(); // a second close does nothing
    CHECK(card.Log().empty());
    for (int i = 0; i < 100 && card.State().openHandles != 0; ++i)
        Sleep(10);
    CHECK(card.State().openHandles == 0);
}

TEST_CASE("open without a card sends nothing and tells no one")
{
    VirtualCard card;
    card.Pull();
    TunerDevice tuner;
    CountingObserver observer;
    tuner.SetOpenedObserver(&observer);
    tuner.open();
    CHECK_FALSE(tuner.IsOpen());
    CHECK(observer.calls == 0);
    CHECK(tuner.poll_card() == 0);
    CHECK(card.Log().empty());
}

TEST_CASE("poll_card reopens a closed card, closes a card that stops answering, and reopens it after insert")
{
    VirtualCard card;
    TunerDevice tuner;
    CountingObserver observer;
    tuner.SetOpenedObserver(&observer);

    CHECK(tuner.poll_card() == 1); // closed: discovery and open first
    auto first = without_ticks(card.Log());
    CHECK(codes_of(first) == std::vector<uint32_t>{TUNER_SET_POWER, TUNER_START_RDS, TUNER_SET_MUTE, TUNER_POLL_CARD});
    CHECK(first.back().inputSize == 4);
    CHECK(first.back().outputSize == 4);
    CHECK(LoggedWord(first.back()) == 0);
    CHECK(observer.calls == 1);

    card.ClearLog();
    CHECK(tuner.poll_card() == 1);
    CHECK(codes_of(without_ticks(card.Log())) == std::vector<uint32_t>{TUNER_POLL_CARD});

    card.ClearLog();
    card.Pull();
    CHECK(tuner.poll_card() == 0);
    CHECK_FALSE(tuner.IsOpen());
    auto pulled = without_ticks(card.Log());
    // The failed poll, then the close's stop and power-off, which fail too.
    CHECK(codes_of(pulled) == std::vector<uint32_t>{TUNER_POLL_CARD, TUNER_STOP_RDS, TUNER_SET_POWER});
    for (const CardLogEntry &entry : pulled)
        CHECK(entry.success == 0);
    CHECK(tuner.poll_card() == 0); // still absent: discovery only, nothing sent
    CHECK(card.Log().size() == pulled.size());

    card.Insert();
    card.ClearLog();
    CHECK(tuner.poll_card() == 1);
    CHECK(codes_of(without_ticks(card.Log())) ==
          std::vector<uint32_t>{TUNER_SET_POWER, TUNER_START_RDS, TUNER_SET_MUTE, TUNER_POLL_CARD});
    CHECK(observer.calls == 2);
    tuner.close();
}

TEST_CASE("setters clamp and encode their values exactly")
{
    VirtualCard card;
    TunerDevice tuner;
    tuner.open();
    REQUIRE(tuner.IsOpen());
    card.ClearLog();

    struct Case {
        int result;
        uint32_t code;
        uint32_t inputSize;
        uint32_t sent;
    };
    const Case cases[] = {
        {tuner.set_search_level(7), TUNER_SET_SEARCH_LEVEL, 2, 3},
        {tuner.set_search_level(-1), TUNER_SET_SEARCH_LEVEL, 2, 0},
        {tuner.set_search_level(2), TUNER_SET_SEARCH_LEVEL, 2, 2},
        {tuner.set_mono(2), TUNER_SET_MONO, 4, 0},
        {tuner.set_mono(1), TUNER_SET_MONO, 4, 1},
        {tuner.set_mono(0), TUNER_SET_MONO, 4, 0},
        {tuner.set_stereo_noise_cancel(5), TUNER_SET_NOISE_CANCEL, 4, 1},
        {tuner.set_stereo_noise_cancel(0), TUNER_SET_NOISE_CANCEL, 4, 0},
        {tuner.set_band(1), TUNER_SET_BAND, 2, TUNER_BAND_USA},
        {tuner.set_band(2), TUNER_SET_BAND, 2, TUNER_BAND_EUROPE},
        {tuner.set_band(3), TUNER_SET_BAND, 2, TUNER_BAND_JAPAN},
        {tuner.set_band(0), TUNER_SET_BAND, 2, TUNER_BAND_EUROPE},
        {tuner.set_band(4), TUNER_SET_BAND, 2, TUNER_BAND_EUROPE},
        {tuner.set_band(0x10001), TUNER_SET_BAND, 2, TUNER_BAND_USA},
        {tuner.set_frequency(1075), TUNER_SET_FREQUENCY, 4, 1075},
        {tuner.set_frequency(-2), TUNER_SET_FREQUENCY, 4, 0xFFFFFFFEu},
        {tuner.set_mute(1), TUNER_SET_MUTE, 4, 1},
        {tuner.set_volume(79), TUNER_SET_VOLUME, 4, 79},
        {tuner.set_power(1), TUNER_SET_POWER, 4, 1},
    };
    auto log = without_ticks(card.Log());
    REQUIRE(log.size() == sizeof(cases) / sizeof(cases[0]));
    for (size_t i = 0; i < log.size(); ++i) {
        CAPTURE(i);
        CHECK(cases[i].result == 1);
        CHECK(log[i].code == cases[i].code);
        CHECK(log[i].inputSize == cases[i].inputSize);
        CHECK(log[i].outputSize == 0);
        uint32_t sent = cases[i].inputSize == 2 ? (log[i].input[0] | (log[i].input[1] << 8)) : LoggedWord(log[i]);
        CHECK(sent == cases[i].sent);
        CHECK(log[i].success == 1);
    }
    CardState state = card.State();
    CHECK(state.searchLevel == 2);
    CHECK(state.volume == 79);
    CHECK(state.mute == 1);
    tuner.close();
}

TEST_CASE("without a handle no setter sends anything")
{
    VirtualCard card;
    TunerDevice tuner;
    CHECK(tuner.set_power(1) == 0);
    CHECK(tuner.set_frequency(900) == 0);
    CHECK(tuner.set_search_level(1) == 0);
    CHECK(tuner.set_mono(1) == 0);
    CHECK(tuner.set_stereo_noise_cancel(1) == 0);
    CHECK(tuner.is_stereo() == 0);
    CHECK(tuner.set_band(1) == 0); // tried, and failed for want of a card
    CHECK(tuner.set_mute(1) == 0);
    CHECK(tuner.set_volume(60) == 0);
    CHECK(tuner.start_rds() == 0);
    CHECK(tuner.stop_rds() == 0);
    CHECK(card.Log().empty());
    CHECK(card.State().openHandles == 0);
}

TEST_CASE("seek steps send both direction words and keep the continue word")
{
    VirtualCard card;
    card.LoadScenario("seek_step 5\nstation 891 stereo\nstation 953 stereo\n");
    TunerDevice tuner;
    tuner.open();
    REQUIRE(tuner.IsOpen());
    tuner.set_frequency(880);
    card.ClearLog();

    CHECK(tuner.seek_up() == 885);
    CHECK(tuner.searchContinues == 1);
    CHECK(tuner.seek_up() == 890);
    CHECK(tuner.seek_up() == 891);
    CHECK(tuner.searchContinues == 0);
    CHECK(tuner.seek_down() == 886);
    CHECK(tuner.searchContinues == 2);

    auto seeks = card.LogOf(TUNER_SEEK);
    REQUIRE(seeks.size() == 4);
    for (size_t i = 0; i < seeks.size(); ++i) {
        uint32_t direction = i < 3 ? 1 : 0;
        CHECK(seeks[i].inputSize == 8);
        CHECK(seeks[i].outputSize == 8);
        CHECK(LoggedWord(seeks[i], 0) == direction);
        CHECK(LoggedWord(seeks[i], 4) == direction);
    }

    SUBCASE("a step the card refuses ends the search where the card was")
    {
        REQUIRE(card.Control().FailCode(TUNER_SEEK, true));
        CHECK(tuner.seek_up() == 886);
        CHECK(tuner.searchContinues == 0);
    }
    SUBCASE("without a handle a step returns 0 and leaves the continue word")
    {
        tuner.close();
        tuner.searchContinues = 2;
        card.ClearLog();
        CHECK(tuner.seek_up() == 0);
        CHECK(tuner.seek_down() == 0);
        CHECK(tuner.searchContinues == 2);
        CHECK(card.Log().empty());
    }
    tuner.close();
}

TEST_CASE("is_stereo returns the card's word, and 0 when the card refuses")
{
    VirtualCard card;
    card.LoadScenario("station 900 stereo\n");
    TunerDevice tuner;
    tuner.open();
    tuner.set_frequency(900);
    CHECK(tuner.is_stereo() == 1);
    tuner.set_mono(1);
    CHECK(tuner.is_stereo() == 0);
    tuner.set_mono(2);
    CHECK(tuner.is_stereo() == 1);
    REQUIRE(card.Control().FailCode(TUNER_IS_STEREO, true));
    CHECK(tuner.is_stereo() == 0);
    auto asks = card.LogOf(TUNER_IS_STEREO);
    REQUIRE(asks.size() == 4);
    CHECK(asks.back().inputSize == 4);
    CHECK(asks.back().outputSize == 4);
    tuner.close();
}
