#include "radio_sound.h"

#include <doctest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "alsa_capture.h"
#include "pcm_signals.h"
#include "radio_program.h"
#include "wave_out_sink.h"

namespace radio_test {

namespace {

const wchar_t *const DriversKey = L"Software\\Wine\\Drivers";

// Silence this long (0.5 ms on both sides) is a gap of the card, not a
// zero crossing of the sound.
constexpr size_t GapFrames = 24;

} // namespace

DemoServer::DemoServer(testing::RadioSettings &settings, int32_t frequency)
{
    sdrkit::add_demo_stations(band);
    REQUIRE(server.Start(0));
    const std::string source = "rtl_tcp:127.0.0.1:" + std::to_string(server.Port());
    settings.Set("SignalSource", REG_SZ, std::vector<uint8_t>(source.c_str(), source.c_str() + source.size() + 1));
    settings.SetNumber("CurrentFrequency", static_cast<uint32_t>(frequency));
}

SoundToCapture::SoundToCapture() : path(testing::capture_path())
{
    if (path.empty())
        return;
    DeleteFileA(path.c_str()); // a capture of an earlier run
    HKEY drivers = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, DriversKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr,
                        &drivers, nullptr) != ERROR_SUCCESS)
        return;
    DWORD size = 0;
    if (RegQueryValueExW(drivers, L"Audio", nullptr, &settingType, nullptr, &size) == ERROR_SUCCESS) {
        setting.resize(size);
        hadSetting = RegQueryValueExW(drivers, L"Audio", nullptr, &settingType, setting.data(), &size) ==
                     ERROR_SUCCESS;
        setting.resize(size);
    }
    const wchar_t alsa[] = L"alsa";
    ready = RegSetValueExW(drivers, L"Audio", 0, REG_SZ, reinterpret_cast<const BYTE *>(alsa), sizeof alsa) ==
            ERROR_SUCCESS;
    RegCloseKey(drivers);
}

SoundToCapture::~SoundToCapture()
{
    HKEY drivers = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, DriversKey, 0, KEY_SET_VALUE, &drivers) != ERROR_SUCCESS)
        return;
    if (hadSetting)
        RegSetValueExW(drivers, L"Audio", 0, settingType, setting.data(), static_cast<DWORD>(setting.size()));
    else
        RegDeleteValueW(drivers, L"Audio");
    RegCloseKey(drivers);
}

size_t SoundToCapture::Frames() const
{
    return testing::captured_frames(path);
}

std::vector<int16_t> SoundToCapture::Read(size_t from, size_t to) const
{
    std::vector<int16_t> pcm = testing::read_capture(path, from);
    if (to != SIZE_MAX && to > from && pcm.size() > 2 * (to - from))
        pcm.resize(2 * (to - from));
    return pcm;
}

bool SoundToCapture::AwaitFrames(size_t frames, DWORD timeoutMs) const
{
    return testing::WaitUntil([&] { return Frames() >= frames; }, timeoutMs);
}

size_t SoundToCapture::AwaitSound(size_t from, DWORD timeoutMs) const
{
    size_t found = SIZE_MAX;
    size_t looked = from; // frames before this one are silent
    testing::WaitUntil(
        [&] {
            const std::vector<int16_t> pcm = Read(looked);
            for (size_t i = 0; i < pcm.size(); ++i)
                if (pcm[i] != 0) {
                    found = looked + i / 2;
                    return true;
                }
            looked += pcm.size() / 2;
            return false;
        },
        timeoutMs);
    return found;
}

std::vector<Stretch> sound_stretches(const std::vector<int16_t> &pcm, size_t minimum)
{
    std::vector<Stretch> stretches;
    const size_t frames = pcm.size() / 2;
    size_t start = SIZE_MAX; // the first frame of the stretch being followed
    size_t silentFrom = 0;   // where the current run of silence began
    size_t silent = 0;
    const auto close = [&](size_t end) {
        const size_t first = start + sdr::WaveOutSink::FadeFrames;
        if (start != SIZE_MAX && end > first && end - first >= minimum)
            stretches.push_back({first, end});
        start = SIZE_MAX;
    };
    for (size_t i = 0; i < frames; ++i) {
        if (pcm[2 * i] == 0 && pcm[2 * i + 1] == 0) {
            if (silent++ == 0)
                silentFrom = i;
            if (silent == GapFrames)
                close(silentFrom);
            continue;
        }
        silent = 0;
        if (start == SIZE_MAX)
            start = i;
    }
    if (silent < GapFrames)
        close(frames);
    else
        close(silentFrom);
    return stretches;
}

std::vector<Stretch> stretches_within(const std::vector<Stretch> &stretches, size_t from, size_t to, size_t minimum)
{
    std::vector<Stretch> within;
    for (const Stretch &stretch : stretches) {
        const Stretch part = {std::max(stretch.first, from), std::min(stretch.last, to)};
        if (part.last > part.first && part.last - part.first >= minimum)
            within.push_back(part);
    }
    return within;
}

size_t sound_frames(const std::vector<Stretch> &stretches)
{
    size_t frames = 0;
    for (const Stretch &stretch : stretches)
        frames += stretch.last - stretch.first;
    return frames;
}

double tone_db(const std::vector<int16_t> &pcm, const std::vector<Stretch> &stretches, Side side, double hz)
{
    double power = 0;
    size_t counted = 0;
    const double w = 2 * testing::Pi * hz / testing::AudioHz;
    for (const Stretch &stretch : stretches) {
        const size_t length = stretch.last - stretch.first;
        double re = 0, im = 0, gain = 0;
        for (size_t n = 0; n < length; ++n) {
            const size_t i = stretch.first + n;
            const double sample = side == Side::Left    ? pcm[2 * i]
                                  : side == Side::Right ? pcm[2 * i + 1]
                                                        : (pcm[2 * i] + pcm[2 * i + 1]) / 2.0;
            const double window = 0.5 - 0.5 * std::cos(2 * testing::Pi * double(n) / double(length));
            re += sample * window * std::cos(w * double(n));
            im -= sample * window * std::sin(w * double(n));
            gain += window;
        }
        const double amplitude = 2 * std::sqrt(re * re + im * im) / gain / 32767.0;
        power += amplitude * amplitude * double(length);
        counted += length;
    }
    if (!counted)
        return -300;
    return 10 * std::log10(power / double(counted) + 1e-30);
}

int largest_side_difference(const std::vector<int16_t> &pcm, const std::vector<Stretch> &stretches)
{
    int largest = 0;
    for (const Stretch &stretch : stretches)
        for (size_t i = stretch.first; i < stretch.last; ++i)
            largest = std::max(largest, std::abs(pcm[2 * i] - pcm[2 * i + 1]));
    return largest;
}

} // namespace radio_test
