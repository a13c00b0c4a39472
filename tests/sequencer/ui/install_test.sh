#!/usr/bin/env bash
# Installs a finished build into a fresh prefix and checks what a user gets:
# the programs, the driver library found through the programs' RUNPATH
# without any library path, the desktop entries and the icons.
# Usage: install_test.sh BUILD_DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
unset LD_LIBRARY_PATH

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

cmake --install "$build" --prefix "$prefix" >/dev/null

for file in bin/kinemo bin/kinemo-cli bin/kinemo-sim \
    share/applications/kinemo.desktop share/applications/kinemo-sim.desktop \
    share/icons/hicolor/32x32/apps/kinemo.xpm share/icons/hicolor/16x16/apps/kinemo.xpm; do
    [[ -e "$prefix/$file" ]] || fail "$file was not installed"
done
driver=$(find "$prefix" -name 'libifdriver.so*' -print -quit)
[[ -n "$driver" ]] || fail "the driver library was not installed"

readelf -d "$prefix/bin/kinemo" | grep -E 'R(UN)?PATH' | grep -qF '$ORIGIN/../lib' ||
    fail "kinemo has no RUNPATH next to its library folder"
resolved=$(ldd "$prefix/bin/kinemo" | awk '/libifdriver/ { print $3 }')
[[ -n "$resolved" && "$resolved" != "not" ]] || fail "kinemo does not find the driver"
resolved=$(realpath "$resolved")
[[ "$resolved" == "$prefix"/lib* ]] || fail "kinemo finds the driver at '$resolved'"

"$prefix/bin/kinemo-cli" --help >/dev/null || fail "installed kinemo-cli --help failed"
grep -qx 'Exec=kinemo' "$prefix/share/applications/kinemo.desktop" || fail "desktop entry"
echo "install test: 1 passed, 0 failed"
