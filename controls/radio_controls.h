// Every widget and control of the radio window: one instance each, with
// static lifetime, defined in construction order in app/radio_objects.cpp.
// The controls know each other through these names.
#pragma once

#include "digit_display.h"
#include "group_button.h"
#include "lamps.h"
#include "preset_bank.h"
#include "preset_button.h"
#include "radio_sliders.h"
#include "toggle_buttons.h"
#include "tray_icon.h"
#include "tune_buttons.h"
#include "window_buttons.h"

extern DigitDisplay frequencyDisplay;
extern TuneUpButton tuneUpButton;
extern TuneDownButton tuneDownButton;
extern MuteButton muteButton;
extern MuteIndicator muteIndicator;
extern StereoIndicator stereoIndicator;
extern MonoButton monoButton;
extern AutoSearchButton autoSearchButton;
extern PresetButton presetButton1;
extern PresetButton presetButton2;
extern PresetButton presetButton3;
extern PresetButton presetButton4;
extern PresetButton presetButton5;
extern PresetButton presetButton6;
extern GroupButton groupButton1;
extern GroupButton groupButton2;
extern GroupButton groupButton3;
extern MinimizeButton minimizeButton;
extern TuningScale tuningScale;
extern VolumeSlider volumeSlider;
extern PowerButton powerButton;
extern RdsButton rdsButton;
extern PresetBank presetBank;
extern TrayIcon trayIcon;

// The numbered buttons by number: presetButtons[0] is slot 1.
extern PresetButton *const presetButtons[PresetBank::SlotCount];
extern GroupButton *const groupButtons[PresetBank::GroupCount];
