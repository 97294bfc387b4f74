// A separate process for what the test program cannot do to itself:
//   settings_probe warning SUBKEY  constructs a store on a key it cannot open
//                                  (the warning box blocks until dismissed)
//                                  and reports by exit code what followed;
//   settings_probe load SUBKEY     first run on a fresh key, load only;
//   settings_probe save SUBKEY     save only, on a fresh key.
// The last two are run with Wine's registry trace to see the calls in order.
// SUBKEY is under HKEY_LOCAL_MACHINE.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "settings_fields.h"
#include "settings_probe.h"
#include "settings_store.h"

namespace {

int AfterWarning(const char *subKey)
{
    SettingsStore store(HKEY_LOCAL_MACHINE, subKey);
    int failures = 0;
    if (store.key != nullptr)
        failures |= ProbeKeyOpened;
    if (!(FieldsOf(store) == DefaultFields()))
        failures |= ProbeNotDefaults;
    // The run changes a field; load must not overwrite it, save must not
    // write it anywhere.
    store.CurrentFrequency = 1000;
    if (store.load() != 0)
        failures |= ProbeLoadDone;
    if (store.CurrentFrequency != 1000 || store.Group != 1)
        failures |= ProbeLoadChanged;
    if (store.save() != 0)
        failures |= ProbeSaveDone;
    std::printf("settings_probe: after the warning, failures 0x%x\n", static_cast<unsigned>(failures));
    return failures;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3)
        return ProbeUsage;
    const char *mode = argv[1];
    const char *subKey = argv[2];
    if (std::strcmp(mode, "warning") == 0)
        return AfterWarning(subKey);

    RegDeleteTreeA(HKEY_LOCAL_MACHINE, subKey);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, subKey);
    int result = ProbeUsage;
    {
        SettingsStore store(HKEY_LOCAL_MACHINE, subKey);
        if (std::strcmp(mode, "load") == 0)
            result = store.load() == 1 ? 0 : ProbeFailed;
        else if (std::strcmp(mode, "save") == 0)
            result = store.save() == 1 ? 0 : ProbeFailed;
    }
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, subKey);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, subKey);
    return result;
}
