#!/usr/bin/env bash
# The README's test command, as the README has it: the whole suite, the
# documents' examples among it.
# shellcheck source=.ci/lib.sh
source "$(dirname "$0")/lib.sh"
sh -c "$(doc_block README.md test)"
