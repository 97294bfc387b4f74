// Ids of the radio program's own resources. Plain macros: the resource
// script includes this file as well as the C++ sources. The bitmap ids the
// widgets load are in widgets/bitmap_ids.h.
#pragma once

#include "bitmap_ids.h"

#define IDI_TAVOLIN 107

// The window's menu and the accelerators that open About share this id.
#define IDR_MAIN_MENU 109
#define IDR_ACCELERATORS 109

// The window title and the window class, both "Vantor".
#define IDS_WINDOW_TITLE 103
#define IDS_WINDOW_CLASS 109

// What screen readers hear of the window's controls: name, description,
// keyboard shortcut and default action of child N (reading order, the
// window itself last) at these plus N, and the values, with the tenths of
// a number put in ("%d.%d").
#define IDS_ACCESSIBLE_NAME 200
#define IDS_ACCESSIBLE_DESCRIPTION 230
#define IDS_ACCESSIBLE_SHORTCUT 260
#define IDS_ACCESSIBLE_ACTION 290
#define IDS_FREQUENCY_VALUE 320
#define IDS_VOLUME_VALUE 321
#define IDS_NO_CARD_VALUE 322
#define IDS_EMPTY_PRESET_VALUE 323

// Dialog templates.
#define IDD_ABOUT 103
#define IDD_SETTINGS 130
#define IDD_RDS 148

// Controls of the dialogs.
#define IDC_ABOUT_ICON 2 // the icon takes the Cancel id, which Esc sends anyway
#define IDC_NOISE_CANCEL_OFF 1003
#define IDC_NOISE_CANCEL_ON 1004
#define IDC_BAND_LIST 1005
#define IDC_ABOUT_BAND 1006
#define IDC_ABOUT_VERSION 1007
#define IDC_ABOUT_NOTICE 1008
#define IDC_RDS_TEXT 1009
#define IDC_FRAME -1 // group boxes, never addressed

// Menu commands.
#define IDM_ABOUT 104
#define IDM_EXIT 105
#define IDM_RDS 110 // RdsWindowCommand of the controls
#define IDM_SETTINGS 32771
#define IDM_SCAN_STATIONS 32772
// The "Sleep" items, in menu order.
#define IDM_SLEEP_OFF 32780
#define IDM_SLEEP_15 32781
#define IDM_SLEEP_30 32782
#define IDM_SLEEP_60 32783
#define IDM_SLEEP_90 32784
