#!/usr/bin/env bash
# The Debian package installed, used, read with man and removed; never over
# a pipetap package that is installed already.
# shellcheck source=.ci/lib.sh
source "$(dirname "$0")/lib.sh"
# shellcheck disable=SC2016 # dpkg-query's own ${Status}
if [ "$(dpkg-query -W -f '${Status}' pipetap 2>/dev/null)" = "install ok installed" ]; then
    fail "a pipetap package is installed here already; remove it to try this one"
fi
dpkg -i build/pipetap_*_"$host".deb
input=$(sample)
# Removed again however the trial ends.
(
    trap 'dpkg -r pipetap' EXIT
    /usr/bin/pipetap <"$input" >"$files/package.out" 2>"$files/package.err"
    cmp "$input" "$files/package.out" || fail "the packaged pipetap: standard output"
    cmp "$input" "$files/package.err" || fail "the packaged pipetap: standard error"
    man pipetap >"$files/manual.txt"
    grep -q 'copy standard input to standard output' "$files/manual.txt" ||
        fail "man pipetap shows another page"
)
[ ! -e /usr/bin/pipetap ] || fail "dpkg -r left /usr/bin/pipetap"
