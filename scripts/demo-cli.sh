#!/usr/bin/env bash
# The command-line demo: installs what is missing, builds Kinemo and shows what
# the engine does: a movement's pulse pattern, the timeline of a new program
# file and the port names with their devices. Needs no display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j "$(nproc)"

cli=build/release/tools/kinemo-cli
demo=$(mktemp -d)
trap 'rm -rf "$demo"' EXIT
echo "== Pulse pattern of one motor at 25 % =="
"$cli" pulse 25 --ticks 24
echo "== A new program file and its contents =="
"$cli" new "$demo/demo.kmo"
"$cli" info "$demo/demo.kmo"
echo "== Its timeline =="
"$cli" timeline "$demo/demo.kmo" --out "$demo/rows.bin"
echo "rows.bin: $(stat -c %s "$demo/rows.bin") bytes (65536 output words per movement)"
echo "== Port names and their devices =="
"$cli" ports
