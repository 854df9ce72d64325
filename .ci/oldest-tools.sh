#!/usr/bin/env bash
# oldest-tools: the oldest CMake and compilers that doc/building.md claims
# build and test pipetap, with warnings as errors, by its own lines.
# shellcheck source=.ci/lib.sh
source "$(dirname "$0")/lib.sh"
sh -e -c "$(doc_block doc/building.md "oldest tools")"
