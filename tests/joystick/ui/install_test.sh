#!/usr/bin/env bash
# Installs a finished build into a fresh prefix and checks what a KinemoJoy
# user gets: the program, which finds the driver library through its RUNPATH,
# the desktop entry and both icon sizes.
# Usage: install_test.sh BUILD_DIR
set -euo pipefail
source "$(dirname "$0")/../../packaging/install_common.sh" "$1"

expect_installed bin/kinemo-joy share/applications/kinemo-joy.desktop \
    share/icons/hicolor/32x32/apps/kinemo-joy.xpm share/icons/hicolor/16x16/apps/kinemo-joy.xpm
expect_desktop_entry kinemo-joy
expect_driver_found kinemo-joy
"$prefix/bin/kinemo-joy" --help | grep -q -- '--replay' || fail "installed kinemo-joy --help"
echo "install test: 1 passed, 0 failed"
