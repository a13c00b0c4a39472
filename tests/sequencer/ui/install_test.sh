#!/usr/bin/env bash
# Installs a finished build into a fresh prefix and checks what a user gets:
# the programs, the driver library found through the programs' RUNPATH
# without any library path, the desktop entries and the icons.
# Usage: install_test.sh BUILD_DIR
set -euo pipefail
source "$(dirname "$0")/../../packaging/install_common.sh" "$1"

expect_installed bin/kinemo bin/kinemo-cli bin/kinemo-sim \
    share/applications/kinemo.desktop share/applications/kinemo-sim.desktop \
    share/icons/hicolor/32x32/apps/kinemo.xpm share/icons/hicolor/16x16/apps/kinemo.xpm
[[ -n "$(find "$prefix" -name 'libifdriver.so*' -print -quit)" ]] ||
    fail "the driver library was not installed"

readelf -d "$prefix/bin/kinemo" | grep -E 'R(UN)?PATH' | grep -qF '$ORIGIN/../lib' ||
    fail "kinemo has no RUNPATH next to its library folder"
expect_driver_found kinemo

"$prefix/bin/kinemo-cli" --help >/dev/null || fail "installed kinemo-cli --help failed"
expect_desktop_entry kinemo
echo "install test: 1 passed, 0 failed"
