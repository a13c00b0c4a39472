#!/usr/bin/env bash
# Writes the man page of a command-line program from its own --help text, so
# the page never says anything else than the program does.
# Usage: help-to-man.sh PROGRAM NAME DESCRIPTION VERSION OUT.1.gz
set -euo pipefail
program=$1 name=$2 description=$3 version=$4 out=$5

# roff: backslashes escaped, a leading dot or quote made harmless, dashes as
# minus signs so options can be searched and copied.
roff() {
    sed -e 's/\\/\\e/g' -e 's/^\([.'\'']\)/\\\&\1/' -e 's/-/\\-/g'
}

help=$("$program" --help)
body=$(printf '%s\n' "$help" | roff)
# A program with commands lists them under "Befehle:" (two spaces, the name);
# each command's own --help becomes a section of the page.
commands=$(printf '%s\n' "$help" | sed -n '/^Befehle:$/,/^$/s/^  \([a-z][a-z0-9-]*\) .*/\1/p')
upper=$(printf '%s' "$name" | tr '[:lower:]' '[:upper:]')

mkdir -p "$(dirname "$out")"
{
    printf '.TH %s 1 "" "Kinemo %s" "Kinemo"\n' "$upper" "$version"
    printf '.SH NAME\n%s \\- %s\n' "$(printf '%s' "$name" | sed 's/-/\\-/g')" "$description"
    printf '.SH BESCHREIBUNG\n.nf\n%s\n.fi\n' "$body"
    if [[ -n "$commands" ]]; then
        printf '.SH BEFEHLE\n'
        for command in $commands; do
            printf '.SS %s\n.nf\n%s\n.fi\n' "$command" "$("$program" "$command" --help | roff)"
        done
    fi
    printf '.SH SIEHE AUCH\n'
    printf 'kinemo\\-cli(1), kinemo\\-sim(1)\n'
} | gzip -9n >"$out.tmp"
mv "$out.tmp" "$out"
