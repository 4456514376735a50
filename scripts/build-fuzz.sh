#!/usr/bin/env bash
# Builds the libFuzzer targets under fuzz/ into build-fuzz/ (preset "fuzz": clang++ with
# libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer) so that they keep compiling; it
# builds only the targets and the libraries they link, and runs no fuzzing. A target is run as,
# for instance:
#   build-fuzz/bin/tsql_fuzz -max_total_time=60 corpus-dir/
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh

# ccache reuses objects across checkouts in other folders (CI builds a fresh clone).
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
cmake --preset fuzz >/dev/null
cmake --build build-fuzz --target fuzzers --parallel "$(nproc)"

# Each target must be a libFuzzer program: its driver answers -help=1 with its flags.
count=0
while read -r target; do
    [ -n "$target" ] || continue
    help=$("$target" -help=1 2>&1 || true)
    if ! grep -q -- 'max_len' <<<"$help"; then
        echo "$target is not linked with libFuzzer" >&2
        exit 1
    fi
    count=$((count + 1))
done <build-fuzz/fuzzers.txt
if [ "$count" -eq 0 ]; then
    echo "no fuzz target is listed in build-fuzz/fuzzers.txt" >&2
    exit 1
fi
echo "fuzz targets built: $count"
