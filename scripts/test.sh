#!/usr/bin/env bash
# Installs what is missing, builds and runs every test headless.
#   ./scripts/test.sh             Release build in build/
#   ./scripts/test.sh --sanitize  AddressSanitizer + UndefinedBehaviorSanitizer build in build-sanitize/
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh

sanitize=0
for arg in "$@"; do
    case "$arg" in
    --sanitize) sanitize=1 ;;
    *) echo "usage: $0 [--sanitize]" >&2; exit 2 ;;
    esac
done

export QT_QPA_PLATFORM=offscreen
if [ "$sanitize" = 1 ]; then
    export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    BUILD_DIR=build-sanitize BUILD_TYPE=Debug ./scripts/build.sh -DFORMULE_SANITIZE=ON -DFORMULE_BUILD_BENCH=OFF
    dir=build-sanitize
else
    ./scripts/build.sh
    dir=build
fi
ctest --test-dir "$dir" --output-on-failure --parallel "$(nproc)" --timeout 600
