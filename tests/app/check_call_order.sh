#!/bin/bash
# Runs settings_probe under Wine's registry trace and checks the registry
# calls of load and save in order, with the type and size of every write.
# The order cannot be seen in the registry itself: Wine lists a key's values
# sorted by name. Arguments: the Wine runner (scripts/wine-run), settings_probe.exe.
set -u
wine_run=$1
probe=$2
names='AudioOutputType|AudioOutput|SearchLevel|CurrentFrequency|CurrentVolume|AutoSearch|Group|PresetChannel|WindowPos|StereoNoiseCancel|RadioSystem'
failed=0

# The calls on our value names, one per line: "query NAME SIZE" for
# RegQueryValueExA, "set NAME TYPE SIZE" for what reaches the registry.
calls() {
    WINEDEBUG=trace+reg "$wine_run" "$probe" "$1" 'Software\TavolinTests\Trace' 2>&1 >/dev/null |
        sed -n -e 's/.*:trace:reg:RegQueryValueExA ([^,]*,"\([^"]*\)",.*=\([0-9]*\))$/query \1 \2/p' \
               -e 's/.*:trace:reg:NtSetValueKey ([^,]*,L"\([^"]*\)",\([0-9]*\),[^,]*,\([0-9]*\))$/set \1 \2 \3/p' |
        grep -E "^[a-z]+ ($names) "
}

check() {
    local what=$1 expected=$2 actual=$3
    echo "== $what"
    echo "$actual"
    if [ "$actual" != "$expected" ]; then
        echo "FAIL $what; expected:"
        echo "$expected"
        failed=1
    fi
}

# First run on a fresh key: every value read in turn, its default written
# back at once, with the type and size it has in the registry.
check "load on a fresh key" "query AudioOutputType 4
set AudioOutputType 4 4
query SearchLevel 4
set SearchLevel 4 4
query CurrentFrequency 4
set CurrentFrequency 4 4
query CurrentVolume 4
set CurrentVolume 4 4
query AutoSearch 4
set AutoSearch 4 4
query Group 4
set Group 4 4
query PresetChannel 72
set PresetChannel 3 72
query WindowPos 8
set WindowPos 3 8
query StereoNoiseCancel 4
set StereoNoiseCancel 4 4
query RadioSystem 4
set RadioSystem 4 4" "$(calls load)"

# Save: eleven writes, AudioOutput after CurrentVolume (REG_DWORD is 4,
# REG_BINARY 3).
check "save" "set AudioOutputType 4 4
set SearchLevel 4 4
set CurrentFrequency 4 4
set CurrentVolume 4 4
set AudioOutput 4 4
set AutoSearch 4 4
set Group 4 4
set PresetChannel 3 72
set WindowPos 3 8
set StereoNoiseCancel 4 4
set RadioSystem 4 4" "$(calls save)"

exit $failed
