// The radio program's one settings store, constructed before the entry
// routine runs: HKEY_LOCAL_MACHINE\Software\Corvane.
#pragma once

#include "settings_store.h"

extern SettingsStore settings;
