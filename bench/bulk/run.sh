#!/bin/sh
# The check-all benchmark: builds the database of generate.py next to it (once) and runs the
# shipped tool on it with one and two jobs, with the test cases (three a record) and without
# them (--no-cases), printing the time and the peak resident memory; then records ADDS cases
# (default 100) with `formule case add`, one process each as a user would, on a copy of the
# database, and prints the time per case.
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
adds=${ADDS:-100}
cp "$db" "$work/add.sqlite"
add="Provider=Embedded;Data Source=$work/add.sqlite"
start=$(date +%s%N)
/usr/bin/time -f "case add, $adds processes: %e s elapsed, %U s user, %S s system" sh -c '
    tool=$1 conn=$2 adds=$3 i=0
    while [ "$i" -lt "$adds" ]; do
        "$tool" --db "$conn" case add --context $((i % 3)) --id $((i + 1)) --name "Aggiunto $i" \
            --set "@ATTPREZZO=$((i % 997 + 10)).25" --set "@INPREZZO=$((3 * (i % 50 + 1)))" \
            --set "@ATTSC3PERC=1.125" --category "$((1000 + i * 7 % 100000))=3" \
            --category "$((1000 + i * 11 % 100000))=9" --variant "V$(printf %06d $((i * 13 % 100000)))=BLU" \
            --author bench >/dev/null || exit 1
        i=$((i + 1))
    done' sh "$tool" "$add" "$adds"
end=$(date +%s%N)
[ "$adds" -gt 0 ] && echo "case add: $(( (end - start) / adds / 1000 )) us a case (elapsed)"
rm -f "$work/add.sqlite"
