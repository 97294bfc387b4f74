#!/bin/bash
# Fails when a built executable, our own DLL (the software receiver) or the
# driver imports anything but system DLLs (the C and C++ runtimes must be
# linked in statically).
# Arguments: the objdump to read them with (the x86_64 one reads both
# builds), then one or more bin folders.
set -u
allowed='^(kernel32|user32|gdi32|advapi32|shell32|setupapi|newdev|winmm|comctl32|comdlg32|ole32|oleaut32|oleacc|version|msvcrt|ws2_32)\.dll$'
allowed_driver='^(ntoskrnl\.exe|hal\.dll)$'
failed=0
checked=0
objdump=${1:-}
shift
if [ -z "$objdump" ] || [ $# -eq 0 ]; then
    echo "usage: check_imports.sh OBJDUMP BIN_FOLDER..."
    exit 1
fi
for dir in "$@"; do
    if [ ! -d "$dir" ]; then
        echo "FAIL $dir: no such folder (is that build made?)"
        failed=$((failed + 1))
        continue
    fi
    for file in "$dir"/*.exe "$dir"/*.dll "$dir"/*.sys; do
        [ -e "$file" ] || continue
        pattern=$allowed
        case "$file" in *.sys) pattern=$allowed_driver ;; esac
        dlls=$($objdump -p "$file" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z')
        if [ -z "$dlls" ]; then
            echo "FAIL $file: no import table read"
            failed=$((failed + 1))
            continue
        fi
        for dll in $dlls; do
            if ! echo "$dll" | grep -Eq "$pattern"; then
                echo "FAIL $file imports $dll"
                failed=$((failed + 1))
            fi
        done
        checked=$((checked + 1))
    done
done
echo "checked $checked files"
[ $checked -gt 0 ] && [ $failed -eq 0 ]
