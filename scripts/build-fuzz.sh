#!/usr/bin/env bash
# Builds the libFuzzer targets under fuzz/ into build-fuzz/ (preset "fuzz": clang++ with
# libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer) so that they keep compiling; it
# builds only the targets and the libraries they link. With --run SECONDS it then runs each
# target for that long from an empty corpus (the continuous integration runs each for a minute)
# and fails on the first finding. A target is run by hand as, for instance:
#   build-fuzz/bin/tsql_fuzz -max_total_time=60 corpus-dir/
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=0
case "${1:-}" in
"") ;;
--run)
    seconds=${2:?usage: $0 [--run SECONDS]}
    [[ "$seconds" =~ ^[0-9]+$ ]] || { echo "usage: $0 [--run SECONDS]" >&2; exit 2; }
    ;;
*) echo "usage: $0 [--run SECONDS]" >&2; exit 2 ;;
esac
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

[ "$seconds" -gt 0 ] || exit 0
while read -r target; do
    [ -n "$target" ] || continue
    corpus=$(mktemp -d)
    echo "fuzzing $(basename "$target") for ${seconds} s" >&2
    # A finding (crash, leak, timeout, sanitizer report) makes the target exit non-zero.
    if ! "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="build-fuzz/" "$corpus" 2>build-fuzz/"$(basename "$target")".log; then
        tail -n 60 build-fuzz/"$(basename "$target")".log >&2
        rm -rf "$corpus"
        exit 1
    fi
    grep -E '^stat::number_of_executed_units|^#[0-9]+.*DONE' build-fuzz/"$(basename "$target")".log >&2 || true
    rm -rf "$corpus"
done <build-fuzz/fuzzers.txt
