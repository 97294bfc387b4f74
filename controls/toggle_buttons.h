// The three latching buttons: auto search (the tune buttons seek instead of
// stepping), mono (forces mono on the card) and mute (silences the card and
// lights the mute lamp).
#pragma once

#include "bitmap_button.h"
#include "tuner_device.h"

class AutoSearchButton : public BitmapButton {
public:
    ~AutoSearchButton() override = default;
    void OnClick() override;
};

// The tune buttons repeat while held only in step mode.
void apply_auto_search(int on);

class MonoButton : public BitmapButton {
public:
    ~MonoButton() override = default;
    void OnClick() override;
};

class MuteButton : public BitmapButton {
public:
    ~MuteButton() override = default;
    void OnClick() override;
};

// A freshly opened card plays unmuted, so the mute button and lamp go out
// and the user's mute is forgotten with them.
class CardOpenedMuteReset : public TunerOpenedObserver {
public:
    ~CardOpenedMuteReset() override = default;
    void OnTunerOpened() override;
};
