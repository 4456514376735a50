#!/usr/bin/env bash
# Checks a built or installed library of the component's: its dynamic symbol table exports only
# what crosses the library's boundary, it carries its SONAME, and its run path is relative ($ORIGIN).
#   scripts/check-exports.sh [--installed] [--unoptimized] path/to/libformule_component.so.1
#   scripts/check-exports.sh [--installed] [--unoptimized] path/to/libformule_host.so.1  (or _gui)
# libformule_component exports the factory formule_create alone. libformule_host and
# libformule_host_gui export the set their version scripts list (src/host/*.map): every symbol in
# the project's namespaces, none of the engine's parser, binder, built-in functions and executor,
# no instantiation of the standard library's or Qt's templates (but the Qt meta-types of the
# project's types), at most a bound of symbols each.
# In the build tree CMake pads the run path with empty entries (room for the installed one);
# with --installed an empty entry fails too.
set -euo pipefail
installed=0
unoptimized=0
while [ $# -gt 1 ]; do
    case "$1" in
    --installed) installed=1 ;;
    --unoptimized) unoptimized=1 ;;
    *) break ;;
    esac
    shift
done
lib=${1:?usage: $0 [--installed] LIBRARY}
fail=0
name=$(basename "$lib")
name=${name%%.so*}
# The version node's own symbol (FORMULE_1, FORMULE_HOST_1, ...) is no export.
exported=$(nm -D --defined-only "$lib" | awk '$3 !~ /^FORMULE_[A-Z_]*1$/ {print $3}' | sed 's/@.*//' | sort)
count=$(grep -c . <<<"$exported" || true)
case "$name" in
libformule_component)
    expected="formule_create"
    if [ "$exported" != "$expected" ]; then
        echo "check-exports: $lib exports more than the public API:" >&2
        diff <(echo "$expected") <(echo "$exported") | sed -n 's/^> /  /p' | head -n 20 >&2
        fail=1
    fi
    ;;
libformule_host | libformule_host_gui)
    bound=$([ "$name" = libformule_host ] && echo 800 || echo 250)
    # Without optimisation the inline functions of the exported namespaces get copies of their
    # own, exported with them.
    [ "$unoptimized" = 0 ] || bound=$((bound * 3 / 2))
    if [ "$count" -gt "$bound" ]; then
        echo "check-exports: $lib exports $count symbols, more than $bound" >&2
        fail=1
    fi
    project='(core|tables|tsql|ado|host|controls)::'
    outside=$(c++filt <<<"$exported" |
        sed -E 's/^(typeinfo name for |typeinfo for |vtable for |VTT for |non-virtual thunk to |virtual thunk to |guard variable for )//' |
        grep -Ev "^$project|^QtPrivate::QMetaTypeInterfaceWrapper<$project" |
        grep -E -v '^$' || true)
    internal=$(c++filt <<<"$exported" | grep -E 'tsql::(parsing|binding|builtin|Executor|Evaluator)::|sqlite3' || true)
    if [ -n "$outside$internal" ]; then
        echo "check-exports: $lib exports symbols outside its set:" >&2
        printf '%s\n%s\n' "$outside" "$internal" | grep -v '^$' | head -n 20 | sed 's/^/  /' >&2
        fail=1
    fi
    ;;
*)
    echo "check-exports: $lib is none of the component's libraries" >&2
    exit 2
    ;;
esac
dynamic=$(readelf -d "$lib")
soname=$(sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p' <<<"$dynamic")
if [[ "$soname" != "$name".so.[0-9]* ]]; then
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
    shown=$([ "$count" -le 3 ] && echo " ($(tr '\n' ' ' <<<"$exported" | sed 's/ $//'))" || true)
    echo "check-exports: $(basename "$lib"): exports $count symbol(s)$shown, SONAME $soname, run path ${runpath%%:*}"
fi
exit "$fail"
