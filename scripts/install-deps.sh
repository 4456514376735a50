#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need (idempotent).
set -euo pipefail
packages=(
    build-essential cmake ninja-build ccache pkg-config git
    qt6-base-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools qt6-translations-l10n
    qt6-charts-dev libqt6opengl6-dev
    libqt6sql6-sqlite libqt6sql6-odbc libgl-dev
    unixodbc unixodbc-dev tdsodbc freetds-bin sqlite3 libsqlite3-dev libssl-dev
    python3-pyodbc python3-pymssql
    libgtest-dev libgmock-dev libbenchmark-dev
    clang clang-format clang-tidy libclang-rt-14-dev python3
    xvfb xauth
)
# Node.js and npm run the tedious driver of the TDS tests; a Node.js from elsewhere that brings
# its own npm is kept.
command -v node >/dev/null 2>&1 || packages+=(nodejs)
command -v npm >/dev/null 2>&1 || packages+=(npm)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    echo "Installing: ${missing[*]}" >&2
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
fi

# Register the FreeTDS ODBC driver under the name the SQL Server back end asks for.
if ! odbcinst -q -d -n FreeTDS >/dev/null 2>&1; then
    lib=$(find /usr/lib -name libtdsodbc.so 2>/dev/null | head -n 1)
    if [ -n "$lib" ]; then
        tmp=$(mktemp)
        printf '[FreeTDS]\nDescription=FreeTDS ODBC driver for Microsoft SQL Server\nDriver=%s\n' "$lib" >"$tmp"
        SUDO=""
        [ "$(id -u)" -ne 0 ] && SUDO="sudo"
        $SUDO odbcinst -i -d -f "$tmp" >/dev/null
        rm -f "$tmp"
    fi
fi

# tedious, the TDS driver of Node.js, for the drivers' table of the TDS tests: from npm into
# build/tds-drivers (its version fixed; the test looks for it there).
repo=$(cd "$(dirname "$0")/.." && pwd)
drivers="$repo/build/tds-drivers"
tedious_version=18.6.2
if command -v npm >/dev/null 2>&1 &&
    ! grep -qs "\"version\": \"$tedious_version\"" "$drivers/node_modules/tedious/package.json"; then
    mkdir -p "$drivers"
    npm install --prefix "$drivers" --no-audit --no-fund --loglevel=error "tedious@$tedious_version" >&2
fi
