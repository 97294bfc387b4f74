// Many user actions fast: the radio's window gets the very messages a key or
// a click gives it, sent rather than typed, each handled before the call
// returns, so thousands fit in a minute. And the card pulled and
// put back as often as wanted, each time until the radio has noticed.
#pragma once

#include <windows.h>

#include "radio_story.h"

namespace radio_test {

void SendTap(HWND window, WORD key);
void SendClick(HWND window, POINT at);
// Returns once the window's thread has handled a message sent now.
bool Sync(HWND window);

// Action number `index` of an everyday mix: fine steps both ways, volume
// both ways, mono and mute on and off, group 2 and back to group 1, and a
// preset recall every 250th action. Leaves the radio as it found it after
// every ten actions (apart from the recalled frequency).
void ScriptedAction(HWND window, int index);

// Pulls the card and waits until its last opener (`openersLeft` handles
// stay: another program's) has let go; the log then starts empty.
bool PullAndAwaitRelease(RadioStory &story, uint32_t openersLeft = 0, DWORD timeoutMs = 5000);
// Inserts the card and waits until it has been sent `volume` and `frequency`
// (any, when -1) again.
bool InsertAndAwaitRetune(RadioStory &story, int frequency, int volume, DWORD timeoutMs = 5000);
// Both. Each says which wait timed out and what it saw, and returns false.
bool PullAndReinsert(RadioStory &story, int frequency, int volume, uint32_t openersLeft = 0,
                     DWORD timeoutMs = 5000);

} // namespace radio_test
