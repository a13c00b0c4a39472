#!/usr/bin/env bash
# Installs a finished build into a fresh prefix and checks what a KinemoSpeech
# user gets: the window program and the command-line tool, which find every
# library they need without a library path, the desktop entry, both icon
# sizes, the voice data beside the programs and the example settings.
# Usage: install_test.sh BUILD_DIR
set -euo pipefail
source "$(dirname "$0")/../../packaging/install_common.sh" "$1"

expect_installed bin/kinemo-speech bin/kinemo-speech-cli share/applications/kinemo-speech.desktop \
    share/icons/hicolor/32x32/apps/kinemo-speech.xpm \
    share/icons/hicolor/16x16/apps/kinemo-speech.xpm share/kinemo/voice/befehle.txt \
    share/kinemo/voice/aussprache.dict share/doc/kinemo/examples/speech/settings.kms
expect_desktop_entry kinemo-speech
expect_libraries_found kinemo-speech
expect_libraries_found kinemo-speech-cli
help=$("$prefix/bin/kinemo-speech" --help) || fail "installed kinemo-speech --help"
[[ "$help" == *--audio* ]] || fail "installed kinemo-speech --help says: $help"
keys=$("$prefix/bin/kinemo-speech-cli" keys "$prefix/share/doc/kinemo/examples/speech/settings.kms") ||
    fail "installed kinemo-speech-cli keys: $keys"
[[ -n "$keys" ]] || fail "installed kinemo-speech-cli keys printed nothing"
echo "install test: 1 passed, 0 failed"
