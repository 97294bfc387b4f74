#!/bin/bash
# Fails when a built executable or the driver imports anything but system
# DLLs (the C and C++ runtimes must be linked in statically).
# Arguments: the x86_64 bin folder, the i686 bin folder.
set -u
allowed='^(kernel32|user32|gdi32|advapi32|shell32|setupapi|newdev|winmm|comctl32|comdlg32|ole32|msvcrt)\.dll$'
allowed_driver='^(ntoskrnl\.exe|hal\.dll)$'
failed=0
checked=0
if [ $# -ne 2 ] || [ ! -d "$1" ] || [ ! -d "$2" ]; then
    echo "usage: check_imports.sh X86_64_BIN I686_BIN (both builds must exist)"
    exit 1
fi
for dir in "$1" "$2"; do
    case "$dir" in *i686*) objdump=i686-w64-mingw32-objdump ;; *) objdump=x86_64-w64-mingw32-objdump ;; esac
    for file in "$dir"/*.exe "$dir"/*.sys; do
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
