// A store on the key path the program's own `settings` is constructed with
// (the radio's start-up tests show the running program uses that key too):
//   settings_instance_probe load   loads what the key holds (a first run
//                                  writes the defaults back);
//   settings_instance_probe save   saves the run state of FillRunState.
// The exit code is 0, or a ProbeResult bit.
#include <cstring>

#include "settings.h"
#include "settings_fields.h"
#include "settings_probe.h"

SettingsStore settings(HKEY_LOCAL_MACHINE, SettingsKeyPath);

int main(int argc, char **argv)
{
    if (argc != 2)
        return ProbeUsage;
    if (!settings.key)
        return ProbeNoKey;
    if (std::strcmp(argv[1], "load") == 0)
        return settings.load() == 1 ? 0 : ProbeFailed;
    if (std::strcmp(argv[1], "save") == 0) {
        FillRunState(settings);
        return settings.save() == 1 ? 0 : ProbeFailed;
    }
    return ProbeUsage;
}
