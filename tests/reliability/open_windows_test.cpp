// The radio with one of its other windows open when the card misbehaves:
// RDS answers that fill the whole answer, carry no NUL, or carry binary
// bytes; and the card pulled under the RDS window, the Settings dialog and
// the About box. The window shows only what the card answered, by the same
// rules as ordinary text; the dialog still works, and the card is taken
// back when it returns.
#include <doctest.h>

#include <cstdio>

#include "dialog_story.h"
#include "reliability_story.h"
#include "scripted_actions.h"

using namespace dialog_test;
using namespace radio_test;
using reliability_test::ExpectOrderlyEnd;
using testing::RadioProgram;

namespace {

constexpr int RdsStation = 891;
constexpr size_t Answer = TUNER_RDS_TEXT_BYTES; // 127 bytes each
constexpr size_t Shown = 300;

// The station's text as four full answers: printable, control bytes, a NUL
// inside (the rest of that answer is cut), high bytes. None ends in a NUL.
std::string station_bytes()
{
    std::string bytes;
    for (size_t at = 0; at < Answer; ++at)
        bytes.push_back(static_cast<char>('a' + at % 26));
    for (size_t at = 0; at < Answer; ++at)
        bytes.push_back(static_cast<char>(0x01 + at));
    bytes += std::string(60, 'B') + '\0' + std::string(Answer - 61, 'C');
    // From 0xA0 on: Wine 8's edit control itself faults on long runs of
    // 0x80..0x9F, whoever shows them.
    for (size_t at = 0; at < Answer; ++at)
        bytes.push_back(static_cast<char>(0xA0 + at % 0x5F));
    return bytes;
}

std::string escaped(const std::string &bytes)
{
    std::string text;
    for (unsigned char byte : bytes) {
        char escape[8];
        std::snprintf(escape, sizeof(escape), "\\x%02X", byte);
        text += escape;
    }
    return text;
}

std::string last(const std::string &text, size_t count)
{
    return text.size() > count ? text.substr(text.size() - count) : text;
}

size_t reads(RadioStory &story)
{
    return testing::Only(story.card.Log(), TUNER_READ_RDS_TEXT).size();
}

} // namespace

TEST_CASE_FIXTURE(RadioStory, "RDS answers that fill the answer, lack a NUL or carry binary bytes")
{
    card.LoadScenario("rds_chunk 127\nrds_repeat 0\nstation " + std::to_string(RdsStation) + " stereo rds text " +
                      escaped(station_bytes()) + "\n");
    settings.SetNumber("CurrentFrequency", RdsStation);
    RadioProgram radio;
    REQUIRE(radio.Window());
    HWND rds = OpenRdsWindow(radio);
    REQUIRE(rds);

    const std::vector<std::string> texts = RdsTextsAfterReads(rds, 6);
    // Each answer adds exactly its 127 bytes, or what precedes its NUL:
    // nothing beyond the answer, nothing of an earlier one.
    const std::string bytes = station_bytes();
    const std::string received = bytes.substr(0, 2 * Answer + 60);
    const std::string all = received + bytes.substr(3 * Answer, Answer);
    for (size_t tick = 0; tick < 3; ++tick)
        CHECK(texts[tick].compare(0, 9, "Receiving") == 0);
    CHECK(texts[3] == last(received, Shown));
    CHECK(texts[4] == last(all, Shown));
    CHECK(texts[5] == last(all, Shown));
    const std::vector<CardLogEntry> answers = testing::Only(card.Log(), TUNER_READ_RDS_TEXT);
    REQUIRE(answers.size() >= 4);
    for (size_t at = 0; at < 4; ++at)
        CHECK(answers[at].returnedSize == Answer);
    CHECK(IsWindowVisible(rds));
    ExpectOrderlyEnd(*this, radio);
    CHECK_FALSE(IsWindow(rds));
}

TEST_CASE_FIXTURE(RadioStory, "the card pulled while another window of the radio is open")
{
    SUBCASE("the RDS window: it runs on, and reads again once the card is back")
    {
        card.LoadScenario("rds_repeat 1\nstation " + std::to_string(RdsStation) + " stereo rds text Tavolin RDS. \n");
        settings.SetNumber("CurrentFrequency", RdsStation);
        RadioProgram radio;
        REQUIRE(radio.Window());
        HWND rds = OpenRdsWindow(radio);
        REQUIRE(rds);
        REQUIRE(PullAndAwaitRelease(*this));
        Sleep(1500); // a tick of the window without the card
        CHECK(IsWindowVisible(rds));
        CHECK(Commands().empty());
        CHECK(InsertAndAwaitRetune(*this, RdsStation, 71));
        CHECK(card.LogOf(TUNER_SET_VOLUME).size() == 1);
        CHECK(testing::WaitUntil([&] { return reads(*this) > 0; }, 3000));
        CHECK(IsWindowVisible(rds));
        ExpectOrderlyEnd(*this, radio);
        CHECK(settings.Number("CurrentFrequency") == RdsStation);
    }

    SUBCASE("the Settings dialog: OK sends nothing without the card and keeps the frequency")
    {
        settings.SetNumber("CurrentFrequency", 953);
        RadioProgram radio;
        StartActive(radio);
        ChooseMenuItem(radio, SettingsItem);
        HWND dialog = WaitForDialog(radio, "Settings");
        REQUIRE(dialog);
        REQUIRE(PullAndAwaitRelease(*this));
        ClickControl(radio, dialog, OkButton);
        REQUIRE(WaitGone(dialog));
        CHECK(Sync(radio.Window()));
        Sleep(300);
        CHECK(Commands().empty());
        CHECK(InsertAndAwaitRetune(*this, 953, 71));
        CHECK(card.LogOf(TUNER_SET_VOLUME).size() == 1);
        ExpectOrderlyEnd(*this, radio);
        CHECK(settings.Number("CurrentFrequency") == 953);
    }

    SUBCASE("the About box: it closes as ever")
    {
        settings.SetNumber("CurrentFrequency", 1017);
        RadioProgram radio;
        StartActive(radio);
        ChooseMenuItem(radio, AboutItem);
        HWND about = WaitForDialog(radio, "About");
        REQUIRE(about);
        REQUIRE(PullAndAwaitRelease(*this));
        Sleep(300);
        CHECK(InsertAndAwaitRetune(*this, 1017, 71));
        CHECK(card.LogOf(TUNER_SET_VOLUME).size() == 1);
        CHECK(IsWindowVisible(about));
        ClickControl(radio, about, OkButton);
        CHECK(WaitGone(about));
        ExpectOrderlyEnd(*this, radio);
        CHECK(settings.Number("CurrentFrequency") == 1017);
    }
}

