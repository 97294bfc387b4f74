// What the controls share with the window that hosts them: plain values
// with static lifetime, touched only on the window's thread and defined
// with the program's other objects (app/radio_objects.cpp).
#pragma once

#include <windows.h>

#include <cstdint>

// Values of the mono mode, saved as the setting AudioOutputType.
constexpr int32_t MonoForced = 1;
constexpr int32_t StereoAllowed = 2;

// The menu command that opens the RDS text window; the RDS button sends it.
constexpr WORD RdsWindowCommand = 110;

extern HWND mainWindow;
extern int muted;        // 1 while the user has muted the card with the mute button
extern int32_t monoMode; // MonoForced or StereoAllowed
