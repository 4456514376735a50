#!/usr/bin/env bash
# Renders the pictures of the test cases and of the impact preview in docs/, in Italian and
# English, from a demo database of their own: provider 1 ("SET [Prezzo lordo] = [Prezzo lordo -
# CURR] + 50") with three test cases, and the box changed to "* 1.5", which moves one of them.
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${BUILD_DIR:-build}/bin
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
db="Provider=Embedded;Data Source=$work/demo.sqlite"
"$bin/formule" --db "$db" init-db --demo >/dev/null
"$bin/formule" --db "$db" case add --context 0 --id 1 --name "Listino base" --set "Prezzo lordo - CURR=100" --author mrossi >/dev/null
"$bin/formule" --db "$db" case add --context 0 --id 1 --name "Prezzo zero" --set "Prezzo lordo - CURR=0" --author mrossi >/dev/null
"$bin/formule" --db "$db" case add --context 0 --id 1 --name "Senza prezzo" --author mrossi >/dev/null
changed="SET [Prezzo lordo] = [Prezzo lordo - CURR] * 1.5"
export QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$work/config"
for lang in it en; do
    suffix=""
    [ "$lang" = en ] && suffix="-en"
    generate="[Prezzo lordo - CURR]=da 10 a 1000 passo 10"
    [ "$lang" = en ] && generate="[Gross price - CURR]=from 10 to 1000 step 10"
    [ "$lang" = en ] && changed="SET [Gross price] = [Gross price - CURR] * 1.5"
    # (1) The trial panel with the record's cases, after a run of the stored formula.
    "$bin/formule-host" --db "$db" --lang "$lang" --context 0 --id 1 \
        --trial-screenshot "docs/impact-cases$suffix.png" --trial-value @ATTPREZZO=100 2>/dev/null
    # (2) The strip after the check of a change that makes a case differ, the case shown.
    "$bin/formule-host" --db "$db" --lang "$lang" --context 0 --id 1 --formula "$changed" --check \
        --trial-screenshot "docs/impact-strip$suffix.png" --trial-value @ATTPREZZO=0 2>/dev/null
    # (3) The impact preview of the change over the cases and a hundred generated rows.
    "$bin/formule-host" --db "$db" --lang "$lang" --context 0 --id 1 --formula "$changed" \
        --impact-screenshot "docs/impact-preview$suffix.png" --impact-generate "$generate"
done
