// Starts the radio program that sits beside the agent, in the agent's folder,
// where the radio finds its skins. The paths are worked out once at start.
#pragma once

#include <windows.h>

class RadioStarter {
public:
    virtual ~RadioStarter() = default;
    // Takes the agent's folder from its own path and appends the radio's
    // name. A path that does not fit leaves both empty: the agent then
    // starts nothing rather than a cut-off path.
    bool locate();
    // Starts the radio and keeps no handle to it. False when it cannot.
    bool start();

    char agentDirectory[MAX_PATH] = {};
    char radioPath[MAX_PATH] = {};
};

extern RadioStarter radioStarter;
