#!/usr/bin/env bash
# suite-TARGET: the suite cross-built for Linux target $1 by doc/building.md's
# commands, written there for linux-s390x, and run as this machine runs the
# target's programs.
# shellcheck source=.ci/lib.sh
source "$(dirname "$0")/lib.sh"
sh -c "$(doc_block doc/building.md "cross build" | sed "s/linux-s390x/$1/g")"
