#!/usr/bin/env bash
# zig's cross toolchain, from PyPI, in build-zig of the tree as
# doc/building.md installs it: for the checks of the unshipped targets.
# shellcheck source=.ci/lib.sh
source "$(dirname "$0")/lib.sh"
sh -c "$(doc_block doc/building.md zig)"
echo "zig $(build-zig/ziglang/zig version)"
