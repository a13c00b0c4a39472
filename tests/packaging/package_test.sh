#!/usr/bin/env bash
# Builds the Debian package of a finished build, unpacks it into a fresh root
# and starts the programs from there, as a classroom machine gets them; the
# root is removed again at the end.
# Usage: package_test.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
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
for library in libc6 libstdc++6 libqt6widgets6; do
    [[ "$depends" == *"$library "* ]] || fail "Depends lacks $library: $depends"
done
[[ "$(dpkg-deb -f "$deb" Package)" == kinemo ]] || fail "package name"

root=$work/root
dpkg -x "$deb" "$root"
for file in usr/bin/kinemo usr/bin/kinemo-cli usr/bin/kinemo-sim usr/lib/libifdriver.so.3 \
    usr/lib/udev/rules.d/60-kinemo-usb-latency.rules \
    usr/share/applications/kinemo.desktop usr/share/icons/hicolor/32x32/apps/kinemo.xpm \
    usr/share/man/man1/kinemo-cli.1.gz usr/share/man/man1/kinemo-sim.1.gz; do
    [[ -e "$root/$file" ]] || fail "$file is not in the package"
done
for page in "$root"/usr/share/man/man1/*.1.gz; do
    zcat "$page" | head -n 1 | grep -q '^\.TH ' || fail "$page is no man page"
done
zcat "$root/usr/share/man/man1/kinemo-cli.1.gz" | grep -q '^\.SS plot$' ||
    fail "the kinemo-cli page lacks its commands"

# The installed programs find the installed driver through their RUNPATH.
resolved=$(ldd "$root/usr/bin/kinemo-cli" | awk '/libifdriver/ { print $3 }')
[[ "$(realpath "$resolved")" == "$root"/usr/lib/* ]] || fail "kinemo-cli finds the driver at '$resolved'"

"$root/usr/bin/kinemo-cli" --help | grep -q '^Aufruf: kinemo-cli' || fail "kinemo-cli --help"
"$root/usr/bin/kinemo-cli" new "$work/neu.kmo" >/dev/null || fail "kinemo-cli new"
# The packaged simulator plays a run of the packaged kinemo-cli.
log=$("$root/usr/bin/kinemo-sim" --headless --fast --launch \
    "$root/usr/bin/kinemo-cli" run "$work/neu.kmo" --port COM1 2>&1) || fail "run: $log"
grep -q '^Fertig$' <<<"$log" || fail "the run did not finish: $log"

rm -rf "$root"
[[ ! -e "$root" ]] || fail "the unpacked package could not be removed"
echo "package test: 1 passed ($(stat -c %s "$deb") bytes; Depends: $depends)"
