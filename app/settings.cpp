// Kept in its own file so that only the program links it: constructing it
// opens the key, or shows the registry warning when that fails.
#include "settings.h"

SettingsStore settings(HKEY_LOCAL_MACHINE, "Software\\Corvane");
