// The card failing the radio: pulled in the middle of a search, a preset
// recall or a preset store, and every request of one kind refused. In each
// the radio keeps running, loses none of the user's settings, and takes the
// card back when it returns: reopened, volume and frequency sent again.
#include <doctest.h>

#include "reliability_story.h"
#include "scripted_actions.h"

using namespace radio_test;
using reliability_test::ExpectOrderlyEnd;
using reliability_test::StoredPreset;
using testing::RadioProgram;

namespace {

// Inserts the card and waits until the radio has reopened it, powered it
// first and sent the volume and a frequency again; returns that frequency.
int32_t insert_and_await_retune(RadioStory &story)
{
    REQUIRE(InsertAndAwaitRetune(story, -1, 71));
    const std::vector<std::string> commands = story.Commands();
    REQUIRE_MESSAGE(commands.size() >= 3, testing::Join(commands));
    CHECK_MESSAGE(commands[0] == "set_power(1)", testing::Join(commands));
    return static_cast<int32_t>(testing::LoggedWord(story.card.LogOf(TUNER_SET_FREQUENCY).back()));
}

} // namespace

TEST_CASE_FIXTURE(RadioStory, "the card pulled at an awkward moment")
{
    settings.Create();
    std::vector<int32_t> presets(18, 0);
    presets[0] = 1017;
    settings.Set("PresetChannel", REG_BINARY, testing::Bytes(presets));
    settings.SetNumber("CurrentFrequency", 880);
    RadioProgram radio;
    StartActive(radio);
    StartListening();

    SUBCASE("during a search: it ends where it was or goes on to the station, and the sound comes back")
    {
        radio.Click(Middle(AutoSearch).x, Middle(AutoSearch).y);
        radio.Click(Middle(TuneUp).x, Middle(TuneUp).y);
        REQUIRE(AwaitRequests(TUNER_SEEK, 1).size() == 1);
        REQUIRE(PullAndAwaitRelease(*this));
        Sleep(300); // steps without a card change nothing
        CHECK(Sync(radio.Window()));
        insert_and_await_retune(*this);
        // A step that met the pulled card ended the search at 88.5; one
        // that found no handle left it running, and it resumes to 89.1.
        CHECK(testing::WaitUntil(
            [&] {
                const CardState state = card.State();
                return (state.frequency == 885 || state.frequency == 891) && state.mute == 0;
            },
            8000));
        const int32_t reached = card.State().frequency;
        ExpectOrderlyEnd(*this, radio);
        CHECK(settings.Number("CurrentFrequency") == reached);
    }

    SUBCASE("during a preset recall: the card comes back on the preset, unmuted")
    {
        radio.Click(Middle(Presets[0]).x, Middle(Presets[0]).y);
        // The recall's pre-tune: the radio now waits 300 ms with the card muted.
        REQUIRE(AwaitRequestsWith(TUNER_SET_FREQUENCY, 1015, 1).size() == 1);
        REQUIRE(PullAndAwaitRelease(*this));
        CHECK(insert_and_await_retune(*this) == 1017);
        CHECK(testing::WaitUntil([&] { return card.State().mute == 0 && card.State().frequency == 1017; }));
        ExpectOrderlyEnd(*this, radio);
        CHECK(StoredPreset(settings, 1) == 1017);
        CHECK(settings.Number("CurrentFrequency") == 1017);
    }

    SUBCASE("during a preset store: the stored preset is kept")
    {
        radio.Tap(VK_RIGHT); // 88.1
        radio.KeyDown('2');
        // The store has happened once the recall that follows it pre-tunes.
        REQUIRE(AwaitRequestsWith(TUNER_SET_FREQUENCY, 879, 1, 5000).size() == 1);
        REQUIRE(PullAndAwaitRelease(*this));
        radio.KeyUp('2');
        CHECK(insert_and_await_retune(*this) == 881);
        ExpectOrderlyEnd(*this, radio);
        CHECK(StoredPreset(settings, 2) == 881);
        CHECK(StoredPreset(settings, 1) == 1017);
    }

    SUBCASE("before a preset store: nothing is stored while the card is out")
    {
        REQUIRE(PullAndAwaitRelease(*this));
        radio.KeyDown('3');
        Sleep(1500);
        radio.KeyUp('3');
        insert_and_await_retune(*this);
        ExpectOrderlyEnd(*this, radio);
        CHECK(StoredPreset(settings, 3) == 0);
    }
}

TEST_CASE_FIXTURE(RadioStory, "a failing seek ends the search where the card was")
{
    settings.SetNumber("CurrentFrequency", 953);
    RadioProgram radio;
    StartActive(radio);
    StartListening();
    radio.Click(Middle(AutoSearch).x, Middle(AutoSearch).y);
    REQUIRE(card.Control().FailCode(TUNER_SEEK, true));
    radio.Click(Middle(TuneUp).x, Middle(TuneUp).y);
    REQUIRE(AwaitRequests(TUNER_SEEK, 1).size() == 1);
    Sleep(500);
    // One step only, the sound back on, the card still on 95.3.
    CHECK(card.LogOf(TUNER_SEEK).size() == 1);
    CHECK(card.State().mute == 0);
    CHECK(card.State().frequency == 953);
    REQUIRE(card.Control().FailCode(TUNER_SEEK, false));
    ExpectOrderlyEnd(*this, radio);
    CHECK(settings.Number("CurrentFrequency") == 953);
}

TEST_CASE_FIXTURE(RadioStory, "every request of one kind refused")
{
    // Each code in turn; the user's fine step and volume step still end up
    // in the settings, except that a card refusing its liveness poll counts
    // as absent, and then the scale does not move.
    for (const TunerRequestLayout &layout : TunerRequestLayouts) {
        const std::string name = layout.name;
        CAPTURE(name);
        settings.SetNumber("CurrentFrequency", 1017);
        settings.SetNumber("CurrentVolume", 71);
        REQUIRE(card.Control().Reset()); // and an empty log
        REQUIRE(card.Control().FailCode(layout.code, true));
        const auto refused = [&] {
            for (const CardLogEntry &entry : card.LogOf(layout.code))
                if (!entry.success)
                    return true;
            return false;
        };
        bool metRunning = false;
        {
            RadioProgram radio;
            REQUIRE(radio.Window());
            // The watch has polled once: a refused poll has made the card absent.
            REQUIRE(AwaitRequests(TUNER_POLL_CARD, 1).size() >= 1);
            SendTap(radio.Window(), VK_RIGHT);
            SendTap(radio.Window(), VK_UP);
            SendClick(radio.Window(), Middle(Mute));
            SendClick(radio.Window(), Middle(Mute));
            // The lamps' and the watch's timers meet the failure, within a
            // second; a request sent only at the end meets it at the close.
            metRunning = testing::WaitUntil(refused, 1000);
            ExpectOrderlyEnd(*this, radio);
        }
        CHECK(settings.Number("CurrentFrequency") == (layout.code == TUNER_POLL_CARD ? 1017 : 1018));
        CHECK(settings.Number("CurrentVolume") == 72);
        // Every refused request was really sent and refused. Nothing here
        // asks for RDS text, a band or a seek.
        if (layout.code != TUNER_READ_RDS_TEXT && layout.code != TUNER_SET_BAND && layout.code != TUNER_SEEK)
            CHECK_MESSAGE((metRunning || refused()), "the card saw " << testing::Join(testing::AllRequests(card.Log())));
    }
    REQUIRE(card.Control().Reset());
}

TEST_CASE_FIXTURE(RadioStory, "seek answers outside the band or with a garbage continue word")
{
    struct Outside {
        const char *story;
        int32_t from;
        const char *answers;
        RECT button;
        int32_t edge;
    };
    const Outside cases[] = {
        {"above the band: the search ends on its top edge", 1070, "1090,1 1200,0", TuneUp, 1080},
        {"negative: the search ends on its bottom edge", 953, "890,2 -5,0", TuneDown, 880},
        {"a huge step ends on the nearer edge", 900, "1000000,0", TuneUp, 1080},
    };
    for (const Outside &outside : cases) {
        SUBCASE(outside.story)
        {
            card.LoadScenario(std::string("seek_answers ") + outside.answers + "\n");
            settings.SetNumber("CurrentFrequency", outside.from);
            RadioProgram radio;
            StartActive(radio);
            StartListening();
            radio.Click(Middle(AutoSearch).x, Middle(AutoSearch).y);
            radio.Click(Middle(outside.button).x, Middle(outside.button).y);
            REQUIRE(testing::WaitUntil([&] { return card.State().mute == 0 && !card.LogOf(TUNER_SEEK).empty(); }));
            Sleep(300);
            // Tuned once, at the end, to the edge exactly.
            const std::vector<CardLogEntry> tunings = card.LogOf(TUNER_SET_FREQUENCY);
            REQUIRE_MESSAGE(tunings.size() == 1, testing::Join(Commands()));
            CHECK(static_cast<int32_t>(testing::LoggedWord(tunings[0])) == outside.edge);
            CHECK(card.State().frequency == outside.edge);
            ExpectOrderlyEnd(*this, radio);
            CHECK(settings.Number("CurrentFrequency") == outside.edge);
        }
    }

    SUBCASE("a continue word of 7 neither steps on nor ends: a key ends it, untuned")
    {
        card.LoadScenario("station 1017\nseek_answers 931,7\n");
        settings.SetNumber("CurrentFrequency", 953);
        RadioProgram radio;
        StartActive(radio);
        StartListening();
        radio.Click(Middle(AutoSearch).x, Middle(AutoSearch).y);
        radio.Click(Middle(TuneDown).x, Middle(TuneDown).y);
        REQUIRE(AwaitRequests(TUNER_SEEK, 1).size() == 1);
        // Only 1 and 2 name a next step: the ticks pass with the card muted.
        Sleep(600);
        CHECK(card.LogOf(TUNER_SEEK).size() == 1);
        CHECK(card.LogOf(TUNER_SET_FREQUENCY).empty());
        CHECK(card.State().mute == 1);
        CHECK(Sync(radio.Window()));
        radio.Tap(VK_SPACE);
        CHECK(testing::WaitUntil([&] { return card.State().mute == 0; }));
        Sleep(300);
        CHECK(card.LogOf(TUNER_SEEK).size() == 1);
        CHECK(card.LogOf(TUNER_SET_FREQUENCY).empty());
        CHECK(card.State().frequency == 953);
        // The answers used up, the next search runs normally: 95.3 to 101.7.
        radio.Click(Middle(TuneUp).x, Middle(TuneUp).y);
        CHECK(testing::WaitUntil(
            [&] { return card.State().frequency == 1017 && card.State().mute == 0; }, 8000));
        ExpectOrderlyEnd(*this, radio);
        CHECK(settings.Number("CurrentFrequency") == 1017);
    }
}
