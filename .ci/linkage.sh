#!/usr/bin/env bash
# pipetap needs only the C library, and imports from it only the calls that
# doc/building.md lists.
# shellcheck source=.ci/lib.sh
source "$(dirname "$0")/lib.sh"
needed=$(readelf -d build/pipetap | awk '/NEEDED/ {print $NF}')
echo "$needed"
[ "$needed" = "[libc.so.6]" ] || fail "pipetap needs more than libc.so.6"
imports_only_listed build/pipetap glibc
