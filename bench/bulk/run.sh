#!/bin/sh
# The check-all benchmark: builds the database of generate.py next to it (once) and runs the
# shipped tool on it with one and two jobs, with the test cases (three a record) and without
# them (--no-cases), printing the time and the peak resident memory.
set -e
here=$(cd "$(dirname "$0")" && pwd)
tool=${FORMULE:-$here/../../build/bin/formule}
work=${BENCH_DIR:-/tmp/formule-bulk-bench}
mkdir -p "$work"
db="$work/bulk.sqlite"
conn="Provider=Embedded;Data Source=$db"
if [ ! -f "$db" ]; then
    "$tool" --db "$conn" init-db >/dev/null
    python3 "$here/generate.py" "$db"
fi
for jobs in 1 2; do
    for cases in "" --no-cases; do
        /usr/bin/time -f "jobs $jobs ${cases:-with cases}: %e s elapsed, %U s user, %M KB peak resident" \
            "$tool" --db "$conn" check-all --jobs "$jobs" $cases >"$work/out-$jobs$cases.tsv" || true
        cut -f3 "$work/out-$jobs$cases.tsv" | sort | uniq -c
    done
done
