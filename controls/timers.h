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
};

constexpr UINT HoldMs = 1000;
constexpr UINT RepeatMs = 100;
constexpr UINT CardWatchMs = 100;
constexpr UINT SearchStepMs = 100;
constexpr UINT PresetKeyHoldMs = 1000;
constexpr UINT StereoLampMs = 500;
constexpr UINT RdsTextMs = 1000;
constexpr UINT RdsRuleMs = 1000;
