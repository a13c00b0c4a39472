#!/usr/bin/env bash
# Installs what is missing, builds Kinemo and starts the sequencer wired to the
# simulated box, so it drives the simulator's motors without any hardware.
#
# With a display: two windows open, the simulated box and Kinemo (with its
# connect dialog beside it). Without one (DISPLAY and WAYLAND_DISPLAY empty)
# the same programs run off screen: the sequencer plays a movement on the
# simulated box and its windows are saved as pictures, then the command-line
# demo runs.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)"

sim=$build/simulator/kinemo-sim
kinemo=$build/sequencer/ui/kinemo

if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
    cat <<'TEXT'
== Kinemo and the simulated box ==
The connect dialog offers COM1, which is the simulated box: press "Verbinden".
Then choose a direction ("Links"/"Rechts") for a motor and press "LOS!" or
"Bewegung Testen"; the simulator window shows the motors turn and the
carriages move. "Ende" (or closing either program) ends both.
TEXT
    exec "$sim" --launch "$kinemo"
fi

shots=$build/screenshots
cat <<TEXT
== No display: Kinemo runs off screen ==
DISPLAY is empty, so no window can open here. Kinemo now connects to the
simulated box, plays a movement on it and saves its windows as pictures in
$shots. On a desktop (or with ssh -X) the same command opens the windows.
TEXT
QT_QPA_PLATFORM=offscreen "$build/sequencer/ui/kinemo-screenshots" "$shots" 2>/dev/null
echo
bash scripts/demo-cli.sh
