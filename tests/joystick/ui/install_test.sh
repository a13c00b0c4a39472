#!/usr/bin/env bash
# Installs a finished build into a fresh prefix and checks what a KinemoJoy
# user gets: the program, which finds the driver library through its RUNPATH,
# the desktop entry and both icon sizes.
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
for file in bin/kinemo-joy share/applications/kinemo-joy.desktop \
    share/icons/hicolor/32x32/apps/kinemo-joy.xpm share/icons/hicolor/16x16/apps/kinemo-joy.xpm; do
    [[ -e "$prefix/$file" ]] || fail "$file was not installed"
done
grep -qx 'Exec=kinemo-joy' "$prefix/share/applications/kinemo-joy.desktop" || fail "desktop entry"
grep -qx 'Icon=kinemo-joy' "$prefix/share/applications/kinemo-joy.desktop" || fail "desktop icon"
resolved=$(ldd "$prefix/bin/kinemo-joy" | awk '/libifdriver/ { print $3 }')
[[ -n "$resolved" && "$resolved" != "not" ]] || fail "kinemo-joy does not find the driver"
[[ "$(realpath "$resolved")" == "$prefix"/lib* ]] || fail "kinemo-joy finds the driver at '$resolved'"
"$prefix/bin/kinemo-joy" --help | grep -q -- '--replay' || fail "installed kinemo-joy --help"
echo "install test: 1 passed, 0 failed"
