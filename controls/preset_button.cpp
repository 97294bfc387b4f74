#include "preset_button.h"

#include <mmsystem.h>

#include "radio_controls.h"
#include "system_library.h"
#include "tuner_device.h"

namespace {

// The card is first tuned this far below the preset, then to the preset
// after a pause, so that it settles on the station from below.
constexpr uint32_t PreTuneOffset = 2;
constexpr DWORD PreTunePauseMs = 300;
constexpr char StoreChime[] = "Default.wav";

// The chime is the program's only use of winmm.dll, and storing a preset is
// rare: the library is loaded at the first chime, not at every start.
using PlaySoundFunction = decltype(&PlaySoundA);
PlaySoundFunction playSound;
bool playSoundLookedUp;

void play_store_chime()
{
    if (!playSoundLookedUp) {
        playSoundLookedUp = true;
        playSound = system_function<PlaySoundFunction>("winmm.dll", "PlaySoundA");
    }
    // The result is ignored: a missing library is as silent as a missing sound.
    if (playSound)
        playSound(StoreChime, nullptr, SND_FILENAME); // synchronous: the chime ends before the recall
}

} // namespace

void PresetButton::OnClick()
{
    if (!tuningScale.IsEnabled())
        return; // no card
    const bool userMuted = muteButton.IsOn() != 0;
    if (!userMuted)
        tunerDevice.set_mute(1);
    const unsigned group = static_cast<unsigned>(presetBank.GetGroup());
    // Sent as computed, unchecked; unsigned, so a stored value near the
    // smallest int wraps instead of overflowing.
    const auto preTune = static_cast<uint32_t>(presetBank.GetPreset(group, slot)) - PreTuneOffset;
    tunerDevice.set_frequency(static_cast<int32_t>(preTune));
    Sleep(PreTunePauseMs);
    // The scale clamps a preset from another band to the nearest edge and
    // tunes the card to that.
    tuningScale.SetValue(presetBank.GetPreset(group, slot), 0);
    if (!userMuted)
        tunerDevice.set_mute(0);
}

void PresetButton::OnHold()
{
    if (!tuningScale.IsEnabled())
        return; // stays pressed; its release then recalls nothing
    play_store_chime();
    const unsigned group = static_cast<unsigned>(presetBank.GetGroup());
    presetBank.SetPreset(group, slot, tuningScale.GetValue());
    presetBank.DrawLabels(slot);
    // Releases a pressed button at once, which recalls the stored frequency;
    // a button that was never pressed (the pointer moved onto it) stays quiet.
    SimulateEvent(EventUp);
}
