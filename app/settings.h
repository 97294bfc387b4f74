// The radio program's one settings store, HKEY_LOCAL_MACHINE\Software\Corvane,
// constructed with the program's other static objects (app/radio_objects.cpp)
// before the entry routine runs.
#pragma once

#include "settings_store.h"

constexpr char SettingsKeyPath[] = "Software\\Corvane";

extern SettingsStore settings;
