#!/usr/bin/env bash
# Configures and builds into build/ (or the directory given by BUILD_DIR) with CMake and Ninja.
# Extra arguments go to the CMake configure step, except that `--target NAME...` (last) builds only
# those targets.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
build_type=${BUILD_TYPE:-Release}
# ccache reuses objects across checkouts in other folders (CI builds a fresh clone).
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
configure=()
targets=()
while [ $# -gt 0 ]; do
    if [ "$1" = --target ]; then
        shift
        targets=(--target "$@")
        break
    fi
    configure+=("$1")
    shift
done
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE="$build_type" "${configure[@]}" >/dev/null
cmake --build "$build_dir" --parallel "$(nproc)" "${targets[@]}"
