#!/usr/bin/env bash
# Checks the component as an integrator gets it, from the Release build in build/:
#  1. `cmake --install` into a fresh prefix; the component exports only its API, the host libraries
#     only their listed set, each has its SONAME and a relative run path (scripts/check-exports.sh);
#  2. examples/host, a CMake project of its own, is built against the installed package
#     (find_package(Formule 1.0)) and run off screen on a demo database: it must write its screenshot;
#  3. the prefix is moved elsewhere and the installed tool and demo host still run from it;
#  4. the Debian packages are made with `cpack -G DEB`, their contents listed and checked, and the
#     tools package unpacked (dpkg-deb -x) into a scratch root where `formule --version` runs.
# With FORMULE_APT_INSTALL=1 (as root) step 4 also installs the packages with apt-get and removes
# them again; the continuous integration leaves it off, so that the machine's /usr stays as it was.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
build=${BUILD_DIR:-build}
[ -f "$build/build.ninja" ] || ./scripts/build.sh
cmake --build "$build" --target formule_component formule formule-host formule_sqlite_collation formule_translations

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
export QT_QPA_PLATFORM=offscreen

echo "== install into $prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
du -sh "$prefix" | awk '{print "installed size: " $1}'
for f in bin/formule bin/formule-host lib/libformule_component.so.1 lib/libformule_host.so.1 \
    lib/libformule_host_gui.so.1 lib/formule/formule_collation.so include/formule/Factory.h \
    include/formule/host/Cinterface.h lib/cmake/Formule/FormuleConfig.cmake \
    lib/cmake/Formule/FormuleConfigVersion.cmake lib/pkgconfig/formule.pc \
    share/formule/translations/editor_en.qm share/formule/schema-sqlite.sql; do
    [ -e "$prefix/$f" ] || { echo "check-install: $f is not installed" >&2; exit 1; }
done
for lib in libformule_component.so.1 libformule_host.so.1 libformule_host_gui.so.1; do
    ./scripts/check-exports.sh --installed "$prefix/lib/$lib"
done
version=$(PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --modversion formule)
[ "$("$prefix/bin/formule" --version)" = "formule $version" ] ||
    { echo "check-install: formule --version does not say $version" >&2; exit 1; }
PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --cflags formule | grep -q -- "/include/formule "

echo "== examples/host against the installed package"
db="$work/demo.sqlite"
"$prefix/bin/formule" --db "Provider=Embedded;Data Source=$db" init-db --demo >/dev/null
cmake -S examples/host -B "$work/example" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/example" >/dev/null
"$work/example/example_host" --db "Provider=Embedded;Data Source=$db" --context 0 --id 1 --screenshot "$work/example.png"
[ -s "$work/example.png" ] && head -c 8 "$work/example.png" | grep -q PNG ||
    { echo "check-install: the example host wrote no picture" >&2; exit 1; }
"$work/example/example_host" --db "Provider=Embedded;Data Source=$db" --lang en --screenshot "$work/example-en.png" >/dev/null

echo "== the installed tree moved"
mv "$prefix" "$work/moved"
"$work/moved/bin/formule" --version >/dev/null
"$work/moved/bin/formule-host" --db "Provider=Embedded;Data Source=$db" --context 0 --id 1 \
    --screenshot "$work/host.png" >/dev/null
[ -s "$work/host.png" ] || { echo "check-install: the moved demo host wrote no picture" >&2; exit 1; }
"$work/moved/bin/formule" --db "Provider=Embedded;Data Source=$db" --lang en demo >/dev/null

echo "== Debian packages"
rm -rf "$build/packages"
(cd "$build" && cpack -G DEB >/dev/null)
declare -A wanted=(
    [libformule1]="./usr/lib/libformule_component.so.1 ./usr/lib/libformule_host.so.1 ./usr/share/formule/translations/editor_en.qm"
    [formule]="./usr/bin/formule ./usr/bin/formule-host ./usr/lib/formule/formule_collation.so"
    [libformule-dev]="./usr/include/formule/Factory.h ./usr/lib/cmake/Formule/FormuleConfig.cmake ./usr/lib/libformule_component.so"
)
for name in "${!wanted[@]}"; do
    deb=$(ls "$build"/packages/"${name}"_*.deb)
    echo "$(basename "$deb"): $(dpkg-deb -c "$deb" | grep -vc '/$') files"
    listing=$(dpkg-deb -c "$deb" | awk '{print $6}')
    for f in ${wanted[$name]}; do
        grep -qx -- "$f" <<<"$listing" || { echo "check-install: $f missing from $deb" >&2; exit 1; }
    done
done
root="$work/root"
for deb in "$build"/packages/*.deb; do dpkg-deb -x "$deb" "$root"; done
[ "$("$root/usr/bin/formule" --version)" = "formule $version" ]
if [ -e "$root/usr/share/man/man1/formule.1" ]; then
    man -l "$root/usr/share/man/man1/formule.1" 2>/dev/null | head -n 3 || true
fi
if [ "${FORMULE_APT_INSTALL:-0}" = 1 ]; then
    apt-get install -y -qq "$build"/packages/*.deb
    formule --version
    [ -e /usr/share/man/man1/formule.1 ] && man -w formule
    apt-get remove -y -qq formule libformule-dev libformule1
fi
echo "check-install: all checks passed"
