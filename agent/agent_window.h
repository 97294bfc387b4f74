// The agent's one window: never shown, it exists for its timer and so that
// a second agent can find this one by its class.
#pragma once

#include <windows.h>

constexpr char AgentWindowClass[] = "Agent_Tavolin";

// Registers the class and creates the hidden window; null when that fails.
HWND create_agent_window(HINSTANCE instance);
