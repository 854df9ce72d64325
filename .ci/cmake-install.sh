#!/usr/bin/env bash
# cmake --install puts the program, its manual page, licence and changelog
# where doc/building.md says, into a prefix and with DESTDIR.
# shellcheck source=.ci/lib.sh
source "$(dirname "$0")/lib.sh"
rm -rf build/prefix build/destdir
cmake --install build --prefix "$PWD/build/prefix"
test -x build/prefix/bin/pipetap
test -f build/prefix/share/man/man1/pipetap.1
test -f build/prefix/share/doc/pipetap/LICENSE
test -f build/prefix/share/doc/pipetap/CHANGELOG.md
DESTDIR="$PWD/build/destdir" cmake --install build --prefix /usr/local
test -x build/destdir/usr/local/bin/pipetap
test -f build/destdir/usr/local/share/man/man1/pipetap.1
