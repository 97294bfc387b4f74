// RDS groups to text: PI confirmed by repeats, the name (0A/0B) shown after
// a second reception agrees, RadioText (2A/2B) at its end mark or when full,
// the A/B flag, never a partial or mixed text, the Windows-1252 letters,
// and the queue that hands out whole receptions.
#include <doctest.h>

#include <cstring>
#include <string>

#include "rds_vectors.h"
#include "sdr/rds_charset.h"
#include "sdr/rds_groups.h"
#include "sdr/rds_text_queue.h"

using namespace rds_vectors;

namespace {

// Groups as the block layer hands them on, and what a listener gets.
struct Station {
    sdr::RdsTextQueue queue;
    sdr::RdsGroupDecoder decoder{queue};
    uint32_t sequence = 8;

    // `lost`: the block that did not arrive (-1: none). `sure`: no block needed correction.
    void Send(const Group &group, bool sure = true, int lost = -1)
    {
        const uint16_t words[4] = {group.a, group.b, group.c, group.d};
        const bool versionB = (group.b >> 11 & 1) != 0;
        for (int i = 0; i < 4; ++i) {
            sdr::RdsBlock block;
            block.sequence = sequence++;
            block.good = i != lost;
            block.data = block.good ? words[i] : 0;
            block.corrected = block.good && !sure;
            block.cPrime = i == 2 && versionB;
            block.sure = block.good && sure;
            decoder.OnBlock(block);
        }
    }
    template <size_t N> void SendAll(const Group (&groups)[N])
    {
        for (const Group &group : groups)
            Send(group);
    }
    std::string Take(size_t capacity = 127)
    {
        char text[512];
        const size_t length = queue.Take(text, capacity);
        return std::string(text, length);
    }
};

Group name_group(uint16_t pi, int segment, const char *two)
{
    return {pi, static_cast<uint16_t>(0x0000 | segment), 0xE0CD,
            static_cast<uint16_t>(static_cast<uint8_t>(two[0]) << 8 | static_cast<uint8_t>(two[1]))};
}

Group text_group(uint16_t pi, bool flagB, int segment, const char *four)
{
    auto word = [](const char *two) {
        return static_cast<uint16_t>(static_cast<uint8_t>(two[0]) << 8 | static_cast<uint8_t>(two[1]));
    };
    return {pi, static_cast<uint16_t>(0x2000 | (flagB ? 0x10 : 0) | segment), word(four), word(four + 2)};
}

void send_name(Station &station, uint16_t pi, const char *name)
{
    for (int segment = 0; segment < 4; ++segment)
        station.Send(name_group(pi, segment, name + 2 * segment));
}

} // namespace

TEST_CASE("groups: a name shows once a second reception agrees, and each reception after")
{
    Station station;
    station.SendAll(YleX3m);
    CHECK(station.decoder.Pi() == 0x6204); // three repeats
    CHECK(station.decoder.Pty() == 9);
    CHECK(std::string(station.decoder.Name()).empty());
    CHECK(station.Take().empty());

    for (int i = 0; i < 3; ++i) {
        station.Send(YleX3m[i]);
        CHECK(std::string(station.decoder.Name()).empty());
    }
    station.Send(YleX3m[3]);
    CHECK(std::string(station.decoder.Name()) == "YLE X3M ");
    CHECK(station.Take() == "YLE X3M ");
    station.SendAll(YleX3m);
    station.SendAll(YleX3m);
    CHECK(station.Take() == "YLE X3M YLE X3M ");

    // 0B: block C repeats the PI with offset C'.
    Station krka;
    krka.SendAll(KrkaName);
    krka.SendAll(KrkaName);
    CHECK(std::string(krka.decoder.Name()) == "  KRKA  ");
    CHECK(krka.Take() == "KRKA ");
    CHECK(krka.decoder.Pi() == 0x9423);
}

TEST_CASE("groups: a name that changes is never shown mixed, and a lost block delays it")
{
    Station station;
    send_name(station, 0x5401, "ABCDEFGH");
    send_name(station, 0x5401, "ABCDEFGH");
    CHECK(std::string(station.decoder.Name()) == "ABCDEFGH");
    CHECK(station.Take() == "ABCDEFGH ");

    // A dynamic name: each segment set a station scrolls through shows only once seen whole twice.
    station.Send(name_group(0x5401, 0, "AB"));
    station.Send(name_group(0x5401, 1, "CD"));
    station.Send(name_group(0x5401, 2, "XY")); // changed: the collection starts again here
    station.Send(name_group(0x5401, 3, "ZW"));
    station.Send(name_group(0x5401, 0, "AB"));
    station.Send(name_group(0x5401, 1, "CD"));
    CHECK(std::string(station.decoder.Name()) == "ABCDEFGH"); // one reception of the new name so far
    CHECK(station.Take().empty());
    send_name(station, 0x5401, "ABCDXYZW");
    CHECK(std::string(station.decoder.Name()) == "ABCDXYZW");
    CHECK(station.Take() == "ABCDXYZW ");

    // A group whose block D is lost carries no name characters.
    Station lossy;
    lossy.Send(name_group(0x5401, 0, "NE"));
    lossy.Send(name_group(0x5401, 1, "WS"), true, 3);
    lossy.Send(name_group(0x5401, 2, "  "));
    lossy.Send(name_group(0x5401, 3, "  "));
    send_name(lossy, 0x5401, "NEWS    ");
    CHECK(std::string(lossy.decoder.Name()).empty());
    send_name(lossy, 0x5401, "NEWS    ");
    CHECK(std::string(lossy.decoder.Name()) == "NEWS    ");
}

TEST_CASE("groups: a new PI counts after three repeats and clears the old station's text")
{
    Station station;
    station.SendAll(YleX3m);
    station.SendAll(YleX3m);
    // Another PI: its groups are not this station's text until it counts.
    station.SendAll(Jack969);
    CHECK(station.decoder.Pi() == 0xC954);
    CHECK(std::string(station.decoder.Name()).empty());
    CHECK(std::string(station.decoder.RadioText()).empty());
    station.SendAll(Jack969);
    CHECK(std::string(station.decoder.RadioText()) == "JACK 96.9");

    Station steady;
    steady.SendAll(YleX3m);
    steady.SendAll(YleX3m);
    // One or two bad PIs (a block the checkword let through) change nothing.
    steady.Send({0x1234, 0x0130, 0x966B, 0x594C});
    steady.Send(YleX3m[1]);
    steady.Send({0x1234, 0x0132, 0xE472, 0x5833});
    steady.Send({0x1234, 0x0137, 0x966B, 0x4D20});
    CHECK(steady.decoder.Pi() == 0x6204);
    CHECK(std::string(steady.decoder.Name()) == "YLE X3M ");
    // PI 0 is never a station's.
    for (int i = 0; i < 4; ++i)
        steady.Send({0x0000, 0x0130, 0x966B, 0x594C});
    CHECK(steady.decoder.Pi() == 0x6204);
    CHECK(std::string(steady.decoder.Name()) == "YLE X3M ");
}

TEST_CASE("groups: RadioText at its end mark or when full, 2A and 2B")
{
    Station jack;
    jack.Send(Jack969[0]);
    jack.Send(Jack969[1]);
    CHECK(std::string(jack.decoder.RadioText()).empty());
    jack.Send(Jack969[2]);
    CHECK(std::string(jack.decoder.RadioText()) == "JACK 96.9");
    CHECK(jack.Take() == "JACK 96.9 ");

    Station fancy;
    for (size_t i = 0; i < 15; ++i)
        fancy.Send(FancyBolero[i]);
    CHECK(std::string(fancy.decoder.RadioText()).empty());
    fancy.Send(FancyBolero[15]);
    CHECK(std::string(fancy.decoder.RadioText()) == "FANCY - Bolero");

    Station krka;
    krka.SendAll(KrkaText);
    CHECK(std::string(krka.decoder.RadioText()) == "PRIJETNO POSLUSANJE RADIA KRKA");

    // Ended and then padded: complete at the end mark, once a cycle.
    Station superstars;
    for (size_t i = 0; i < 6; ++i)
        superstars.Send(Superstars[i]);
    CHECK(std::string(superstars.decoder.RadioText()) == "Superstars & Superhits");
    for (size_t i = 6; i < 16; ++i)
        superstars.Send(Superstars[i]);
    CHECK(superstars.Take() == "Superstars & Superhits ");
    superstars.SendAll(Superstars);
    CHECK(superstars.Take() == "Superstars & Superhits ");

    // A full text sent twice: two receptions.
    Station nova;
    nova.SendAll(RadioNova);
    nova.SendAll(RadioNova);
    CHECK(std::string(nova.decoder.RadioText()) == RadioNovaText);
    CHECK(nova.Take(200) == std::string(RadioNovaText) + " " + RadioNovaText + " ");
}

TEST_CASE("groups: the A/B flag clears the text, and texts are never mixed")
{
    Station station;
    for (size_t i = 0; i < 9; ++i)
        station.Send(MessageChanges[i]);
    CHECK(std::string(station.decoder.RadioText()) == "GIRLS' GENERATION - Run devil run");
    station.Send(MessageChanges[9]); // flag flipped: the old text goes at once
    CHECK(std::string(station.decoder.RadioText()).empty());
    for (size_t i = 10; i < 15; ++i)
        station.Send(MessageChanges[i]);
    CHECK(std::string(station.decoder.RadioText()) == "Papananaaman K-pop-show");
    CHECK(station.Take() == "GIRLS' GENERATION - Run devil run Papananaaman K-pop-show ");

    // A doubtful block with the other flag (a correction gone wrong) clears nothing.
    station.Send(text_group(0x6202, true, 0, "Papa"), false);
    CHECK(std::string(station.decoder.RadioText()) == "Papananaaman K-pop-show");
    station.Send(MessageChanges[9]);
    station.Send(text_group(0x6202, true, 0, "Papa"), false);
    station.Send(text_group(0x6202, true, 1, "nana"), false);
    CHECK(std::string(station.decoder.RadioText()).empty()); // twice in a row: a new text

    // A text changed mid-cycle without a flip: the old segments are not reused.
    Station unflipped;
    unflipped.Send(text_group(0x5401, false, 0, "OLD "));
    unflipped.Send(text_group(0x5401, false, 1, "TEXT"));
    unflipped.Send(text_group(0x5401, false, 2, "ONE\r"));
    unflipped.Send(text_group(0x5401, false, 0, "OLD "));
    unflipped.Send(text_group(0x5401, false, 1, "NEWS")); // the change
    unflipped.Send(text_group(0x5401, false, 2, "TWO\r"));
    CHECK(std::string(unflipped.decoder.RadioText()) == "OLD TEXTONE");
    unflipped.Send(text_group(0x5401, false, 0, "NEW "));
    CHECK(std::string(unflipped.decoder.RadioText()) == "NEW NEWSTWO");
    CHECK(unflipped.Take() == "OLD TEXTONE NEW NEWSTWO ");

    // 2A and 2B segments never meet in one text.
    Station versions;
    versions.Send(text_group(0x5401, false, 0, "ABCD"));
    versions.Send({0x5401, 0x2801, 0x5401, 0x0D20}); // 2B segment 1: an end mark
    versions.Send(text_group(0x5401, false, 1, "EF\r "));
    CHECK(std::string(versions.decoder.RadioText()).empty());
    versions.Send(text_group(0x5401, false, 0, "ABCD"));
    CHECK(std::string(versions.decoder.RadioText()) == "ABCDEF");
}

TEST_CASE("groups: a doubtful segment waits for a second reception")
{
    // Block C of the second group needed correction: its characters count
    // only when they come again the same.
    Station station;
    station.Send(Jack969[0]);
    station.Send(Jack969[1], false);
    station.Send(Jack969[2]);
    CHECK(std::string(station.decoder.RadioText()).empty());
    station.Send({0xC954, 0x24F1, 0x2039, 0x362F}, false); // a wrong correction: " 96/"
    station.Send(Jack969[0]);
    CHECK(std::string(station.decoder.RadioText()).empty());
    station.Send(Jack969[1], false);
    CHECK(std::string(station.decoder.RadioText()).empty());
    station.Send(Jack969[2]);
    CHECK(std::string(station.decoder.RadioText()).empty()); // " 96." once, " 96/" once: neither yet
    station.Send(Jack969[1], false);
    station.Send(Jack969[2]);
    CHECK(std::string(station.decoder.RadioText()) == "JACK 96.9");
    CHECK(station.Take() == "JACK 96.9 ");
}

TEST_CASE("groups: the RDS character table in Windows-1252, control codes never")
{
    Station vega;
    vega.SendAll(VegaKvall);
    CHECK(std::string(vega.decoder.RadioText()) == "Vega Kv\xE4ll");

    struct Letter {
        uint8_t code;
        char windows;
    };
    const Letter letters[] = {
        {'A', 'A'},    {0x24, '\xA4'}, {0x7E, '\xAF'}, {0x80, '\xE1'}, {0x8D, '\xDF'}, {0x91, '\xE4'},
        {0xA9, '\x80'}, {0xAB, '$'},   {0xBF, '\xA7'}, {0xCC, '\x8A'}, {0xE3, '\x8C'}, {0xF3, '\x9C'},
        {0xA1, '?'},   {0xAC, '?'},    {0x0A, ' '},    {0x0D, ' '},    {0x1F, ' '},    {0x00, ' '},
    };
    for (const Letter &letter : letters) {
        CAPTURE(static_cast<int>(letter.code));
        CHECK(sdr::rds_character(letter.code) == letter.windows);
    }
    for (int code = 0; code < 256; ++code) {
        const auto windows = static_cast<uint8_t>(sdr::rds_character(static_cast<uint8_t>(code)));
        CHECK(windows >= 0x20); // no control character, no NUL
    }

    // Control codes inside a text become spaces; the queue drops them at the ends.
    Station controls;
    controls.Send(text_group(0x5401, false, 0, "\x0A" "AB\x0B"));
    controls.Send(text_group(0x5401, false, 1, "C\r  "));
    CHECK(std::string(controls.decoder.RadioText()) == " AB C");
    CHECK(controls.Take() == "AB C ");
}

TEST_CASE("groups: the text queue hands out whole receptions, oldest first, within bounds")
{
    sdr::RdsTextQueue queue;
    char out[512];
    CHECK(queue.Take(out, sizeof out) == 0);

    queue.Put("  FIRST  ");
    queue.Put("");
    queue.Put("SECOND ONE");
    // Never a reception cut in two: what does not fit waits for the next call.
    CHECK(queue.Take(out, 8) == 6);
    CHECK(std::string(out, 6) == "FIRST ");
    CHECK(queue.Take(out, 10) == 0);
    CHECK(queue.Take(out, 11) == 11);
    CHECK(std::string(out, 11) == "SECOND ONE ");

    // Full: the oldest whole receptions go.
    for (int i = 0; i < 40; ++i)
        queue.Put(("text " + std::to_string(i)).c_str());
    const size_t length = queue.Take(out, sizeof out);
    std::string expected;
    for (int i = 40 - static_cast<int>(sdr::RdsTextQueue::Slots); i < 40; ++i)
        expected += "text " + std::to_string(i) + " ";
    CHECK(std::string(out, length) == expected);

    // A 64-character text always fits the card's 127 bytes.
    const std::string longest(64, 'x');
    queue.Put(longest.c_str());
    queue.Put(longest.c_str());
    CHECK(queue.Take(out, 127) == 65);
    CHECK(queue.Take(out, 127) == 65);
    queue.Put("gone");
    queue.Clear();
    CHECK(queue.Take(out, 127) == 0);
}
