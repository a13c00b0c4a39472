#!/usr/bin/env bash
# Builds the Debian package of a finished build, unpacks it into a fresh root
# and starts the programs from there, as a classroom machine gets them:
# without a library path, so a program must find the driver library through
# its own RUNPATH. The root is removed again at the end.
# Usage: package_test.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
prefix=$root/usr
bin=$prefix/bin
unset LD_LIBRARY_PATH

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

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

# Every program finds every library it needs, the driver below the prefix,
# and has its man page; the window programs their desktop entries and icons;
# the driver, the udev rule, the voice data and the examples are there.
for program in kinemo kinemo-cli kinemo-sim kinemo-speech kinemo-speech-cli kinemo-joy \
    kinemo-joy-cli; do
    libraries=$(ldd "$bin/$program") || fail "ldd $program"
    ! grep -q 'not found' <<<"$libraries" || fail "$program lacks a library: $libraries"
    driver=$(awk '/libifdriver/ { print $3 }' <<<"$libraries")
    [[ -z "$driver" || "$(realpath "$driver")" == "$prefix"/lib* ]] ||
        fail "$program finds the driver at '$driver'"
    zcat "$prefix/share/man/man1/$program.1.gz" | head -n 1 | grep -q '^\.TH ' ||
        fail "$program has no man page"
    # Answered before any window, box or joystick is looked for: with a
    # display platform and no display, a window program would abort.
    help=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$bin/$program" --help \
        </dev/null 2>&1) || fail "$program --help: $help"
    [[ "${help%%$'\n'*}" =~ ^(Aufruf|Usage):\ $program( |$) ]] || fail "$program --help says: $help"
done
for program in kinemo kinemo-speech kinemo-joy; do
    grep -qx "Exec=$program" "$prefix/share/applications/$program.desktop" &&
        grep -qx "Icon=$program" "$prefix/share/applications/$program.desktop" ||
        fail "desktop entry of $program"
    ls "$prefix"/share/icons/hicolor/{16x16,32x32}/apps/"$program.xpm" >/dev/null ||
        fail "icons of $program"
done
for file in share/applications/kinemo-sim.desktop lib/libifdriver.so.3 \
    lib/udev/rules.d/60-kinemo-usb-latency.rules share/kinemo/voice/befehle.txt \
    share/kinemo/voice/aussprache.dict share/doc/kinemo/examples/ramp.kmo \
    share/doc/kinemo/examples/speech/settings.kms share/doc/kinemo/examples/joy_sweep.replay; do
    [[ -e "$prefix/$file" ]] || fail "$file was not installed"
done
zcat "$prefix/share/man/man1/kinemo-cli.1.gz" | grep -q '^\.SS plot$' ||
    fail "the kinemo-cli page lacks its commands"

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
