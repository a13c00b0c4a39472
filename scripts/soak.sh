#!/usr/bin/env bash
# Long run of each program's headless mode against the simulated box with real
# line timing (not part of CI).
#
#   scripts/soak.sh [SECONDS] [BUILD_DIR] [PROGRAMS]
#
# SECONDS: how long each program runs (default 600, ten minutes each).
# BUILD_DIR: where the programs were built (default build/).
# PROGRAMS: which to run, of "cli speech joy" (default all three).
#
# For kinemo-cli (the ramp example played in an endless loop; it has no off
# switch, which the simulated carriages would otherwise press), kinemo-speech-cli (no keys: the
# loop runs idle until its input ends) and kinemo-joy-cli (a replay of the
# example sweep, repeated for longer than the run) it reports the exchanges
# per second in each minute, taken from the simulator's trace, the resident
# memory of the program near the start and at the end, and the last word on
# the wire (the trace's last line). Every program is ended with SIGTERM,
# which the programs take as NOT-AUS, so the last word must be all off.
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-600}"
build="${2:-$here/build}"
programs=" ${3:-cli speech joy} "
sim="$build/simulator/kinemo-sim"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

for program in "$sim" "$build/tools/kinemo-cli" "$build/tools/speech/kinemo-speech-cli" \
    "$build/tools/joy/kinemo-joy-cli"; do
    if [[ ! -x "$program" ]]; then
        echo "missing $program (build it first)" >&2
        exit 1
    fi
done

rss_kb() {
    awk '/^VmRSS:/ {print $2}' "/proc/$1/status" 2>/dev/null || echo "?"
}

# The pid of the launched program: the simulator's only child.
child_of() {
    local parent="$1" pid=""
    for _ in $(seq 1 200); do
        pid="$(pgrep -P "$parent" | head -n 1 || true)"
        if [[ -n "$pid" ]]; then
            echo "$pid"
            return
        fi
        sleep 0.05
    done
}

# Exchanges per second in each whole minute, from the trace's microsecond
# column (the box's clock), then the first-to-last change in per cent.
rates() {
    awk -F, 'NR > 1 && $2 != "" {
                 minute = int($2 / 60000000); count[minute]++; if (minute > last) last = minute; end = $2
             }
             END {
                 whole = last  # the last minute is cut short by the stop
                 if (whole < 1) {
                     printf "  under a minute: %.2f ticks/s\n", count[0] * 1000000 / end
                     exit
                 }
                 for (m = 0; m < whole; m++) printf "  minute %d: %.2f ticks/s\n", m + 1, count[m] / 60
                 if (whole >= 2 && count[0] > 0)
                     printf "  first to last minute: %+.3f %%\n", (count[whole - 1] - count[0]) * 100 / count[0]
             }' "$1"
}

soak_one() {
    local name="$1"
    shift
    local trace="$work/$name.csv"
    echo "== $name, $seconds s"
    (cd "$work" && exec nice "$sim" --headless --trace "$trace" --launch "$@") \
        >"$work/$name.out" 2>"$work/$name.err" &
    local simpid=$!
    local pid
    pid="$(child_of "$simpid")"
    if [[ -z "$pid" ]]; then
        echo "  $name did not start" >&2
        wait "$simpid" || true
        cat "$work/$name.err" >&2
        return 1
    fi
    sleep 5
    local start_rss
    start_rss="$(rss_kb "$pid")"
    sleep "$((seconds > 5 ? seconds - 5 : 1))"
    local end_rss
    end_rss="$(rss_kb "$pid")"
    kill -TERM "$pid" 2>/dev/null || true
    local code=0
    wait "$simpid" || code=$?
    rates "$trace"
    echo "  resident memory: ${start_rss} kB after 5 s, ${end_rss} kB at the end"
    echo "  last word on the wire (tick,us,cmd,out1,out2,in1,in2): $(tail -n 1 "$trace")"
    echo "  exit code $code; standard error: $(tr '\n' ' ' <"$work/$name.err")"
}

if [[ "$programs" == *" cli "* ]]; then
    cp "$here/examples/ramp.kmo" "$work/soak.kmo"
    soak_one kinemo-cli "$build/tools/kinemo-cli" run "$work/soak.kmo" --port COM1 --loop
fi

# The speech controller reads keys until its input ends: a pipe that stays open.
if [[ "$programs" == *" speech "* ]]; then
    mkfifo "$work/keys"
    sleep "$((seconds + 60))" >"$work/keys" &
    keeper=$!
    soak_one kinemo-speech-cli /bin/sh -c \
        "exec '$build/tools/speech/kinemo-speech-cli' run --port COM1 <'$work/keys'"
    kill "$keeper" 2>/dev/null || true
fi

[[ "$programs" == *" joy "* ]] || exit 0
# The sweep replay, repeated so that it outlasts the run (about 500 reads a second).
replay="$work/soak.replay"
head -n 1 "$here/examples/joy_sweep.replay" >"$replay"
body="$(grep -v '^#' "$here/examples/joy_sweep.replay")"
lines="$(printf '%s\n' "$body" | wc -l)"
for _ in $(seq 1 $(((seconds + 60) * 500 / lines + 1))); do
    printf '%s\n' "$body"
done >>"$replay"
soak_one kinemo-joy-cli "$build/tools/joy/kinemo-joy-cli" run --port COM1 --replay "$replay"
