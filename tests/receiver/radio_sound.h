// The radio's sound as a listener hears it, for the stories and the
// benchmark of the radio on the software receiver. The radio is a process of
// its own: it inherits the test's environment (ALSA_CONFIG_PATH names the
// configuration whose only device writes what it plays to a file), and
// Wine gives it the audio driver the prefix's user names, so the prefix is
// pointed at ALSA while a SoundToCapture lives.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "demo_band.h"
#include "radio_program.h"
#include "rtl_tcp_server.h"

namespace radio_test {

// The demonstration band served on a free local port, and the radio's
// settings pointed at it, tuned to `frequency` (0.1 MHz).
struct DemoServer {
    sdrkit::BandGenerator band;
    sdrkit::RtlTcpServer server{&band};

    DemoServer(testing::RadioSettings &settings, int32_t frequency);
    virtual ~DemoServer() = default;
};

class SoundToCapture {
public:
    // Points HKCU\Software\Wine\Drivers "Audio" at ALSA (the test lanes'
    // prefixes have it empty: no sound) and starts an empty capture.
    SoundToCapture();
    // Puts the prefix's own setting back as it was.
    virtual ~SoundToCapture();
    SoundToCapture(const SoundToCapture &) = delete;
    SoundToCapture &operator=(const SoundToCapture &) = delete;

    // The capture's file is known and the driver setting took.
    bool Ready() const { return ready; }
    const std::string &Path() const { return path; }
    // Frames played so far (the card's clock, Wine's timer, runs fast
    // against the wall: the sink fills its gaps with silence).
    size_t Frames() const;
    // Interleaved stereo frames [from, to) (to: as far as played).
    std::vector<int16_t> Read(size_t from, size_t to = SIZE_MAX) const;
    // Waits until `frames` have been played; false after `timeoutMs`.
    bool AwaitFrames(size_t frames, DWORD timeoutMs) const;
    // The first frame from `from` on with sound in it, once played: how
    // soon sound came. SIZE_MAX when none came within `timeoutMs`.
    size_t AwaitSound(size_t from, DWORD timeoutMs) const;

private:
    std::string path;
    bool hadSetting = false;
    DWORD settingType = REG_SZ;
    std::vector<BYTE> setting;
    bool ready = false;
};

// A stretch of sound between the card's silences: [first, last) frames.
struct Stretch {
    size_t first;
    size_t last;
};

// The stretches of sound at least `minimum` frames long, each without the
// sink's fade-in at its start.
std::vector<Stretch> sound_stretches(const std::vector<int16_t> &pcm, size_t minimum);

// The parts of `stretches` within frames [from, to) at least `minimum` long.
std::vector<Stretch> stretches_within(const std::vector<Stretch> &stretches, size_t from, size_t to, size_t minimum);
// The frames of sound in them.
size_t sound_frames(const std::vector<Stretch> &stretches);

// Which side a level is read from: left, right, or their mean (what a
// listener in mono hears; unlike either side it does not move with the
// stereo blend).
enum class Side { Left, Right, Middle };

// The level of a tone in dB of a full-scale sine, over the stretches
// (a Hann window on each, their powers averaged by length); -300 when none.
double tone_db(const std::vector<int16_t> &pcm, const std::vector<Stretch> &stretches, Side side, double hz);

// The largest difference between the left and right samples over the stretches.
int largest_side_difference(const std::vector<int16_t> &pcm, const std::vector<Stretch> &stretches);

} // namespace radio_test
