// The Signal Source dialog: the tuner card, or an rtl_tcp server with its
// host and port, the gain (automatic or a value) and the frequency
// correction. A port outside 1..65535, an unknown host or a value out of
// range is said in the dialog, and nothing changes. OK stores the choice
// in the settings key at once; the host is looked up on a thread of its
// own, so the radio's window never waits on the network.
#pragma once

#include <windows.h>

// TRUE when OK stored a source other than the one before.
BOOL run_source_dialog(HINSTANCE instance, HWND owner, HKEY key);
