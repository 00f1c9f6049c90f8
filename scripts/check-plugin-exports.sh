#!/usr/bin/env bash
# The Windows plug-in must export EntryPointFunc alone and import from Windows system libraries only, so
# that the file works when copied alone into a host's plug-in folder.
set -euo pipefail
aex=$1
dump=$(x86_64-w64-mingw32-objdump -p "$aex")
exports=$(echo "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*//p')
if [ "$exports" != "EntryPointFunc" ]; then
    echo "unexpected exports of $aex: $exports" >&2
    exit 1
fi
dlls=$(echo "$dump" | awk '/DLL Name:/{print tolower($3)}' | sort -u)
for dll in $dlls; do
    case "$dll" in
    kernel32.dll | user32.dll | gdi32.dll | msvcrt.dll | advapi32.dll | comctl32.dll | api-ms-win-*) ;;
    *)
        echo "$aex imports from $dll, which is not a Windows system library" >&2
        exit 1
        ;;
    esac
done
echo "$aex: exports EntryPointFunc only; imports: $(echo $dlls)"

# The Linux stand-in: the entry point and the PiPL's data symbols, nothing else.
so=${2:-}
if [ -n "$so" ]; then
    symbols=$(nm -D --defined-only "$so" | awk '{print $3}' | sort | tr '\n' ' ')
    if [ "$symbols" != "EntryPointFunc PiPL_16000 PiPL_16000_size " ]; then
        echo "unexpected exports of $so: $symbols" >&2
        exit 1
    fi
    echo "$so: exports $symbols"
fi
