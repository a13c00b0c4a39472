#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test twice: a normal
# build with warnings as errors, and one under AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp

build() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja -DKINEMO_WERROR=ON "$@"
    cmake --build "$dir" -j "$jobs"
    ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 300
}

build build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo
build build/sanitize -DCMAKE_BUILD_TYPE=Debug -DKINEMO_SANITIZE=ON -DKINEMO_BUILD_BENCH=OFF
echo "All tests passed in both builds."
