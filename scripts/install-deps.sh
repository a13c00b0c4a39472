#!/usr/bin/env bash
# Installs the Debian 12 packages Kinemo needs to build, test and run; only
# what is missing, so a second call does nothing and needs no privileges.
# As a normal user the missing packages are installed through sudo.
set -euo pipefail

packages=(
    # build
    build-essential cmake ninja-build pkg-config
    # tests and benchmarks
    libgtest-dev libgmock-dev libbenchmark-dev
    # fuzz targets (libFuzzer) and the ThreadSanitizer build
    clang-14 libclang-rt-14-dev
    # windows (Qt 6), joystick and audio capture (SDL2)
    qt6-base-dev libgl-dev libsdl2-dev
    # speech recognition, and the spoken test words of scripts/make-test-speech.sh
    libpocketsphinx-dev pocketsphinx-en-us espeak-ng sox
)
missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
((${#missing[@]})) || exit 0

as_root=()
if ((EUID != 0)); then
    if ! command -v sudo >/dev/null; then
        echo "Missing packages: ${missing[*]}" >&2
        echo "Install them as root (apt-get install ${missing[*]}) or install sudo." >&2
        exit 1
    fi
    as_root=(sudo)
fi
echo "Installing: ${missing[*]}"
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -q --no-install-recommends "${missing[@]}"
