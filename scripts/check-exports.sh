#!/usr/bin/env bash
# Checks a built or installed component library: its dynamic symbol table exports only the public
# API (the factory formule_create), it carries its SONAME, and its run path is relative ($ORIGIN).
#   scripts/check-exports.sh [--installed] path/to/libformule_component.so.1
# In the build tree CMake pads the run path with empty entries (room for the installed one);
# with --installed an empty entry fails too.
set -euo pipefail
installed=0
if [ "${1:-}" = --installed ]; then
    installed=1
    shift
fi
lib=${1:?usage: $0 [--installed] LIBRARY}
fail=0
exported=$(nm -D --defined-only "$lib" | awk '$3 != "FORMULE_1" {print $3}' | sed 's/@.*//' | sort)
expected="formule_create"
if [ "$exported" != "$expected" ]; then
    echo "check-exports: $lib exports more than the public API:" >&2
    diff <(echo "$expected") <(echo "$exported") | sed -n 's/^> /  /p' | head -n 20 >&2
    fail=1
fi
dynamic=$(readelf -d "$lib")
soname=$(sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p' <<<"$dynamic")
if [[ "$soname" != libformule_component.so.[0-9]* ]]; then
    echo "check-exports: $lib has no versioned SONAME (found '$soname')" >&2
    fail=1
fi
runpath=$(sed -n 's/.*(\(RUNPATH\|RPATH\)).*\[\(.*\)\]/\2/p' <<<"$dynamic")
IFS=: read -ra entries <<<"$runpath:"
for entry in "${entries[@]}"; do
    if [ -z "$entry" ] && [ "$installed" = 0 ]; then
        continue
    fi
    if [[ "$entry" != '$ORIGIN'* ]]; then
        echo "check-exports: $lib has a run path entry that is not relative: $entry" >&2
        fail=1
    fi
done
if [ "$fail" = 0 ]; then
    echo "check-exports: $(basename "$lib"): exports $(wc -l <<<"$exported") symbol(s) ($exported), SONAME $soname, run path ${runpath%%:*}"
fi
exit "$fail"
