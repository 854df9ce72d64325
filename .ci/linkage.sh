#!/usr/bin/env bash
# pipetap needs only the C library.
# shellcheck source=.ci/lib.sh
source "$(dirname "$0")/lib.sh"
needed=$(readelf -d build/pipetap | awk '/NEEDED/ {print $NF}')
echo "$needed"
[ "$needed" = "[libc.so.6]" ] || fail "pipetap needs more than libc.so.6"
