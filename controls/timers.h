// The main window's timers, each with its period. Window timers are
// delivered through the one message loop, so no two handlers overlap; a
// timer that falls due while a handler blocks skips ticks rather than
// queueing them.
#pragma once

#include <windows.h>

enum MainTimer : UINT_PTR {
    HoldTimer = 1,        // one-shot after a mouse press: store a preset, start the repeat
    RepeatTimer = 2,      // auto-repeat of the tune buttons after the hold
    CardWatchTimer = 3,   // reconnect the card, enable or blank the read-out
    SearchTimer = 5,      // next station-search step
    PresetKeyTimer = 6,   // preset key held: store the preset
    StereoLampTimer = 7,  // stereo lamp rule
    RdsTextTimer = 8,     // RDS text window: fetch and show the text
    RdsRuleTimer = 9,     // RDS button and the "RDS" menu item
    ScanTimer = 10,       // next step of the station scan, at the search's pace
    SleepCountdownTimer = 11,  // one-shot: the sleep time is up but for the last minute, the fade begins
    SleepFadeTimer = 12,  // one volume step of the fade, the last of them ends the radio
};

constexpr UINT HoldMs = 1000;
constexpr UINT RepeatMs = 100;
constexpr UINT CardWatchMs = 100;
constexpr UINT SearchStepMs = 100;
constexpr UINT PresetKeyHoldMs = 1000;
constexpr UINT StereoLampMs = 500;
constexpr UINT RdsTextMs = 1000;
constexpr UINT RdsRuleMs = 1000;
// The sleep timer fades the sound out over its last minute.
constexpr UINT SleepFadeMs = 60 * 1000;
