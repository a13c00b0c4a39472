#!/usr/bin/env bash
# Builds the Debian package of a finished build, unpacks it into a fresh root
# and starts the programs from there, as a classroom machine gets them; the
# root is removed again at the end.
# Usage: package_test.sh BUILD_DIR
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
source "$(dirname "$0")/install_common.sh" "$1" "$root/usr"

command -v dpkg-deb >/dev/null || {
    echo "dpkg-deb is missing: skipped"
    exit 77
}
(cd "$work" && cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) ||
    fail "cpack: $(cat "$work/cpack.log")"
deb=$(find "$work/out" -maxdepth 1 -name 'kinemo_*.deb' -print -quit)
[[ -n "$deb" ]] || fail "no package was written"

# The Depends line comes from the programs' shared libraries.
depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libstdc++6 libqt6widgets6 libsdl2-2.0-0 libpocketsphinx3; do
    [[ "$depends" == *"$library "* ]] || fail "Depends lacks $library: $depends"
done
dpkg -x "$deb" "$root"

# Every program with its man page; the window programs with their desktop
# entries and icons; the driver, the udev rule, the voice data, the examples.
for program in kinemo kinemo-cli kinemo-sim kinemo-speech kinemo-speech-cli kinemo-joy \
    kinemo-joy-cli; do
    expect_installed "bin/$program"
    expect_libraries_found "$program"
    zcat "$prefix/share/man/man1/$program.1.gz" | head -n 1 | grep -q '^\.TH ' ||
        fail "$program has no man page"
    # Answered before any window, box or joystick is looked for: with a
    # display platform and no display, a window program would abort.
    help=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$prefix/bin/$program" --help \
        </dev/null 2>&1) || fail "$program --help: $help"
    [[ "${help%%$'\n'*}" =~ ^(Aufruf|Usage):\ $program( |$) ]] || fail "$program --help says: $help"
done
for program in kinemo kinemo-speech kinemo-joy; do
    expect_desktop_entry "$program"
    expect_installed "share/icons/hicolor/32x32/apps/$program.xpm" \
        "share/icons/hicolor/16x16/apps/$program.xpm"
done
expect_installed share/applications/kinemo-sim.desktop lib/libifdriver.so.3 \
    lib/udev/rules.d/60-kinemo-usb-latency.rules share/kinemo/voice/befehle.txt \
    share/kinemo/voice/aussprache.dict share/doc/kinemo/examples/ramp.kmo \
    share/doc/kinemo/examples/speech/settings.kms share/doc/kinemo/examples/joy_sweep.replay
zcat "$prefix/share/man/man1/kinemo-cli.1.gz" | grep -q '^\.SS plot$' ||
    fail "the kinemo-cli page lacks its commands"

bin=$prefix/bin
examples=$prefix/share/doc/kinemo/examples
"$bin/kinemo-cli" info "$examples/ramp.kmo" | grep -q '^Bewegungen: ' || fail "kinemo-cli info"
# The packaged simulator plays a packaged example with the packaged kinemo-cli.
log=$("$bin/kinemo-sim" --headless --fast --launch \
    "$bin/kinemo-cli" run "$examples/ramp.kmo" --port COM1 2>&1) || fail "run: $log"
grep -q '^Fertig$' <<<"$log" || fail "the run did not finish: $log"
# The speech and joystick tools, without a box, a display or a joystick.
"$bin/kinemo-speech-cli" keys "$examples/speech/settings.kms" >"$work/keys.txt" ||
    fail "kinemo-speech-cli keys: $(cat "$work/keys.txt")"
SDL_JOYSTICK_DISABLE_UDEV=1 SDL_VIDEODRIVER=dummy "$bin/kinemo-joy-cli" joysticks \
    >"$work/joysticks.txt" 2>&1 || [[ $? -eq 1 ]] ||
    fail "kinemo-joy-cli joysticks: $(cat "$work/joysticks.txt")"
echo "package test: 1 passed ($(stat -c %s "$deb") bytes; Depends: $depends)"
