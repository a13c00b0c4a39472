# The checks of what a user gets below a prefix, for the install and package
# tests (sourced after `set -euo pipefail`), run without a library path, so a
# program must find the driver library through its own RUNPATH.
# Usage: source install_common.sh BUILD_DIR [PREFIX]: installs the finished
# build into a fresh prefix (removed at the end), or checks PREFIX as it is.
build=$1
if [[ $# -ge 2 ]]; then
    prefix=$2
else
    prefix=$(mktemp -d)
    trap 'rm -rf "$prefix"' EXIT
fi
unset LD_LIBRARY_PATH

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# expect_installed FILE...: each path exists below the prefix.
expect_installed() {
    local file
    for file in "$@"; do
        [[ -e "$prefix/$file" ]] || fail "$file was not installed"
    done
}

# expect_driver_found PROGRAM: the installed program loads the driver library
# from the prefix.
expect_driver_found() {
    local resolved
    resolved=$(ldd "$prefix/bin/$1" | awk '/libifdriver/ { print $3 }')
    [[ -n "$resolved" && "$resolved" != "not" ]] || fail "$1 does not find the driver"
    [[ "$(realpath "$resolved")" == "$prefix"/lib* ]] || fail "$1 finds the driver at '$resolved'"
}

# expect_libraries_found PROGRAM: the installed program finds every library
# it needs, and the driver library (if it uses it) below the prefix.
expect_libraries_found() {
    local libraries
    libraries=$(ldd "$prefix/bin/$1") || fail "ldd $1"
    ! grep -q 'not found' <<<"$libraries" || fail "$1 lacks a library: $libraries"
    if grep -q libifdriver <<<"$libraries"; then
        expect_driver_found "$1"
    fi
}

# expect_desktop_entry NAME: the desktop entry starts NAME and shows its icon.
expect_desktop_entry() {
    local entry="$prefix/share/applications/$1.desktop"
    grep -qx "Exec=$1" "$entry" || fail "desktop entry of $1"
    grep -qx "Icon=$1" "$entry" || fail "desktop icon of $1"
}

if [[ $# -lt 2 ]]; then
    cmake --install "$build" --prefix "$prefix" >/dev/null
fi
