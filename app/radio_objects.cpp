// Every object of the radio program with static lifetime, in the order in
// which it must be constructed; they are destroyed in reverse at exit. C++
// orders construction only within one file, hence this one: the skin
// bitmaps outlive every widget that borrows them, and the settings key is
// opened before anything reads it.
#include "bitmap_file.h"
#include "radio_controls.h"
#include "radio_state.h"
#include "settings.h"
#include "skins.h"
#include "sleep_timer.h"
#include "station_scan.h"
#include "tuner_device.h"

BitmapFile backgroundFile;
BitmapFile normalSkinFile;
BitmapFile pressedSkinFile;
BitmapFile litSkinFile;
SettingsStore settings(HKEY_LOCAL_MACHINE, SettingsKeyPath);
DigitDisplay frequencyDisplay;
TuneUpButton tuneUpButton;
TuneDownButton tuneDownButton;
MuteButton muteButton;
MuteIndicator muteIndicator;
StereoIndicator stereoIndicator;
MonoButton monoButton;
AutoSearchButton autoSearchButton;
PresetButton presetButton1(1);
PresetButton presetButton2(2);
PresetButton presetButton3(3);
PresetButton presetButton4(4);
PresetButton presetButton5(5);
PresetButton presetButton6(6);
GroupButton groupButton1(1);
GroupButton groupButton2(2);
GroupButton groupButton3(3);
MinimizeButton minimizeButton;
TuningScale tuningScale;
VolumeSlider volumeSlider;
PowerButton powerButton;
RdsButton rdsButton;
TunerDevice tunerDevice;
PresetBank presetBank;
TrayIcon trayIcon;
StationScan stationScan;
SleepTimer sleepTimer;

PresetButton *const presetButtons[PresetBank::SlotCount] = {&presetButton1, &presetButton2, &presetButton3,
                                                            &presetButton4, &presetButton5, &presetButton6};
GroupButton *const groupButtons[PresetBank::GroupCount] = {&groupButton1, &groupButton2, &groupButton3};

// Plain application state: zero at start.
HINSTANCE appInstance;
HWND mainWindow;
HWND rdsWindow;
char startDirectory[MAX_PATH];
HDC backgroundDC;
HDC normalSkinDC;
HDC pressedSkinDC;
HDC litSkinDC;
int muted;
int32_t monoMode;
int cardReady;
int rdsMenuShown;
int heldKey;
WPARAM groupKey;
POINT lastPointer;
