# What the install tests share, sourced by them after `set -euo pipefail`:
# a finished build installed into a fresh prefix (removed at the end) and the
# checks of what a user gets. Without a library path, so a program must find
# the driver library through its own RUNPATH.
# Usage: source install_common.sh BUILD_DIR
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
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

# expect_desktop_entry NAME: the desktop entry starts NAME and shows its icon.
expect_desktop_entry() {
    local entry="$prefix/share/applications/$1.desktop"
    grep -qx "Exec=$1" "$entry" || fail "desktop entry of $1"
    grep -qx "Icon=$1" "$entry" || fail "desktop icon of $1"
}

cmake --install "$build" --prefix "$prefix" >/dev/null
