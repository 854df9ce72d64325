#!/usr/bin/env bash
# doc/building.md's static build makes a pipetap that needs no loader and no
# library.
# shellcheck source=.ci/lib.sh
source "$(dirname "$0")/lib.sh"
sh -c "$(doc_block doc/building.md "static build")"
fully_static build-static/pipetap
