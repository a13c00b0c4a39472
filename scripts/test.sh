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
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0

build() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja -DKINEMO_WERROR=ON "$@"
    cmake --build "$dir" -j "$jobs"
    ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 300
}

build build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo
build build/sanitize -DCMAKE_BUILD_TYPE=Debug -DKINEMO_SANITIZE=ON -DKINEMO_BUILD_BENCH=OFF

# Fuzz targets (clang's libFuzzer): a short run of each from the saved inputs
# and the examples; a failed check or sanitizer report fails CI.
fuzz_seconds=${KINEMO_FUZZ_SECONDS:-20}
cmake -S . -B build/fuzz -G Ninja -DKINEMO_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 -DKINEMO_FUZZ=ON \
    -DKINEMO_BUILD_GUI=OFF -DKINEMO_BUILD_TESTS=OFF -DKINEMO_BUILD_BENCH=OFF
fuzz_targets=(fuzz_program_file fuzz_joy_settings fuzz_keyboard_settings fuzz_joy_replay
              fuzz_frame_parser fuzz_kinemo_cli_args fuzz_speech_cli_args fuzz_joy_cli_args)
cmake --build build/fuzz -j "$jobs" --target "${fuzz_targets[@]}" kinemo-fuzz-cli-seeds
# The argument vectors of the tests and the README, for the command-line targets.
mkdir -p build/fuzz/cli_seeds
build/fuzz/fuzz/kinemo-fuzz-cli-seeds build/fuzz/cli_seeds
for target in "${fuzz_targets[@]}"; do
    corpus=build/fuzz/corpus/$target
    mkdir -p "$corpus"
    build/fuzz/fuzz/"$target" -max_total_time="$fuzz_seconds" -print_final_stats=1 \
        -artifact_prefix=build/fuzz/"$target"- "$corpus" tests/fuzz_regressions examples \
        build/fuzz/cli_seeds
done

# ThreadSanitizer (clang) over every test that starts a thread, the windows
# with their runs included: zero reports.
cmake -S . -B build/tsan -G Ninja -DKINEMO_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 -DKINEMO_TSAN=ON \
    -DKINEMO_BUILD_BENCH=OFF
cmake --build build/tsan -j "$jobs" --target kinemo_thread_tests
# ignore_noninstrumented_modules: accesses that the uninstrumented libraries
# (Qt, SDL, libstdc++) make themselves inside intercepted calls are not
# checked; Qt's pooled painting threads hand memory over through locks those
# libraries keep to themselves. Every access of Kinemo's own code is checked,
# also when Qt calls it (a slot, an event handler).
TSAN_OPTIONS="halt_on_error=1 exitcode=66 ignore_noninstrumented_modules=1 suppressions=$PWD/scripts/tsan.supp" \
    ctest --test-dir build/tsan -L threads --output-on-failure -j "$jobs" --timeout 300
echo "All tests passed in both builds, the fuzz runs and the ThreadSanitizer build."
