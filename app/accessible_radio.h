// The radio window as screen readers read it (Microsoft Active
// Accessibility): one accessible object for the client area, whose children
// are the drawn controls in reading order, and the events that tell a
// listening reader what changed. Nothing of it is loaded or run until a
// reader first asks for the window's object.
#pragma once

#include <windows.h>

// WM_GETOBJECT: the radio's own object for OBJID_CLIENT, the default
// handling for anything else.
LRESULT on_get_object(HWND window, UINT message, WPARAM flags, LPARAM objectId);

// Once a reader has asked: announces every value and state that changed
// since the last call (and the RDS button coming or going). Called after
// each message the window's thread handles.
void announce_changes();
