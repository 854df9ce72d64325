#!/usr/bin/env bash
# The README's build command builds pipetap alone and shows what the README
# says it shows.
# shellcheck source=.ci/lib.sh
source "$(dirname "$0")/lib.sh"
sh -c "$(quick_start_script)"
