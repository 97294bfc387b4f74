// The radio program's application state: plain values with static lifetime,
// touched only on the window's thread. The widgets and controls are declared
// in controls/radio_controls.h; all of them are defined, in construction
// order, in app/radio_objects.cpp.
#pragma once

#include <windows.h>

#include <cstdint>

#include "control_state.h"

// The radio's fixed client area, drawn entirely from the skins.
constexpr int ClientWidth = 240;
constexpr int ClientHeight = 268;

// The radio's icon in the notification area.
constexpr UINT TrayIconId = 1;

extern HINSTANCE appInstance;
extern HWND rdsWindow; // the modeless RDS text window, when open

// The current directory at start: the skins are read from it.
extern char startDirectory[MAX_PATH];

// Whole-window skins in one state each, and the composed background. The
// main window owns them; the widgets borrow them.
extern HDC backgroundDC;
extern HDC normalSkinDC;
extern HDC pressedSkinDC;
extern HDC litSkinDC;

extern int cardReady;    // 1 while the card watch has found the card answering
extern int rdsMenuShown; // 1 while the "RDS" item is in the window's menu
extern int heldKey;      // the shortcut that holds a control down, 0 for none
// The digit key whose key-down pressed a group button, until its own key-up
// or the next shortcut (Ctrl may be let go first, which clears heldKey); 0
// for none.
extern WPARAM groupKey;
extern POINT lastPointer; // last mouse position reported to the window, client pixels
