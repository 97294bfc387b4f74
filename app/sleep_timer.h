// The sleep timer: after the chosen time the radio goes off exactly as by
// its power button. Over the last minute the sound fades out one volume
// step at a time; the volume saved at exit is the one from before the fade.
// Not stored: every start begins with the timer off.
#pragma once

#include <cstdint>

class SleepTimer {
public:
    SleepTimer();
    SleepTimer(const SleepTimer &) = delete;
    SleepTimer &operator=(const SleepTimer &) = delete;
    virtual ~SleepTimer() = default;

    // Counts `minutes` (at least one) from now, again when already counting;
    // 0 switches the timer off. A fade under way is undone first.
    void Choose(unsigned minutes);
    unsigned Chosen() const { return minutes; }
    // The one-shot sleep timer: the last minute begins, and with it the fade.
    void OnSleepTick();
    // The fade timer: one volume step down; the last tick ends the radio.
    void OnFadeTick();
    // The volume to save: during the fade, the one from before it.
    int32_t VolumeToSave(int32_t current) const { return fading ? preFadeVolume : current; }

private:
    void CancelFade();

    unsigned minutes;
    bool fading;
    int32_t preFadeVolume;
    unsigned fadeTicksLeft;
};

extern SleepTimer sleepTimer;
