// Exit-code bits of settings_probe.exe, shared with the tests that run it.
#pragma once

enum ProbeResult {
    ProbeKeyOpened = 1,   // the store has a key after all
    ProbeNotDefaults = 2, // the fields are not the defaults after the warning
    ProbeLoadDone = 4,    // load did not return 0
    ProbeLoadChanged = 8, // load changed a field
    ProbeSaveDone = 16,   // save did not return 0
    ProbeFailed = 32,     // load or save on a fresh key did not return 1
    ProbeUsage = 64,      // bad command line
    ProbeNoKey = 128,     // the program's instance could not open its key
};
