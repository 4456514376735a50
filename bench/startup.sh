#!/bin/sh
# Start of the shipped demo host to the editor's first paint, in a new process each time, on
# embedded databases of 1,000, 10,000 and 100,000 categories and variants: the median of RUNS
# starts, the resident memory at first paint, the moment the company's categories and variants
# (read after the first paint) are there with the memory then, and the expansion of the whole tree.
#
#   bench/startup.sh [BUILD_DIR] [RUNS]
set -eu
build=${1:-build}
runs=${2:-5}
bin="$build/bin"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export QT_QPA_PLATFORM=offscreen
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
for rows in 1000 10000 100000; do
    cs=$("$bin/bench_database" "$dir/rows$rows.sqlite" "$rows")
    : >"$dir/paint" ; : >"$dir/rss" ; : >"$dir/wall" ; : >"$dir/ready" ; : >"$dir/readyrss"
    for _ in $(seq "$runs"); do
        /usr/bin/time -f '%e' -o "$dir/time" "$bin/formule-host" --lang en --db "$cs" --variants on --context 0 --id 3 \
            --screenshot "$dir/shot.png" --timings >/dev/null 2>"$dir/err" || true
        sed -n 's/^first paint \([0-9.]*\) ms, resident \([0-9.]*\) MB.*/\1 \2/p' "$dir/err" >"$dir/one"
        cut -d' ' -f1 "$dir/one" >>"$dir/paint"
        cut -d' ' -f2 "$dir/one" >>"$dir/rss"
        tail -n1 "$dir/time" >>"$dir/wall"
        sed -n 's/^catalogue ready \([0-9.]*\) ms, resident \([0-9.]*\) MB, peak \([0-9.]*\) MB.*/\1 \2 \3/p' \
            "$dir/err" >"$dir/one"
        cut -d' ' -f1 "$dir/one" >>"$dir/ready"
        cut -d' ' -f2- "$dir/one" >>"$dir/readyrss"
    done
    "$bin/formule-host" --lang en --db "$cs" --variants on --context 0 --id 3 --screenshot "$dir/shot.png" \
        --timings --expand-tree >/dev/null 2>"$dir/err" || true
    expand=$(sed -n 's/^expand-all \([0-9.]*\) ms, resident \([0-9.]*\) MB.*/\1 ms, resident \2 MB/p' "$dir/err")
    printf '%6d rows | first paint %s ms (median of %s starts), resident %s MB | catalogue %s ms, resident/peak %s MB | whole process %s s | expand-all %s\n' \
        "$rows" "$(median <"$dir/paint")" "$runs" "$(median <"$dir/rss")" "$(median <"$dir/ready")" \
        "$(sort -n "$dir/readyrss" | sed -n "$(((runs + 1) / 2))p" | tr ' ' /)" "$(median <"$dir/wall")" "$expand"
done
