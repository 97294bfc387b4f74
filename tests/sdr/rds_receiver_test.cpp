// RDS from the multiplex: a generated station's name and RadioText come
// out exact on a clean signal, in time, with RDS in phase or in quadrature
// with the pilot or without a pilot at all; on a noisy signal whatever
// comes out is what was sent; the level; a retune; and the cost.
#include <doctest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "sdr/rds_receiver.h"
#include "sdrkit/rds_encoder.h"

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr double Rate = 240000;
constexpr size_t Block = 2400; // 10 ms, as the signal thread hands it on

const char *const Name = "TAVOLIN ";
const char *const Text = "Hello from the generated station - RadioText test 123";

// The multiplex at 240 kS/s, 1.0 = 75 kHz deviation: pilot 0.1 sin(theta),
// RDS 0.04 x the shaped biphase signal x sin(3 theta) (or cos), optional
// tones in the sum and stereo parts, white noise; with the pilot loop's
// phase as the chain hands it on (cos convention), or a phase running
// free at 19 kHz when the station has no pilot.
struct Multiplex {
    sdrkit::RdsEncoder encoder;
    sdrkit::RdsWaveform waveform{encoder};
    double theta = 0.3;
    double pilotHz = 19000;
    bool pilot = true;
    bool rds = true;
    bool quadrature = false;
    float noise = 0;  // RMS
    float audio = 0;  // each tone's peak
    double freeRunning = -1; // the receiver's own phase when the station has no pilot (-1: locked)
    double audioPhase = 0;
    uint64_t random = 0x9E3779B97F4A7C15ull;

    explicit Multiplex(const char *name = Name, const char *text = Text, uint16_t pi = 0xC201)
    {
        Programme(name, text, pi, false);
    }
    void Programme(const char *name, const char *text, uint16_t pi, bool flagB)
    {
        sdrkit::RdsProgramme programme;
        programme.pi = pi;
        programme.pty = 10;
        std::strcpy(programme.name, name);
        std::strcpy(programme.radioText, text);
        programme.textFlagB = flagB;
        encoder.SetProgramme(programme);
    }
    float Uniform()
    {
        random ^= random << 13;
        random ^= random >> 7;
        random ^= random << 17;
        return (static_cast<float>(random >> 40) + 0.5f) / 16777216.0f;
    }
    float Gaussian()
    {
        return std::sqrt(-2 * std::log(Uniform())) * static_cast<float>(std::cos(2 * Pi * Uniform()));
    }
    void Fill(float *mpx, uint32_t *phase, size_t count)
    {
        for (size_t i = 0; i < count; ++i) {
            float value = 0;
            if (rds) {
                const double carrier = quadrature ? std::cos(3 * theta) : std::sin(3 * theta);
                value += 0.04f * waveform.At(theta / (2 * Pi * 16)) * static_cast<float>(carrier);
            }
            if (pilot)
                value += 0.1f * static_cast<float>(std::sin(theta));
            if (audio > 0) {
                // 5 kHz in the sum, 3.7 kHz in the stereo part.
                value += audio * static_cast<float>(std::sin(audioPhase) +
                                                    std::sin(audioPhase * 0.74) * std::sin(2 * theta));
                audioPhase += 2 * Pi * 5000 / Rate;
            }
            if (noise > 0)
                value += noise * Gaussian();
            mpx[i] = value;
            const double own = freeRunning >= 0 ? freeRunning : theta - Pi / 2;
            const double turns = own / (2 * Pi) - std::floor(own / (2 * Pi));
            phase[i] = static_cast<uint32_t>(turns * 4294967296.0);
            theta += 2 * Pi * pilotHz / Rate;
            if (freeRunning >= 0)
                freeRunning += 2 * Pi * 19000 / Rate;
        }
    }
};

// What a listener gets from the receiver over some seconds of signal.
struct Listening {
    double firstName = -1;
    double firstText = -1;
    std::vector<std::string> receptions;
    std::vector<uint32_t> levels; // each second's
};

// Splits the taken text into receptions: each is one of the expected ones,
// followed by a space. Anything else goes in whole, as a wrong reception.
void split(const std::string &taken, const std::vector<std::string> &expected, std::vector<std::string> &into)
{
    size_t at = 0;
    while (at < taken.size()) {
        bool known = false;
        for (const std::string &one : expected)
            if (taken.compare(at, one.size() + 1, one + " ") == 0) {
                into.push_back(one);
                at += one.size() + 1;
                known = true;
                break;
            }
        if (!known) {
            into.push_back("WRONG: " + taken.substr(at));
            return;
        }
    }
}

Listening listen(sdr::RdsReceiver &receiver, Multiplex &multiplex, double seconds,
                 const std::vector<std::string> &expected = {"TAVOLIN", Text})
{
    Listening heard;
    std::vector<float> mpx(Block);
    std::vector<uint32_t> phase(Block);
    const int blocks = static_cast<int>(seconds * Rate / Block);
    for (int b = 1; b <= blocks; ++b) {
        multiplex.Fill(mpx.data(), phase.data(), Block);
        receiver.OnMpx(mpx.data(), phase.data(), Block);
        const double now = b * Block / Rate;
        if (heard.firstName < 0 && receiver.Name()[0])
            heard.firstName = now;
        if (heard.firstText < 0 && receiver.RadioText()[0])
            heard.firstText = now;
        if (b % 100 == 0) {
            heard.levels.push_back(receiver.Level());
            char text[127];
            split(std::string(text, receiver.TakeText(text, sizeof text)), expected, heard.receptions);
        }
    }
    return heard;
}

size_t count_of(const std::vector<std::string> &receptions, const std::string &one)
{
    size_t count = 0;
    for (const std::string &reception : receptions)
        count += reception == one ? 1 : 0;
    return count;
}

} // namespace

TEST_CASE("receiver: a clean signal gives the exact name and RadioText in time")
{
    struct Case {
        const char *what;
        bool quadrature;
        double freeRunningOffsetHz; // the station's pilot offset when it sends none (NAN: pilot)
        float audio;
    };
    const Case cases[] = {
        {"in phase with the pilot", false, NAN, 0},
        {"in quadrature with the pilot", true, NAN, 0},
        {"with loud stereo programme", false, NAN, 0.4f},
        {"no pilot, 57 kHz 6 Hz high", false, 2.0, 0},
        {"no pilot, 57 kHz 9 Hz low", true, -3.0, 0},
    };
    for (const Case &c : cases) {
        const std::string what = c.what;
        CAPTURE(what);
        Multiplex multiplex;
        multiplex.quadrature = c.quadrature;
        multiplex.audio = c.audio;
        if (!std::isnan(c.freeRunningOffsetHz)) {
            multiplex.pilot = false;
            multiplex.pilotHz = 19000 + c.freeRunningOffsetHz;
            multiplex.freeRunning = 1.0;
        }
        sdr::RdsReceiver receiver;
        const Listening heard = listen(receiver, multiplex, 8);
        MESSAGE(what << ": first name after " << heard.firstName << " s, first RadioText after "
                       << heard.firstText << " s");
        CHECK(std::string(receiver.Name()) == Name);
        CHECK(std::string(receiver.RadioText()) == Text);
        CHECK(receiver.Pi() == 0xC201);
        CHECK(receiver.Pty() == 10);
        CHECK(receiver.Level() == 1000);
        // A name takes eight name groups here (every other group): 1.31 s at the least.
        CHECK(heard.firstName > 0);
        CHECK(heard.firstName < 1.8);
        // The RadioText's 14 segments: 2.45 s at the least.
        CHECK(heard.firstText > 0);
        CHECK(heard.firstText < 3.0);
        CHECK(count_of(heard.receptions, "TAVOLIN") >= 8);
        CHECK(count_of(heard.receptions, Text) >= 2);
        CHECK(count_of(heard.receptions, "TAVOLIN") + count_of(heard.receptions, Text) == heard.receptions.size());
    }
}

TEST_CASE("receiver: on a noisy signal whatever comes out is what was sent")
{
    // Noise RMS 0.065 and 0.075 (of full deviation): about a quarter and half of the blocks fail.
    for (float noise : {0.065f, 0.075f}) {
        CAPTURE(noise);
        Multiplex multiplex;
        multiplex.noise = noise;
        sdr::RdsReceiver receiver;
        const Listening heard = listen(receiver, multiplex, 60);
        size_t wrong = 0;
        for (const std::string &reception : heard.receptions)
            if (reception != "TAVOLIN" && reception != Text) {
                ++wrong;
                MESSAGE(reception);
            }
        MESSAGE("noise " << noise << ": " << count_of(heard.receptions, "TAVOLIN") << " names, "
                         << count_of(heard.receptions, Text) << " RadioTexts in 60 s, first name after "
                         << heard.firstName << " s, " << receiver.BlocksCorrected() << " blocks corrected");
        CHECK(wrong == 0);
        CHECK(count_of(heard.receptions, "TAVOLIN") > 0);
        const std::string name = receiver.Name();
        CHECK((name.empty() || name == Name));
        const std::string text = receiver.RadioText();
        CHECK((text.empty() || text == Text));
    }
}

TEST_CASE("receiver: the level is 0 without RDS, full on a clean signal, and falls with noise")
{
    // No RDS: noise alone, or a pilot with loud programme.
    Multiplex silent;
    silent.rds = false;
    silent.noise = 0.05f;
    sdr::RdsReceiver quiet;
    Listening heard = listen(quiet, silent, 15);
    for (uint32_t level : heard.levels)
        CHECK(level == 0);
    CHECK(std::string(quiet.Name()).empty());
    CHECK(heard.receptions.empty());

    Multiplex music;
    music.rds = false;
    music.audio = 0.4f;
    sdr::RdsReceiver deaf;
    heard = listen(deaf, music, 10);
    for (uint32_t level : heard.levels)
        CHECK(level == 0);

    // The level over seconds 3 to 10 for each noise, and the block error rate it shows.
    uint32_t before = 1001;
    std::string table = "noise RMS | Eb/N0 | level (1000 x (1 - BLER))\n";
    for (float noise : {0.0f, 0.04f, 0.05f, 0.06f, 0.065f, 0.07f, 0.075f}) {
        Multiplex multiplex;
        multiplex.noise = noise;
        sdr::RdsReceiver receiver;
        heard = listen(receiver, multiplex, 10);
        uint32_t sum = 0;
        for (size_t s = 3; s < heard.levels.size(); ++s)
            sum += heard.levels[s];
        const uint32_t level = sum / static_cast<uint32_t>(heard.levels.size() - 3);
        // The RDS signal's power is 0.04^2 x 0.104 / 2; the noise's density is its power over 120 kHz.
        const double energyPerBit = 0.04 * 0.04 * 0.104 / 2 / 1187.5;
        const double ebN0 = noise > 0 ? 10 * std::log10(energyPerBit / (noise * noise / 120000)) : INFINITY;
        char row[80];
        std::snprintf(row, sizeof row, "%.3f | %.1f dB | %u\n", static_cast<double>(noise), ebN0, level);
        table += row;
        if (noise == 0.0f)
            CHECK(level == 1000);
        if (noise <= 0.05f)
            CHECK(level > 500);
        CHECK(level <= before);
        before = level;
    }
    MESSAGE(table);
    CHECK(before < 700);
}

TEST_CASE("receiver: a retune, a new station and a new RadioText never show the old text")
{
    Multiplex first;
    sdr::RdsReceiver receiver;
    listen(receiver, first, 4);
    REQUIRE(std::string(receiver.Name()) == Name);
    REQUIRE(std::string(receiver.RadioText()) == Text);

    receiver.Reset();
    char text[127];
    CHECK(std::string(receiver.Name()).empty());
    CHECK(std::string(receiver.RadioText()).empty());
    CHECK(receiver.Pi() == 0);
    CHECK(receiver.Level() == 0);
    CHECK(receiver.TakeText(text, sizeof text) == 0);

    // Another station on the new frequency.
    Multiplex second("RADIO 2 ", "Second station", 0xD302);
    Listening heard = listen(receiver, second, 4, {"RADIO 2", "Second station"});
    CHECK(std::string(receiver.Name()) == "RADIO 2 ");
    CHECK(std::string(receiver.RadioText()) == "Second station");
    CHECK(receiver.Pi() == 0xD302);
    CHECK(count_of(heard.receptions, "RADIO 2") + count_of(heard.receptions, "Second station") ==
          heard.receptions.size());

    // No retune, but the station's PI changes (another transmitter comes
    // in): the old name and text go once the new PI has repeated.
    second.Programme("THIRD   ", "Third text", 0xE403, false);
    heard = listen(receiver, second, 0.5, {"RADIO 2", "Second station", "THIRD", "Third text"});
    CHECK(receiver.Pi() == 0xE403);
    CHECK(std::string(receiver.Name()).empty());
    CHECK(std::string(receiver.RadioText()).empty());
    heard = listen(receiver, second, 4, {"THIRD", "Third text"});
    CHECK(std::string(receiver.Name()) == "THIRD   ");
    CHECK(std::string(receiver.RadioText()) == "Third text");
    CHECK(count_of(heard.receptions, "THIRD") + count_of(heard.receptions, "Third text") == heard.receptions.size());

    // A new RadioText with the A/B flag flipped.
    second.Programme("THIRD   ", "Another song", 0xE403, true);
    heard = listen(receiver, second, 3, {"THIRD", "Third text", "Another song"});
    CHECK(std::string(receiver.RadioText()) == "Another song");
    CHECK(count_of(heard.receptions, "Another song") >= 1);
    for (const std::string &reception : heard.receptions)
        CHECK(reception.compare(0, 6, "WRONG:") != 0);
}

TEST_CASE("receiver: samples that are not numbers count as silence")
{
    Multiplex multiplex;
    sdr::RdsReceiver receiver;
    listen(receiver, multiplex, 3);
    std::vector<float> garbage(Block);
    std::vector<uint32_t> phase(Block, 0x12345678);
    for (size_t i = 0; i < Block; ++i)
        garbage[i] = i % 3 == 0 ? NAN : i % 3 == 1 ? INFINITY : -1e30f;
    receiver.OnMpx(garbage.data(), phase.data(), Block);
    const Listening heard = listen(receiver, multiplex, 3);
    CHECK(std::string(receiver.Name()) == Name);
    CHECK(receiver.Level() > 900);
    CHECK(count_of(heard.receptions, "TAVOLIN") >= 2);
}

TEST_CASE("receiver: what RDS costs a second of signal (benchmark)")
{
    Multiplex multiplex;
    multiplex.audio = 0.3f;
    multiplex.noise = 0.02f;
    const size_t seconds = 10;
    std::vector<float> mpx(seconds * static_cast<size_t>(Rate));
    std::vector<uint32_t> phase(mpx.size());
    multiplex.Fill(mpx.data(), phase.data(), mpx.size());

    sdr::RdsReceiver receiver;
    const auto start = std::chrono::steady_clock::now();
    for (size_t at = 0; at < mpx.size(); at += Block)
        receiver.OnMpx(mpx.data() + at, phase.data() + at, Block);
    const double spent = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    MESSAGE("RDS at 240 kS/s: " << 100 * spent / seconds << " % of one core (" << spent * 1000 / seconds
                                << " ms a second of signal)");
    CHECK(std::string(receiver.Name()) == Name);
}
