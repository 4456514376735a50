#!/usr/bin/env bash
# Installs what is missing, builds Release into build/ what it runs (the tool, the demo host, the
# component library and the catalogues; not the tests nor the benchmarks), creates the demo
# database when absent and starts the demo program.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh --target formule formule-host formule_component formule_translations
db_dir="${XDG_DATA_HOME:-$HOME/.local/share}/formule"
db="$db_dir/demo.sqlite"
mkdir -p "$db_dir"
if [ ! -f "$db" ]; then
    ./build/bin/formule --db "Provider=Embedded;Data Source=$db" init-db --demo
fi
if [ -x build/bin/formule-host ]; then
    if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
        exec ./build/bin/formule-host --db "Provider=Embedded;Data Source=$db" "$@"
    fi
    shot="$PWD/build/formule-host.png"
    QT_QPA_PLATFORM=offscreen ./build/bin/formule-host --db "Provider=Embedded;Data Source=$db" \
        --context 0 --id 1 --screenshot "$shot"
    echo "No display: the editor window was rendered off screen to $shot"
else
    exec ./build/bin/formule --db "Provider=Embedded;Data Source=$db" demo
fi
