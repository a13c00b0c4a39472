#!/usr/bin/env bash
# Installs what is missing, builds Kinemo and starts the sequencer wired to the
# simulated box, so it drives the simulator's motors without any hardware.
# `bash scripts/run.sh speech` starts KinemoSpeech the same way, and
# `bash scripts/run.sh joy` KinemoJoy (with a replayed joystick where none is
# attached).
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

if [[ "${1:-}" == "speech" ]]; then
    # KinemoSpeech in a folder of its own, so that its settings.kms (the
    # example keys at the first start) is kept from one start to the next.
    root=$PWD
    demo=$root/$build/speech
    mkdir -p "$demo"
    [[ -f "$demo/settings.kms" ]] || cp examples/speech/settings.kms "$demo/"
    speech_cli=$root/$build/tools/speech/kinemo-speech-cli
    cd "$demo"
    if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
        cat <<'TEXT'
== KinemoSpeech and the simulated box ==
The connect dialog offers Com 1, which is the simulated box: press "Verbinden",
then "LOS!" and type into the input field: l / r / a move or stop M1, L / R / A
M2, 1..9 and 0 set their speeds (10 % .. 100 %), x is Notaus. Speech software
that types words into the field works the same way. "Ende" ends both programs.
TEXT
        exec "$root/$sim" --launch "$root/$build/keyboard/ui/kinemo-speech"
    fi
    shots=$root/$build/screenshots
    cat <<TEXT
== No display: KinemoSpeech runs off screen ==
Its windows are saved as pictures in $shots; then keys are piped into
kinemo-speech-cli against the simulated box: "l5" (M1 left at 50 %), "r0"
(M1 right at 100 %), "x" (Notaus), a second apart.
TEXT
    QT_QPA_PLATFORM=offscreen "$root/$build/keyboard/ui/kinemo-speech-screenshots" "$shots" \
        2>/dev/null || true
    { printf 'l5'; sleep 1; printf 'r0'; sleep 1; printf 'x'; } |
        "$root/$sim" --headless --trace trace.csv --launch "$speech_cli" run --port COM1
    echo "M1 on the wire (exchanges: off, left, right):"
    awk -F, 'NR > 1 { n[(index("0123456789ABCDEF", toupper(substr($4, 2, 1))) - 1) % 4]++ }
        END { printf "  %d, %d, %d\n", n[0], n[1], n[2] }' trace.csv
    exit 0
fi

if [[ "${1:-}" == "joy" ]]; then
    # KinemoJoy in a folder of its own, so that its settings.kmj is kept from
    # one start to the next.
    root=$PWD
    demo=$root/$build/joy
    mkdir -p "$demo"
    joy_cli=$root/$build/tools/joy/kinemo-joy-cli
    replay=$root/examples/joy_sweep.replay
    cd "$demo"
    # A joystick attached: KinemoJoy reads it. None: a virtual joystick plays
    # the example replay (X left and right, then Y: motors M1 and M2).
    joy_args=()
    if "$joy_cli" joysticks | grep -q '^Kein Joystick'; then
        joy_args=(--replay "$replay")
    fi
    if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
        cat <<'TEXT'
== KinemoJoy and the simulated box ==
The connect dialog offers COM1, which is the simulated box: press "Verbinden"
(at later starts it connects by itself). "LOS!" starts the run: M1 follows the
joystick's X axis and M2 its Y axis; without a joystick the example replay
moves them and the run ends with the replay. "Ende" ends both programs.
TEXT
        exec "$root/$sim" --launch "$root/$build/joystick/ui/kinemo-joy" "${joy_args[@]}"
    fi
    cat <<TEXT
== No display: KinemoJoy runs headless ==
kinemo-joy-cli plays ${joy_args[1]:-joystick 0} against the simulated box
(default settings: M1 on X, M2 on Y) and ends with all motors off.
TEXT
    "$root/$sim" --headless --trace trace.csv --launch "$joy_cli" run --port COM1 \
        --settings "$demo/settings.kmj" "${joy_args[@]}"
    echo "On the wire (exchanges with M1 left, M1 right, M2 left, M2 right):"
    awk -F, 'NR > 1 { v = index("0123456789ABCDEF", toupper(substr($4, 2, 1))) - 1
        m1 = v % 4; m2 = int(v / 4); if (m1 == 1) a++; if (m1 == 2) b++
        if (m2 == 1) c++; if (m2 == 2) d++ }
        END { printf "  %d, %d, %d, %d\n", a, b, c, d }' trace.csv
    exit 0
fi

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
