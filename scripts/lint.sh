#!/usr/bin/env bash
# Static checks of the tree:
#   - every C++ file formatted as .clang-format says (clang-format --dry-run --Werror); the
#     continuous integration runs this;
#   - with --tidy, clang-tidy's bugprone and performance checks (.clang-tidy) over every
#     translation unit of the product under src/, as the build in build/ compiles it (its
#     compile_commands.json; ./scripts/build.sh makes it). Tests, benchmarks and fuzz targets
#     are not checked. A full run takes about a quarter of an hour on two cores; a translation
#     unit found clean is not checked again until its preprocessed text changes (scripts/tidy.py).
# Exits non-zero on the first kind of finding, after printing them all.
set -euo pipefail
cd "$(dirname "$0")/.."
tidy=0
case "${1:-}" in
"") ;;
--tidy) tidy=1 ;;
*) echo "usage: $0 [--tidy]" >&2; exit 2 ;;
esac
./scripts/install-deps.sh
build_dir=${BUILD_DIR:-build}

mapfile -t files < <(git ls-files '*.cpp' '*.h')
echo "clang-format: ${#files[@]} files" >&2
clang-format --dry-run --Werror "${files[@]}"
[ "$tidy" = 1 ] || { echo "lint: formatting clean" >&2; exit 0; }

if [ ! -f "$build_dir/compile_commands.json" ]; then
    echo "no $build_dir/compile_commands.json: run ./scripts/build.sh first" >&2
    exit 2
fi
# Generated sources (moc, the translations) live in the build folder and are not checked.
./scripts/tidy.py "$build_dir" >"$build_dir/clang-tidy.log" || {
    grep -E 'error:|warning:' "$build_dir/clang-tidy.log" | sort -u >&2
    echo "clang-tidy found the problems above" >&2
    exit 1
}
echo "lint: clean" >&2
